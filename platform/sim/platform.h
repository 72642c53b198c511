// The simulated platform: deterministic, headless, driven by tests.
//
// A virtual clock drives every timer; tests move it with Advance. Processes,
// windows, keys and the pointer are plain state the test sets up and reads
// back. Files are real files in a folder the test chooses, with faults the
// test can switch on.
#pragma once

#include "platform/platform.h"
#include "platform/sim/app.h"
#include "platform/sim/desktop.h"
#include "platform/sim/dialogs.h"
#include "platform/sim/files.h"
#include "platform/sim/host.h"
#include "platform/sim/input.h"
#include "platform/sim/loop.h"
#include "platform/sim/processes.h"
#include "platform/sim/registry.h"
#include "platform/sim/tray.h"
#include "platform/soft/EmbeddedResources.h"
#include "platform/soft/SoftGraphics.h"

namespace pd::sim {

class SimPlatform final : public platform::Platform {
 public:
  static constexpr ProcessId kSelfId = 1000;

  // folder stands for the application folder; it must exist.
  explicit SimPlatform(String folder = u".");

  // The ports, with the simulation's own types (one name for each).
  SimProcesses& processes() override { return procs_; }
  SimInput& input() override { return input_; }
  SimLoop& loop() override { return loop_; }
  SimApp& app() override { return app_; }
  SimFiles& files() override { return files_; }
  SimHost& host() override { return host_; }
  SimRegistry& registry() override { return registry_; }
  soft::SoftGraphics& graphics() override { return graphics_; }
  SimDialogs& dialogs() override { return dialogs_; }
  soft::EmbeddedResources& resources() override { return resources_; }
  SimTray& tray() override { return tray_; }

  const text::Codec& codec() override;
  std::unique_ptr<platform::Registry> CreateRegistry() override;
  std::unique_ptr<platform::Graphics> CreateGraphics() override;
  SimDesktop& desktop() override { return desktop_; }

  // ---- The user, as a driver: each call moves the pointer, sets the
  // key-state bits and delivers the event together, so that what the
  // program polls and what it is told never disagree. Positions are client
  // pixels of window.
  void MouseMove(WindowHandle window, Point pos, int shift = 0);
  void MouseDown(WindowHandle window, Point pos, int button = platform::button::kLeft, int shift = 0);
  void MouseUp(WindowHandle window, Point pos, int button = platform::button::kLeft, int shift = 0);
  // The wheel turned by delta 120ths of a notch (positive: away from the
  // user) with the pointer at pos.
  void MouseWheel(WindowHandle window, Point pos, int delta, int shift = 0);
  // Down and up at pos.
  void Click(WindowHandle window, Point pos, int button = platform::button::kLeft, int shift = 0);
  // A key goes down (with its typed text, if any) and comes up; the shift
  // bits are held around it.
  void KeyDown(WindowHandle window, int virtualKey, int shift = 0);
  void KeyUp(WindowHandle window, int virtualKey, int shift = 0);
  void PressKey(WindowHandle window, int virtualKey, int shift = 0);
  void Type(WindowHandle window, StringView text);

 private:
  SimProcesses procs_;
  SimInput input_;
  SimLoop loop_;
  SimApp app_;
  SimFiles files_;
  soft::SoftGraphics graphics_;
  SimHost host_;
  SimRegistry registry_;
  SimDialogs dialogs_;
  soft::EmbeddedResources resources_{graphics_};
  SimTray tray_;
  SimDesktop desktop_;
  int heldButtons_ = 0;
};

}  // namespace pd::sim
