// The file port's contract on the simulation, whose saves a test can stop
// before the rename as a crash would.
#include <gtest/gtest.h>

#include "contract/FilesContract.h"
#include "platform/sim/files.h"

namespace pd::sim {
namespace {

void InterruptedSave(platform::Files& files, const String& target) {
  auto& sim = dynamic_cast<SimFiles&>(files);
  sim.InterruptWrites(true);
  EXPECT_FALSE(sim.WriteFileAtomic(target, "half"));
  sim.InterruptWrites(false);
}

using test::FilesContract;
INSTANTIATE_TEST_SUITE_P(Sim, FilesContract,
                         testing::Values(test::FilesBackend{
                             test::FilesBackend::kSim, [] { return std::make_unique<SimFiles>(); }, InterruptedSave}));

}  // namespace
}  // namespace pd::sim
