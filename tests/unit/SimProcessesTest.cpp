// The simulated process table under the process port's contract
// (contract/ProcessesContract.cpp).
#include <gtest/gtest.h>

#include "contract/ProcessesContract.h"
#include "platform/sim/backend.h"
#include "platform/text.h"

namespace pd::sim {
namespace {

class SimDriver final : public test::ProcessesDriver {
 public:
  platform::Processes& Procs() override { return procs_; }
  ProcessId Start(const std::string& name, bool) override { return procs_.Start(u"C:\\apps\\" + text::FromUtf8(name)); }
  void End(ProcessId id) override { procs_.End(id); }
  void Exec(ProcessId id, const std::string& name) override { procs_.Exec(id, u"D:\\" + text::FromUtf8(name)); }

 private:
  SimProcesses procs_{1};
};

using test::ProcessesContract;
INSTANTIATE_TEST_SUITE_P(Sim, ProcessesContract,
                         testing::Values(test::ProcessesBackend{"sim", [] { return std::make_unique<SimDriver>(); },
                                                                true}));

}  // namespace
}  // namespace pd::sim
