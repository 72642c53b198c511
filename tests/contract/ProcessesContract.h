// The contract of the process port's walks, run unchanged on every backend
// whose process table a test can make up: the simulation, and the Linux
// backend on a fake /proc. A full walk lists exactly what runs; a walk of
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
};

struct ProcessesBackend {
  const char* name;
  std::function<std::unique_ptr<ProcessesDriver>()> make;
  // WalkChanged visits only what changed (a backend that cannot tell
  // visits all).
  bool precise = false;

  friend void PrintTo(const ProcessesBackend& b, std::ostream* os) { *os << b.name; }
};

class ProcessesContract : public testing::TestWithParam<ProcessesBackend> {
 protected:
  // How many calls of ChangeMark, each followed by a changed walk when the
  // mark moved, stand for a second of the block timer (10 ms ticks): an
  // exec by a process of any age is listed within them.
  static constexpr int kMarksPerSecond = 100;

  void SetUp() override { driver_ = GetParam().make(); }
  ProcessesDriver& Driver() { return *driver_; }
  platform::Processes& Procs() { return driver_->Procs(); }

 private:
  std::unique_ptr<ProcessesDriver> driver_;
};

}  // namespace pd::test
