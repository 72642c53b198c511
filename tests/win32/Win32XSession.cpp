#include "Win32XSession.h"

#include <cstdlib>
#include <vector>

#include "Win32TestUtil.h"

namespace pd::test {

std::string WindowTestsUnavailable() {
  char display[64] = {};
  if (GetEnvironmentVariableA("DISPLAY", display, sizeof(display)) == 0) {
    return "no X display: run under scripts/wine-run, which starts a private one";
  }
  if (!UnixProgramExists("/usr/bin/xdotool")) return "xdotool is not installed";
  return "";
}

std::uintptr_t XWindowOf(HWND hwnd, const std::function<void()>& pump, DWORD timeoutMs) {
  // Wine keeps the X window of a top-level window in this property.
  std::uintptr_t xid = 0;
  WaitFor([&] { return (xid = reinterpret_cast<std::uintptr_t>(GetPropA(hwnd, "__wine_x11_whole_window"))) != 0; },
          pump, timeoutMs);
  return xid;
}

bool ActivateWindow(HWND hwnd, const std::function<void()>& pump) {
  const std::uintptr_t xid = XWindowOf(hwnd, pump);
  if (xid == 0) return false;
  RunUnix("timeout 5 xdotool windowactivate --sync " + std::to_string(xid), pump);
  return WaitFor([&] { return GetForegroundWindow() == hwnd; }, pump, 5000);
}

bool StartUnix(const std::string& shellCommand) {
  std::string line = "/bin/sh -c \"" + shellCommand + "\"";
  std::vector<char> buf(line.begin(), line.end());
  buf.push_back('\0');
  STARTUPINFOA si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, buf.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  // Wine starts a Linux program without a Windows process: the handles it
  // returns name nothing of it, and closing them may close one of ours (the
  // test's output went missing that way). They are left alone.
  return true;
}

std::string ReadUnixFile(const std::string& path) {
  const std::string dos = "Z:" + path;
  HANDLE file = CreateFileA(dos.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return "";
  std::string bytes;
  char chunk[4096];
  DWORD got = 0;
  while (::ReadFile(file, chunk, sizeof(chunk), &got, nullptr) != FALSE && got > 0) bytes.append(chunk, got);
  CloseHandle(file);
  return bytes;
}

std::string ScreenshotCommand(const std::string& name) {
  char folder[MAX_PATH] = {};
  if (GetEnvironmentVariableA("PD_WIN32_SHOTS", folder, sizeof(folder)) == 0) return "true";
  return "xwd -root -silent | convert xwd:- " + std::string(folder) + "/" + name + ".png";
}

}  // namespace pd::test
