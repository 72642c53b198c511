// Process services: the handful of operations every action of the program
// on running processes goes through. They keep no state of their own
// beyond the program's own path, read once.
#pragma once

#include "platform/platform.h"

namespace pd::app {

// One process of a snapshot (the system's snapshot entry) plus the full
// path of its executable. FullPath is filled only by those who need it
// (the process list and the block timer); empty when it cannot be read.
struct ProcessRecord : platform::ProcessEntry {
  ProcessRecord() = default;
  explicit ProcessRecord(const platform::ProcessEntry& entry) : platform::ProcessEntry(entry) {}

  String FullPath;

  // The file name, read through TrimNull as every caller must.
  [[nodiscard]] String ExeFile() const;
};

// What KillProcess did.
enum class KillOutcome {
  kNotRunning,  // nothing asked: not running as the process seen (ended, id
                // taken over), or id 0, or the program itself
  kRefused,     // the system refused to end it: it runs on
  kAsked,       // the system was asked to end it; it may take a while to go
};

class modMain {
 public:
  explicit modMain(platform::Platform& platform) : platform_(platform) {}

  // Full path of the process's main executable; "" on any failure (process
  // gone, protected or system process).
  String GetProcessPath(ProcessId id);

  // The snapshot entry of the process that owns the window, FullPath empty.
  // When no process of the snapshot owns it (the window is not valid, the
  // process ended) the result is an empty record: id 0, empty name, so it
  // never designates another process.
  ProcessRecord GetWindowProcess(WindowHandle hwnd);

  // The process's identity read now (name and path included). Where the
  // platform cannot read it whole although the process runs (its file
  // unreadable), the name a walk listed, its start time and no path. The
  // empty identity when it is not running.
  platform::ProcessIdentity Identify(ProcessId id, StringView listedName = {});

  // The identity, read now, of the process that owns the window; empty
  // when there is none (the window is not valid, the process ended).
  platform::ProcessIdentity WindowProcess(WindowHandle hwnd);

  // Whether the process seen earlier still runs as that same process: the
  // id with the same start time, or, where the platform could not tell the
  // start time, the id with the same name and path. An id taken over by a
  // later process is not the same process; nor is one that ended.
  bool SameProcess(const platform::ProcessIdentity& seen);
  // The same rule for two identities read at different times: whether now
  // is the process seen (both non-empty).
  static bool SameIdentity(const platform::ProcessIdentity& seen, const platform::ProcessIdentity& now);

  // Whether the process is the program itself: its own id, or a process
  // of its own executable (the same path, letter case ignored).
  bool IsOwnProgram(const platform::ProcessIdentity& who);

  // Ends the process seen earlier, only while it still runs as that same
  // process (SameProcess, checked at the call); never id 0, never the
  // program itself. Says what happened.
  KillOutcome KillProcess(const platform::ProcessIdentity& seen);
  // The same for the process the id names now.
  KillOutcome KillProcess(ProcessId id);

  // Walks a complete snapshot of the running processes in the system's
  // order.
  template <typename Visit>
  void ForEachProcess(Visit&& visit) {
    platform_.processes().Walk([&](const platform::ProcessEntry& e) {
      visit(e);
      return true;
    });
  }

  // Walks the processes that started or replaced their executable since
  // the call that last set since (0: all of them), and sets since for the
  // next call.
  template <typename Visit>
  void ForEachChangedProcess(std::uint64_t& since, Visit&& visit) {
    platform_.processes().WalkChanged(since, [&](const platform::ProcessEntry& e) {
      visit(e);
      return true;
    });
  }

  // The text before the first NUL. A text whose first character is NUL,
  // and a text without any NUL, give "".
  static String TrimNull(StringView s);

  // Whether a file (normal, hidden or system; not a directory) exists at
  // the path. "" and any lookup error give false.
  bool FileExists(StringView path);

 private:
  platform::Platform& platform_;
  String ownPathLowered_;  // the program's own path in lower case, read once
};

}  // namespace pd::app
