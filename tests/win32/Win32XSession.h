// Helpers of the window tests under Wine: the X window behind a Wine window,
// Linux commands started without waiting (to act while a modal loop runs),
// files of /tmp read from Wine, and screenshots on request.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace pd::test {

// Why window tests cannot run here ("" when they can): no X display or no
// xdotool.
std::string WindowTestsUnavailable();

// The X window Wine made for a top-level window; 0 when it has none (yet).
std::uintptr_t XWindowOf(HWND hwnd, const std::function<void()>& pump, DWORD timeoutMs = 5000);

// Gives the window the X focus as a user's click would; true when it is then
// the foreground window.
bool ActivateWindow(HWND hwnd, const std::function<void()>& pump);

// Starts a Linux shell command and returns at once.
bool StartUnix(const std::string& shellCommand);

// A file of the Linux file system as bytes; "" when it cannot be read.
std::string ReadUnixFile(const std::string& path);

// With PD_WIN32_SHOTS set to a Linux folder, the shell command that saves the
// whole screen there as NAME.png (to look at); "true" otherwise.
std::string ScreenshotCommand(const std::string& name);

}  // namespace pd::test
