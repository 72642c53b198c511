// The Windows platform: the real calls of kernel32, user32 and psapi behind
// the ports.
//
// Everything runs on the one user-interface thread. Timers are SetTimer
// timers of a hidden message-only window of that thread; the event loop is
// the thread's message queue. Text crosses the "A" calls in the system's
// ANSI code page (CP_ACP) and the "W" calls in UTF-16, which is the
// program's own String (char16_t and wchar_t are both UTF-16 on Windows).
//
// These headers name no Windows type, so the tests and the executable can
// include it without <windows.h>; handles are kept as the ports' integers.
#pragma once

#include <memory>

#include "platform/platform.h"
#include "platform/win32/app.h"
#include "platform/win32/desktop.h"
#include "platform/win32/dialogs.h"
#include "platform/win32/files.h"
#include "platform/win32/host.h"
#include "platform/win32/input.h"
#include "platform/win32/loop.h"
#include "platform/win32/processes.h"
#include "platform/win32/resources.h"
#include "platform/win32/surface.h"
#include "platform/win32/tray.h"

namespace pd::win32 {

// The system's registry (the platform's registry and CreateRegistry).
std::unique_ptr<platform::Registry> CreateWin32Registry();

class Win32Platform final : public platform::Platform {
 public:
  platform::Processes& processes() override { return procs_; }
  platform::Input& input() override { return input_; }
  platform::EventLoop& loop() override { return loop_; }
  platform::AppInfo& app() override { return app_; }
  platform::Files& files() override { return files_; }
  platform::Host& host() override { return host_; }
  platform::Registry& registry() override { return *registry_; }
  platform::Graphics& graphics() override { return *graphics_; }
  platform::Dialogs& dialogs() override { return dialogs_; }
  platform::Resources& resources() override { return resources_; }
  Win32Tray& tray() override { return tray_; }

  const text::Codec& codec() override;
  std::unique_ptr<platform::Registry> CreateRegistry() override;
  std::unique_ptr<platform::Graphics> CreateGraphics() override;
  Win32Desktop& desktop() override { return desktop_; }

 private:
  Win32Processes procs_;
  Win32Input input_;
  Win32Loop loop_;
  Win32App app_;
  Win32Files files_;
  std::unique_ptr<platform::Graphics> graphics_ = CreateGdiGraphics();
  Win32Host host_{*graphics_};
  std::unique_ptr<platform::Registry> registry_ = CreateRegistry();
  Win32Dialogs dialogs_;
  Win32Resources resources_{*graphics_};
  Win32Tray tray_;
  Win32Desktop desktop_;
};

}  // namespace pd::win32
