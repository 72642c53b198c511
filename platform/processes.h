// Process port: the running processes, their executables and termination.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "platform/types.h"

namespace pd::platform {

// One entry of a process snapshot, in the layout of the system's
// PROCESSENTRY32. Only th32ProcessID and szExeFile carry meaning on every
// platform; the other fields are copied where the platform has them.
struct ProcessEntry {
  static constexpr std::uint32_t kEntrySize = 556;  // sizeof(PROCESSENTRY32A) on Win64
  static constexpr std::size_t kMaxPath = 260;

  std::uint32_t dwSize = kEntrySize;
  std::uint32_t cntUsage = 0;
  std::uint32_t th32ProcessID = 0;
  std::uint32_t th32DefaultHeapID = 0;
  std::uint32_t th32ModuleID = 0;
  std::uint32_t cntThreads = 0;
  std::uint32_t th32ParentProcessID = 0;
  std::int32_t pcPriClassBase = 0;
  std::uint32_t dwFlags = 0;
  // The executable's file name (no folder), NUL-terminated inside the field;
  // a longer name is cut at 259 characters.
  std::array<char16_t, kMaxPath> szExeFile{};

  void SetExeFile(StringView name);
};

// One running process as it is at a moment: what the program checks again
// before it acts on a process it listed earlier.
struct ProcessIdentity {
  ProcessId id = 0;
  // StartTime's answer: with the id, it names this process and no later
  // one that got the same id. 0 where the platform cannot tell.
  std::uint64_t started = 0;
  // The name a user knows it by (as walks list it) and the full path of its
  // file; the path is empty when it cannot be read.
  String name;
  String path;

  // False for the empty identity: no process.
  explicit operator bool() const { return id != 0; }
};

class Processes {
 public:
  virtual ~Processes() = default;

  // Walks a point-in-time snapshot of all running processes, calling visit
  // for each entry in the system's order until visit returns false. The
  // entry passed to visit is only valid during the call.
  using Visitor = std::function<bool(const ProcessEntry&)>;
  virtual void Walk(const Visitor& visit) = 0;

  // Walks the processes that started, or replaced their executable, since
  // the call that last set since, whatever other walks ran in between, in
  // the system's order, then sets since for the next call. A since of 0
  // walks all. It may visit more (a backend that cannot tell visits all),
  // never a process that has ended, nor an entry older than the call.
  // An exec by a process older than a second may be visited up to a second
  // late, as ChangeMark shows it. Caller-held: each caller keeps its own
  // since.
  virtual void WalkChanged(std::uint64_t& since, const Visitor& visit) = 0;

  // Full path of the process's main executable; empty on any failure
  // (process gone, access refused).
  virtual String ExecutablePath(ProcessId id) = 0;

  // Terminates the process. False when it could not be opened or
  // terminated. Never signals id 0 or the program itself.
  virtual bool Terminate(ProcessId id) = 0;

  // When the process started, in the platform's own units: comparable only
  // with another answer for the same id, later for a process that got the
  // id after an earlier one ended. 0 when the process is not running (gone,
  // or ended and not yet reaped) or the time cannot be read. With the name,
  // it tells whether an id still names the process an earlier walk listed.
  virtual std::uint64_t StartTime(ProcessId id) = 0;

  // The process's identity read from the system at the call, name and path
  // included: nothing a walk cached decides it. The empty identity when
  // the process is not running (gone, or ended and not yet reaped).
  virtual ProcessIdentity Identify(ProcessId id) = 0;

  // A mark of the process table that differs from an earlier answer
  // whenever a process may have started, or replaced its executable, in
  // between: with equal marks a walk lists no process the earlier walk did
  // not (processes may have ended). A start shows at once; an exec by a
  // process older than a second may show up to a second late (a backend may
  // check old processes in turn), never later. A backend that cannot tell
  // cheaply answers a new mark every time, so a caller that walks on a new
  // mark walks every time there.
  virtual std::uint64_t ChangeMark() = 0;

  // The process that created the window; 0 when the window is not valid.
  virtual ProcessId WindowOwner(WindowHandle window) = 0;

  // The program's own process id.
  virtual ProcessId CurrentProcess() = 0;
};

}  // namespace pd::platform
