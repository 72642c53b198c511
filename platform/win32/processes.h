// Processes through Toolhelp, OpenProcess and psapi.
//
// Names no Windows type: it can be included without <windows.h>.
#pragma once

#include <cstdint>

#include "platform/processes.h"

namespace pd::win32 {

class Win32Processes final : public platform::Processes {
 public:
  // Toolhelp snapshot of all processes (the "A" entry; szExeFile converted
  // from the ANSI code page).
  void Walk(const Visitor& visit) override;
  // The snapshot tells nothing of what changed: a full walk every time.
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
  // Windows offers no cheap count of process creations: a new mark every
  // time, so that callers walk as they always did.
  std::uint64_t ChangeMark() override { return ++marks_; }

 private:
  std::uint64_t marks_ = 0;
};

}  // namespace pd::win32
