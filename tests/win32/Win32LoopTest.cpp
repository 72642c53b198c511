// The Windows message loop under Wine: the loop contract on SetTimer and the
// thread's message queue.
#include <gtest/gtest.h>

#include "contract/LoopContract.h"
#include "platform/win32/backend.h"

namespace pd::win32 {
namespace {

using test::LoopContract;
INSTANTIATE_TEST_SUITE_P(Win32, LoopContract,
                         testing::Values(test::LoopBackend{[] { return std::make_unique<Win32Loop>(); }, false}));

}  // namespace
}  // namespace pd::win32
