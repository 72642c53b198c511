// The Linux backend: /proc for processes, POSIX for files, and one X
// connection (Xlib, XInput 2.2, X-Resource) for windows, keys and the
// event loop.
//
// The process, file, application and loop parts work without a display, so
// they can be built and tested apart from the X connection; only the whole
// X11Platform needs one. Failures the user never sees are still recorded,
// with messages that start with "X11: " (Files::LastError,
// XConnection::LastError).
#pragma once

#include <memory>

#include "platform/platform.h"
#include "platform/registry.h"
#include "platform/soft/EmbeddedResources.h"
#include "platform/soft/SoftGraphics.h"
#include "platform/x11/app.h"
#include "platform/x11/connection.h"
#include "platform/x11/dialogs.h"
#include "platform/x11/files.h"
#include "platform/x11/host.h"
#include "platform/x11/input.h"
#include "platform/x11/loop.h"
#include "platform/x11/processes.h"
#include "platform/x11/tray.h"

namespace pd::x11 {

// The registry kept in the user's configuration folder (the platform's
// registry and CreateRegistry).
std::unique_ptr<platform::Registry> CreateLinuxRegistry();

class X11Platform final : public platform::Platform {
 public:
  explicit X11Platform(std::unique_ptr<XConnection> x);

  platform::Processes& processes() override { return procs_; }
  platform::Input& input() override { return input_; }
  platform::EventLoop& loop() override { return loop_; }
  platform::AppInfo& app() override { return app_; }
  platform::Files& files() override { return files_; }
  platform::Host& host() override { return host_; }
  platform::Registry& registry() override { return *registry_; }
  platform::Graphics& graphics() override { return graphics_; }
  platform::Dialogs& dialogs() override { return dialogs_; }
  platform::Resources& resources() override { return resources_; }
  X11Tray& tray() override { return tray_; }

  const text::Codec& codec() override;
  std::unique_ptr<platform::Registry> CreateRegistry() override;
  std::unique_ptr<platform::Graphics> CreateGraphics() override;
  platform::Desktop& desktop() override { return *desktop_; }

  XConnection& Connection() { return *x_; }

 private:
  std::unique_ptr<XConnection> x_;
  X11Processes procs_;
  X11Input input_;
  X11Loop loop_;
  X11App app_{{}, &loop_};
  X11Files files_;
  soft::SoftGraphics graphics_;
  X11Host host_;
  std::unique_ptr<platform::Registry> registry_ = CreateRegistry();
  X11Dialogs dialogs_{loop_, host_};
  soft::EmbeddedResources resources_{graphics_};
  X11Tray tray_{*x_, loop_, graphics_};
  std::unique_ptr<platform::Desktop> desktop_;
};

}  // namespace pd::x11
