// Desktop port: what the desktop session itself says about the double
// press and the foreground application.
//
// Under a Wayland compositor the program is an X11 client (XWayland): its
// global key state and its foreground window see X11 windows only. A
// compositor with an interface for it answers instead: it reports the
// chord as it is pressed, and names the process of the focused window.
// Where the platform's own key state and foreground window serve (Windows,
// an X11 session) the desktop answers kPlatform and the program keeps to
// them.
#pragma once

#include <functional>

#include "platform/types.h"

namespace pd::platform {

enum class DesktopKind {
  kPlatform,     // the platform's own hot keys and foreground window
  kSway,         // sway or an i3-compatible compositor (its IPC socket)
  kHyprland,     // Hyprland (its IPC sockets)
  kKWin,         // KDE Plasma's KWin (the session bus)
  kUnsupported,  // a Wayland desktop with no interface for either
};

class Desktop {
 public:
  virtual ~Desktop() = default;

  // The session's kind, found when the platform was created.
  virtual DesktopKind Kind() = 0;

  // Asks the desktop to report the chord Ctrl+Alt+WIN: pressed runs once
  // per press, from the event loop. False when the desktop does not report
  // it (kPlatform, kUnsupported, the compositor refused); then nothing is
  // left bound. A second call replaces the handler.
  virtual bool WatchChord(std::function<void()> pressed) = 0;
  // Takes back what WatchChord bound; nothing more is reported.
  virtual void UnwatchChord() = 0;
  // The key combination the desktop reports as the chord, as the user
  // types it (a desktop that cannot bind modifiers alone binds another
  // one); "" when it reports none.
  virtual String ChordName() = 0;

  // The process of the window that has the focus now, asked of the
  // desktop at the call; 0 when no window has it, the window has no local
  // process (remote, sandboxed) or the desktop cannot say.
  virtual ProcessId ForegroundProcess() = 0;
  // The desktop's own process (the compositor), never to be ended; 0 when
  // unknown.
  virtual ProcessId ShellProcess() = 0;
};

}  // namespace pd::platform
