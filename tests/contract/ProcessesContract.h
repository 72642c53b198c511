// The contract of the process port's walks, run unchanged on every backend:
// the simulation and the Linux backend on a fake /proc, whose whole process
// table the test makes up, and Windows (under Wine) with processes the test
// starts among the system's own, which the walks leave out. A full walk
// lists exactly what runs; a walk of
// the changed processes lists, for each caller, at least what started or
// replaced its executable since that caller's previous call, whatever
// other walks ran in between, and never what has ended.
//
// Each test program instantiates it for its backend:
//   INSTANTIATE_TEST_SUITE_P(Sim, ProcessesContract, testing::Values(test::ProcessesBackend{
//       "sim", [] { return std::make_unique<SimDriver>(); }, true}));
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "platform/processes.h"

namespace pd::test {

// Makes up the process table of one backend.
class ProcessesDriver {
 public:
  virtual ~ProcessesDriver() = default;
  virtual platform::Processes& Procs() = 0;
  // A new process whose file name is name (ASCII); its id, which may be the
  // id of a process that ended. A lasting one may look to a backend as if
  // it had run for long (so that only its start and end are watched), the
  // others as if they had just started for the whole test.
  virtual ProcessId Start(const std::string& name, bool lasting) = 0;
  virtual void End(ProcessId id) = 0;
  // The process replaces its executable with one of that name (a lasting
  // one too, which a backend may take a while to see: see
  // ProcessesContract::kMarksPerSecond).
  virtual void Exec(ProcessId id, const std::string& name) = 0;
  // The process ends and its parent has not yet taken note (a zombie where
  // the system has them; elsewhere a plain end).
  virtual void EndUnreaped(ProcessId id) { End(id); }
  // What the system does meanwhile that no walk lists (an id taken by a
  // thread that has ended); nothing where there is no such thing.
  virtual void Churn() {}
  // Whether a walk's entry is a process the test started, its name made
  // the name the test gave (without the ".exe" of a Windows file, say).
  // Where the test makes up the whole table, every entry is.
  virtual bool Own(platform::ProcessEntry& /*entry*/) { return true; }
};

// The port as the contract sees it: walks list only the test's own
// processes (ProcessesDriver::Own).
class OwnProcesses final : public platform::Processes {
 public:
  explicit OwnProcesses(ProcessesDriver& driver) : driver_(driver), procs_(driver.Procs()) {}
  void Walk(const Visitor& visit) override { procs_.Walk(Own(visit)); }
  void WalkChanged(std::uint64_t& since, const Visitor& visit) override { procs_.WalkChanged(since, Own(visit)); }
  String ExecutablePath(ProcessId id) override { return procs_.ExecutablePath(id); }
  bool Terminate(ProcessId id) override { return procs_.Terminate(id); }
  std::uint64_t StartTime(ProcessId id) override { return procs_.StartTime(id); }
  platform::ProcessIdentity Identify(ProcessId id) override { return procs_.Identify(id); }
  std::uint64_t ChangeMark() override { return procs_.ChangeMark(); }
  ProcessId WindowOwner(WindowHandle window) override { return procs_.WindowOwner(window); }
  ProcessId CurrentProcess() override { return procs_.CurrentProcess(); }

 private:
  Visitor Own(const Visitor& visit) {
    return [this, &visit](const platform::ProcessEntry& e) {
      platform::ProcessEntry own = e;
      return !driver_.Own(own) || visit(own);
    };
  }
  ProcessesDriver& driver_;
  platform::Processes& procs_;
};

struct ProcessesBackend {
  const char* name;
  std::function<std::unique_ptr<ProcessesDriver>()> make;
  // WalkChanged visits only what changed (a backend that cannot tell
  // visits all).
  bool precise = false;
  // A process can replace its executable (not on Windows).
  bool exec = true;

  friend void PrintTo(const ProcessesBackend& b, std::ostream* os) { *os << b.name; }
};

class ProcessesContract : public testing::TestWithParam<ProcessesBackend> {
 protected:
  // How many calls of ChangeMark, each followed by a changed walk when the
  // mark moved, stand for a second of the block timer (10 ms ticks): an
  // exec by a process of any age is listed within them.
  static constexpr int kMarksPerSecond = 100;

  void SetUp() override {
    driver_ = GetParam().make();
    own_ = std::make_unique<OwnProcesses>(*driver_);
  }
  ProcessesDriver& Driver() { return *driver_; }
  platform::Processes& Procs() { return *own_; }

 private:
  std::unique_ptr<ProcessesDriver> driver_;
  std::unique_ptr<OwnProcesses> own_;
};

}  // namespace pd::test
