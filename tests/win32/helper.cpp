// A small program the Windows backend tests start as a second process.
//
//   win32_helper wait             sleeps (up to five minutes) until terminated
//   win32_helper window CAPTION   shows nothing, owns a hidden window with that
//                                 caption and serves its messages
//   win32_helper claim            exit code 1 when another instance holds the
//                                 single-instance token, 0 otherwise
#include <windows.h>

#include <cstring>
#include <string>

#include "platform/win32/app.h"

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "wait") {
    ::Sleep(300000);
    return 0;
  }
  if (mode == "window" && argc > 2) {
    HWND hwnd = CreateWindowExA(0, "STATIC", argv[2], WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    if (hwnd == nullptr) return 2;
    SetTimer(nullptr, 0, 60000, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0 && msg.message != WM_TIMER) DispatchMessageW(&msg);
    return 0;
  }
  if (mode == "claim") {
    pd::win32::Win32App app;
    return app.PrevInstance() ? 1 : 0;
  }
  return 3;
}
