// The simulated process table under the process port's contract
// (contract/ProcessesContract.cpp).
#include <gtest/gtest.h>

#include "contract/ProcessesContract.h"
#include "platform/sim/processes.h"
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

// An unmarked exec is an old process's exec as a platform that checks old
// processes in turn notices it: the mark and the walks of the changed
// processes show it only later; full walks and Identify see the new
// program at once, the start time stays.
TEST(SimProcesses, AnUnmarkedExecIsSeenLateByTheMarkAndAtOnceByFullWalks) {
  SimProcesses procs{1};
  const ProcessId id = procs.Start(u"C:\\apps\\old.exe");
  const std::uint64_t started = procs.StartTime(id);
  std::uint64_t since = 0;
  procs.WalkChanged(since, [](const platform::ProcessEntry&) { return true; });
  const std::uint64_t mark = procs.ChangeMark();
  std::uint64_t now = 0;
  procs.SetClock([&] { return now; });
  procs.ExecUnmarked(id, u"D:\\new.exe");
  EXPECT_EQ(procs.ChangeMark(), mark);
  int changed = 0;
  procs.WalkChanged(since, [&](const platform::ProcessEntry&) { return ++changed, true; });
  EXPECT_EQ(changed, 0);
  now = SimProcesses::kLateExecMs;
  EXPECT_NE(procs.ChangeMark(), mark) << "noticed late";
  procs.WalkChanged(since, [&](const platform::ProcessEntry&) { return ++changed, true; });
  EXPECT_EQ(changed, 1);
  String listed;
  procs.Walk([&](const platform::ProcessEntry& e) {
    listed = e.szExeFile.data();
    return true;
  });
  EXPECT_EQ(listed, u"new.exe");
  const platform::ProcessIdentity who = procs.Identify(id);
  EXPECT_EQ(who.id, id);
  EXPECT_EQ(who.started, started);
  EXPECT_EQ(who.name, u"new.exe");
  EXPECT_EQ(who.path, u"D:\\new.exe");
  procs.End(id);
  EXPECT_FALSE(procs.Identify(id));
}

}  // namespace
}  // namespace pd::sim
