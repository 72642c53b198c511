// The Windows message loop under Wine: the loop contract on SetTimer and the
// thread's message queue.
#include <windows.h>

#include <gtest/gtest.h>

#include "contract/LoopContract.h"
#include "platform/win32/loop.h"

namespace pd::win32 {
namespace {

using test::LoopContract;
INSTANTIATE_TEST_SUITE_P(Win32, LoopContract,
                         testing::Values(test::LoopBackend{
                             [] { return std::make_unique<Win32Loop>(); }, false, [](platform::EventLoop& loop) {
                               const auto window = static_cast<Win32Loop&>(loop).SessionWindow();
                               PostMessageW(reinterpret_cast<HWND>(window), WM_CLOSE, 0, 0);
                             }}));

// The session's end as the system announces it: the question, then the
// end; an end without the question; a cancelled end. Each ending runs the
// handler once, at the first message that tells of it.
TEST(Win32Loop, SessionEndRunsTheHandlerOncePerEnding) {
  Win32Loop loop;
  int calls = 0;
  loop.SetEndRequest([&] { ++calls; });
  const HWND window = reinterpret_cast<HWND>(loop.SessionWindow());
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(GetParent(window), nullptr) << "top-level, so that the system's broadcast reaches it";
  EXPECT_EQ(SendMessageW(window, WM_QUERYENDSESSION, 0, 0), TRUE) << "the program never holds the session up";
  EXPECT_EQ(calls, 1);
  SendMessageW(window, WM_ENDSESSION, TRUE, 0);
  EXPECT_EQ(calls, 1) << "asked already";
  SendMessageW(window, WM_ENDSESSION, TRUE, 0);
  EXPECT_EQ(calls, 2) << "an end without the question";
  SendMessageW(window, WM_ENDSESSION, FALSE, 0);
  EXPECT_EQ(calls, 2) << "a cancelled end";
  loop.SetEndRequest(nullptr);
  EXPECT_FALSE(IsWindow(window));
}

}  // namespace
}  // namespace pd::win32
