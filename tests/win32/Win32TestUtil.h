// Helpers of the Windows backend tests: a second process of our own, and
// Linux commands (xdotool) run from inside Wine.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "platform/types.h"

namespace pd::test {

// A process of win32_helper.exe (beside the test executable), ended and
// released when the object goes.
class HelperProcess {
 public:
  explicit HelperProcess(const std::wstring& args);
  ~HelperProcess();
  HelperProcess(const HelperProcess&) = delete;
  HelperProcess& operator=(const HelperProcess&) = delete;

  [[nodiscard]] bool Started() const { return info_.hProcess != nullptr; }
  [[nodiscard]] DWORD Id() const { return info_.dwProcessId; }
  [[nodiscard]] HANDLE Process() const { return info_.hProcess; }
  // Waits for the end; the exit code, or -1 on timeout.
  long Wait(DWORD ms);
  // Drops the handles (so the system can forget the process).
  void Release();

  static std::wstring Path();

 private:
  PROCESS_INFORMATION info_{};
};

// Whether a Linux program exists (Wine shows the root as drive Z:).
bool UnixProgramExists(const char* path);

// Pumps messages (DoEvents) until done() or the timeout; true when done.
template <typename Done, typename Pump>
bool WaitFor(Done done, Pump pump, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (!done()) {
    if (GetTickCount64() > end) return false;
    pump();
    ::Sleep(5);
  }
  return true;
}

// Runs a Linux shell command from Wine and waits until it has ended (Wine
// gives no usable handle for a Linux process: the command leaves a mark in
// /tmp instead); pump runs meanwhile. False when it could not start or did
// not end in time.
bool RunUnix(const std::string& shellCommand, const std::function<void()>& pump = [] {}, DWORD timeoutMs = 10000);

}  // namespace pd::test
