// Hyprland, over its two sockets in its instance folder: ".socket.sock"
// takes one request per connection and answers until it closes
// ("j/activewindow" gives the active window as JSON with its "pid";
// "keyword ..." sets a configuration keyword and answers "ok");
// ".socket2.sock" streams events, one "NAME>>DATA" line each.
//
// The chord is a release binding of Super_L with Ctrl, Alt and Super held,
// whose dispatcher "event" sends "custom>>TAG" down the event socket; it is
// taken back with "keyword unbind" at UnwatchChord and at the end.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/desktop.h"
#include "platform/x11/chord_events.h"
#include "platform/x11/loop.h"

namespace pd::x11 {

class HyprlandDesktop final : public platform::Desktop {
 public:
  // nullptr when the request socket cannot be reached.
  static std::unique_ptr<HyprlandDesktop> Connect(X11Loop& loop, const std::string& folder);
  ~HyprlandDesktop() override;
  HyprlandDesktop(const HyprlandDesktop&) = delete;
  HyprlandDesktop& operator=(const HyprlandDesktop&) = delete;

  platform::DesktopKind Kind() override { return platform::DesktopKind::kHyprland; }
  bool WatchChord(std::function<void()> pressed) override;
  void UnwatchChord() override;
  String ChordName() override;
  ProcessId ForegroundProcess() override;
  ProcessId ShellProcess() override { return shell_; }

  static constexpr std::string_view kChordKeys = "CTRL ALT SUPER,Super_L";

  // The number of "custom>>tag" lines at the front of buffer's complete
  // lines, which are taken off it.
  static int TakePresses(std::string& buffer, std::string_view tag);

 private:
  HyprlandDesktop(X11Loop& loop, std::string folder, ProcessId shell);
  // One request and its whole answer; nullopt when none came in time.
  std::optional<std::string> Request(std::string_view request);

  static constexpr int kTimeoutMs = 1000;
  std::string folder_;
  ProcessId shell_ = 0;
  std::string tag_;
  bool bound_ = false;
  ChordEvents events_;
};

}  // namespace pd::x11
