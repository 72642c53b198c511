// The platform seam: every operation of the operating system the program
// uses goes through one of these ports. A backend implements all of them.
#pragma once

#include <memory>

#include "platform/app.h"
#include "platform/desktop.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/host.h"
#include "platform/input.h"
#include "platform/loop.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/resources.h"
#include "platform/surface.h"
#include "platform/text.h"
#include "platform/tray.h"

namespace pd::platform {

class Platform {
 public:
  virtual ~Platform() = default;

  virtual Processes& processes() = 0;
  virtual Input& input() = 0;
  virtual EventLoop& loop() = 0;
  virtual AppInfo& app() = 0;
  virtual Files& files() = 0;
  virtual Host& host() = 0;
  virtual Registry& registry() = 0;
  virtual Graphics& graphics() = 0;
  virtual Dialogs& dialogs() = 0;
  virtual Resources& resources() = 0;
  virtual Tray& tray() = 0;
  virtual Desktop& desktop() = 0;

  // The backend's file text and "ANSI" code page (text.h).
  virtual const text::Codec& codec() = 0;
  // A registry and a graphics of the backend's own, apart from registry()
  // and graphics().
  virtual std::unique_ptr<Registry> CreateRegistry() = 0;
  virtual std::unique_ptr<Graphics> CreateGraphics() = 0;
};

// The native backend of the build, defined by it (win32 on Windows, x11 on
// Linux; a program on the simulation makes its sim::SimPlatform itself).
// Returns nullptr when the platform cannot be reached (no X display), with
// the reason in error.
std::unique_ptr<Platform> CreatePlatform(String& error);

}  // namespace pd::platform
