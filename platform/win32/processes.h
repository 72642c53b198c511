// Processes through Toolhelp, the system's process list (ntdll),
// OpenProcess and psapi.
//
// Names no Windows type: it can be included without <windows.h>.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/processes.h"

namespace pd::win32 {

class Win32Processes final : public platform::Processes {
 public:
  // systemList false: Toolhelp alone, as where NtQuerySystemInformation is
  // missing or fails (tests compare both).
  explicit Win32Processes(bool systemList = true);

  // Toolhelp snapshot of all processes (the "A" entry; szExeFile converted
  // from the ANSI code page).
  void Walk(const Visitor& visit) override;
  // NtQuerySystemInformation's process list into a kept buffer: the
  // processes whose id and creation time the list had not shown before (a
  // process never replaces its executable on Windows). Without the list, a
  // full Toolhelp walk.
  void WalkChanged(std::uint64_t& since, const Visitor& visit) override;
  // OpenProcess(0x410) + GetModuleFileNameExA; "" when either fails.
  String ExecutablePath(ProcessId id) override;
  // OpenProcess(0x1F0FFF, inheritable) + TerminateProcess(0). Never id 0 or
  // the program itself.
  bool Terminate(ProcessId id) override;
  // GetWindowThreadProcessId; 0 for a window that is not valid.
  ProcessId WindowOwner(WindowHandle window) override;
  ProcessId CurrentProcess() override;
  // The creation time of GetProcessTimes (OpenProcess with limited query
  // rights, granted for nearly every process); 0 when the process cannot be
  // opened or has exited (GetExitCodeProcess no longer STILL_ACTIVE).
  std::uint64_t StartTime(ProcessId id) override;
  // Read through one handle held for the whole call, so the id cannot pass
  // to another process meanwhile: the start time, the path, the name (the
  // last part of the image path, as the snapshot gives it; a walk only when
  // no path can be read), then the start time again: a process that ended
  // in between gives the empty identity.
  platform::ProcessIdentity Identify(ProcessId id) override;
  // One read of the process list, compared by id and creation time with
  // the previous: a new mark when a process appeared. Without the list, a
  // new mark every time, so that callers walk every time.
  std::uint64_t ChangeMark() override;

 private:
  class SystemList;
  std::shared_ptr<SystemList> list_;  // null: Toolhelp alone
  std::uint64_t marks_ = 0;
};

}  // namespace pd::win32
