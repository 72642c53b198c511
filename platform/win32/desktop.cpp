#include "platform/win32/desktop.h"

#include <windows.h>

namespace pd::win32 {

bool Win32Desktop::WatchChord(std::function<void()> /*pressed*/) { return false; }

// The shell's process: the owner of the taskbar (the shell window is not
// there under every shell).
ProcessId Win32Desktop::ShellProcess() {
  HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
  DWORD pid = 0;
  if (taskbar != nullptr) GetWindowThreadProcessId(taskbar, &pid);
  return pid;
}

}  // namespace pd::win32
