// The Linux desktop: the session's compositor where it answers for the
// chord and the foreground (sway and i3-compatible ones, Hyprland, KDE
// Plasma's KWin), the X
// server's own key state and active window in an X11 session, and an
// honest "no" (kUnsupported) on a Wayland desktop that offers neither.
#pragma once

#include <memory>
#include <string>

#include "platform/desktop.h"
#include "platform/x11/loop.h"

namespace pd::x11 {

// What the session's environment says about the desktop.
struct SessionEnv {
  std::string waylandDisplay;  // $WAYLAND_DISPLAY
  std::string currentDesktop;  // $XDG_CURRENT_DESKTOP
  std::string swaySock;        // $SWAYSOCK, else $I3SOCK
  std::string hyprSignature;   // $HYPRLAND_INSTANCE_SIGNATURE
  std::string runtimeDir;      // $XDG_RUNTIME_DIR

  static SessionEnv FromEnvironment();
};

// The kind the environment names: a compositor's interface only under
// Wayland (an i3 or Plasma X11 session keeps the X11 way); kUnsupported for
// any other Wayland session.
platform::DesktopKind ChooseDesktopKind(const SessionEnv& env);

// Hyprland's socket folder: $XDG_RUNTIME_DIR/hypr/SIG (older releases used
// /tmp/hypr/SIG; the first that holds the request socket).
std::string HyprlandFolder(const SessionEnv& env);

class X11Desktop final : public platform::Desktop {
 public:
  // Connects to the compositor the session names; a compositor that cannot
  // be reached leaves the Wayland session kUnsupported.
  X11Desktop(X11Loop& loop, const SessionEnv& env);
  ~X11Desktop() override;

  platform::DesktopKind Kind() override { return kind_; }
  bool WatchChord(std::function<void()> pressed) override;
  void UnwatchChord() override;
  String ChordName() override;
  ProcessId ForegroundProcess() override;
  ProcessId ShellProcess() override;

 private:
  platform::DesktopKind kind_ = platform::DesktopKind::kPlatform;
  std::unique_ptr<platform::Desktop> compositor_;
};

}  // namespace pd::x11
