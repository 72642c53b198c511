// Simulated processes and their windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "platform/processes.h"

namespace pd::sim {

using platform::ProcessEntry;

struct SimProcessOptions {
  bool pathUnreadable = false;      // ExecutablePath fails (protected process)
  bool refusesTermination = false;  // Terminate fails
  ProcessId parent = 0;
  // A terminated process ends this long after the request on the virtual
  // clock (Terminate succeeds at once), as a process that takes a while to
  // unwind; its executable stays in use until then.
  std::uint64_t exitDelayMs = 0;
  // The process gets this id instead of the next one: the system reused the
  // id of a process that ended. 0: the next id.
  ProcessId id = 0;
};

class SimProcesses final : public platform::Processes {
 public:
  explicit SimProcesses(ProcessId self) : self_(self) {}

  void Walk(const Visitor& visit) override;
  // Exactly the processes started or given a new image (Exec) after the
  // call that set since.
  void WalkChanged(std::uint64_t& since, const Visitor& visit) override;
  String ExecutablePath(ProcessId id) override;
  bool Terminate(ProcessId id) override;
  ProcessId WindowOwner(WindowHandle window) override;
  ProcessId CurrentProcess() override { return self_; }
  // Increases with every start, never 0.
  std::uint64_t StartTime(ProcessId id) override;
  platform::ProcessIdentity Identify(ProcessId id) override;
  // The number of starts and execs.
  std::uint64_t ChangeMark() override;

  // The virtual clock for exitDelayMs (the platform's loop).
  void SetClock(std::function<std::uint64_t()> clock) { clock_ = std::move(clock); }
  // Whether a running process has its executable at path (the file is in
  // use: the simulated files refuse to remove it, as Windows does).
  [[nodiscard]] bool ImageInUse(StringView path) const;

  // Starts a process from a full path; its file name is the path's last
  // component (after '\\' or '/'). Ids are handed out in increasing order.
  ProcessId Start(StringView path, SimProcessOptions options = {});
  // The process replaces its executable with the one at path (same id,
  // same start).
  void Exec(ProcessId id, StringView path);
  // The same, noticed late, as a platform that checks old processes in
  // turn notices the exec of an old one: the change mark and walks of the
  // changed processes show it only kLateExecMs later on the virtual clock;
  // full walks and Identify see the new name at once.
  void ExecUnmarked(ProcessId id, StringView path);
  static constexpr std::uint64_t kLateExecMs = 900;
  // Ends a process as if it exited on its own; its windows go with it.
  void End(ProcessId id);
  // The process ends right after the next walk that lists it, so calls made
  // with what the walk returned find it gone.
  void EndAfterNextWalk(ProcessId id);
  // The process ends as the next walk begins: it is missing from that
  // snapshot although a query made just before still found it.
  void EndAtNextWalk(ProcessId id);
  [[nodiscard]] bool IsRunning(ProcessId id) const;
  // Ids whose termination was asked for, successful or not, in order.
  [[nodiscard]] const std::vector<ProcessId>& TerminateRequests() const { return terminateRequests_; }

  WindowHandle OpenWindow(ProcessId owner);
  void CloseWindow(WindowHandle window);
  [[nodiscard]] bool IsWindow(WindowHandle window) const;

  [[nodiscard]] std::size_t WalkCount() const { return walks_; }
  // Entries handed to visitors by walks of either kind.
  [[nodiscard]] std::size_t VisitCount() const { return visits_; }

 private:
  struct Proc {
    ProcessId id;
    String name;
    String path;
    SimProcessOptions options;
    bool endAfterWalk = false;
    bool endAtWalk = false;
    std::uint64_t started = 0;
    std::uint64_t changed = 0;           // changes_ at its start or latest exec
    std::optional<std::uint64_t> noticeAt;  // an exec the mark shows from then on
    std::optional<std::uint64_t> endAt;  // terminated with an exit delay
  };
  Proc* Find(ProcessId id);
  // Ends the terminated processes whose exit delay has passed.
  void Reap();
  // Marks the execs whose notice is due as changes.
  void NoticeExecs();
  // Walk and WalkChanged: the processes changed after since (0: all).
  void WalkAfter(std::uint64_t since, const Visitor& visit);
  [[nodiscard]] bool Alive(const Proc& p) const { return !p.endAt || *p.endAt > Now(); }
  [[nodiscard]] std::uint64_t Now() const { return clock_ ? clock_() : 0; }

  ProcessId self_;
  ProcessId nextId_ = 4000;
  std::uint64_t starts_ = 0;
  std::uint64_t changes_ = 0;
  std::function<std::uint64_t()> clock_;
  std::vector<Proc> procs_;  // in start order, which is the walk order
  std::map<WindowHandle, ProcessId> windows_;
  WindowHandle nextWindow_ = 0x10010;
  std::vector<ProcessId> terminateRequests_;
  std::size_t dying_ = 0;  // processes with an endAt: Reap has work only then
  std::size_t walks_ = 0;
  std::size_t visits_ = 0;
};

}  // namespace pd::sim
