// The host port's contract, run unchanged on every backend: the simulation
// in the unit suite, X11 in a private X session (and Windows under Wine).
// Each backend's tests supply a driver (Backend::hostDriver) that plays the
// user and the desktop around the program: the pointer, the keyboard, the
// window manager's close button and another program's clipboard.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "contract/Backend.h"
#include "platform/host.h"
#include "platform/platform.h"

namespace pd::test {

class HostDriver {
 public:
  virtual ~HostDriver() = default;

  virtual platform::Platform& Platform() = 0;
  // Runs the program's loop until done holds or a few seconds have
  // passed; done's last value.
  virtual bool Pump(const std::function<bool()>& done) = 0;

  // The pointer goes to a screen point; buttons (button:: bits) go down
  // and up where it is.
  virtual void MoveToScreen(Point screen) = 0;
  virtual void ButtonDown(int button) = 0;
  virtual void ButtonUp(int button) = 0;
  // The wheel turned by notches where the pointer is (positive: away from
  // the user, up).
  virtual void Wheel(int notches) = 0;
  // Shift, Ctrl (shift:: bits) held down or let go.
  virtual void HoldShift(int shift, bool down) = 0;
  // A key pressed and let go in the focused window, with shift bits held
  // around it.
  virtual void PressKey(int virtualKey, int shift) = 0;
  // Text typed in the focused window, Cyrillic included.
  virtual void Type(StringView text) = 0;
  // The user brings a window to the front (it gets the focus).
  virtual void Activate(WindowHandle window) = 0;
  // The close button of a window's frame.
  virtual void Close(WindowHandle window) = 0;
  // Another program's window shows in front of every window at r (screen
  // pixels), or goes away.
  virtual void ShowOtherWindow(const Rect& r) = 0;
  virtual void HideOtherWindow() = 0;
  // The pointer shape the desktop shows now where the pointer is (a shape
  // it shows for several values reads as the first of them; a picture of
  // ours as kCustom).
  virtual platform::PointerShape ShapeShown() = 0;
  // Another program sets or reads the desktop's clipboard.
  virtual void SetOutsideClipboard(StringView text) = 0;
  virtual String OutsideClipboard() = 0;

  // The pointer to a point in client pixels of window (it may lie outside).
  void MoveTo(WindowHandle window, Point client) {
    const Rect b = Platform().host().Bounds(window);
    MoveToScreen(Point{b.left + client.x, b.top + client.y});
  }
};

}  // namespace pd::test
