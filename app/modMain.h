// Process services: the handful of operations every action of the program
// on running processes goes through. They keep no state of their own.
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

  // Terminates the process; failures are silent. Id 0 and the program's
  // own id are never touched.
  void KillProcess(ProcessId id);

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
};

}  // namespace pd::app
