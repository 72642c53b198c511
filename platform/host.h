// Host port: what only the operating system can do for the control host.
//
// Top-level windows (forms, popups such as menus and tool tips, and dialog
// windows), their placement, showing and hiding, presenting a form's frame,
// the pointer capture, the clipboard and the screen's size. Child controls
// are not windows: the control host (forms/) keeps them, finds the one under
// the pointer, holds focus and draws them into the form's frame.
//
// A backend reports what happens to its windows through one sink and never
// acts on it itself: a close request does not close anything, an expose does
// not paint. Events are reported on the user-interface thread while the loop
// runs (Run, RunModal, DoEvents).
//
// Coordinates: pixels. Window rectangles are the client area in screen
// pixels; event positions are client pixels of the window the event names.
#pragma once

#include <memory>

#include "platform/surface.h"
#include "platform/types.h"

namespace pd::platform {

// Shift-state bits of mouse and key events (the Shift argument).
namespace shift {
inline constexpr int kShift = 1;
inline constexpr int kCtrl = 2;
inline constexpr int kAlt = 4;
}  // namespace shift

// Mouse buttons (the Button argument): one bit each.
namespace button {
inline constexpr int kLeft = 1;
inline constexpr int kRight = 2;
inline constexpr int kMiddle = 4;
}  // namespace button

// Why a window is asked to close (the UnloadMode of query-unload).
namespace unload {
inline constexpr int kUser = 0;         // the close button or the system menu
inline constexpr int kCode = 1;         // the program unloads the form itself
inline constexpr int kSession = 2;      // the session ends (log off, shutdown)
inline constexpr int kTaskManager = 3;  // another program asked the program to end (SIGTERM, task manager)
}  // namespace unload

// (Named with a k: Xlib defines Expose, FocusIn and others as macros.)
enum class HostEventKind {
  kCloseRequest,  // unloadMode says why
  kExpose,        // area must be shown again from the frame
  kMouseDown,     // button is the one that went down; pos, shift
  kMouseMove,     // button holds every button down now; pos, shift
  kMouseUp,       // button is the one that came up; pos, shift
  kDoubleClick,   // the second press of a double click, after its MouseDown
  kKeyDown,       // key (virtual-key code), shift; repeats while held
  kKeyUp,         // key, shift
  kText,          // text typed, after the keyboard layout and input method (Cyrillic included)
  kFocusIn,       // the window got the keyboard focus
  kFocusOut,      // the window lost it
  kShown,         // mapped / shown (by us or by the window manager)
  kHidden,        // unmapped / hidden
  kResized,       // the client area changed size (area is the new client rectangle on the screen)
  kCaptureLost,   // the pointer capture ended without ReleaseCapture (another window took it)
  kMouseWheel,    // wheel turned by `wheel`; pos (client pixels of the window under the pointer), shift
};

struct HostEvent {
  HostEventKind kind = HostEventKind::kExpose;
  WindowHandle window = 0;
  Point pos;           // client pixels (mouse events)
  int button = 0;      // button:: bits
  int shift = 0;       // shift:: bits
  int key = 0;         // virtual-key code (KeyDown, KeyUp)
  String text;         // Text
  Rect area;           // Expose: client pixels; Resized: client area on the screen
  int unloadMode = 0;  // CloseRequest
  int wheel = 0;       // MouseWheel: 120ths of a notch, positive turned away from the user (up)
};

class HostEventSink {
 public:
  virtual ~HostEventSink() = default;
  virtual void OnHostEvent(const HostEvent& event) = 0;
};

enum class WindowKind {
  // A framed top-level window with a caption and a close button, kept out of
  // the task list.
  Form,
  // A framed window for a modal dialog of our own (message box): a transient
  // of its owner, no task-list entry, not resizable.
  Dialog,
  // No frame, above other windows, never takes the focus from its owner by
  // itself: menus and tool tips.
  Popup,
};

// (Not CursorShape: Xlib defines that as a macro.)
// The pointer shapes a window can show: the standard ones of the desktop,
// in the order of the controls' MousePointer values 0 to 15, then the
// program's own picture.
enum class PointerShape {
  kDefault,        // the window's usual pointer (an arrow)
  kArrow,
  kCross,
  kIBeam,
  kIcon,           // a small square
  kSize,           // four arrows
  kSizeNESW,
  kSizeNS,
  kSizeNWSE,
  kSizeWE,
  kUpArrow,
  kWait,           // the hourglass or spinner
  kNo,             // a slashed circle: no drop
  kArrowWait,      // arrow with hourglass: busy in the background
  kArrowQuestion,  // arrow with question mark: help
  kSizeAll,
  kCustom,         // a picture (hot spot at its centre)
};

class Host {
 public:
  virtual ~Host() = default;

  // Where raw events go; nullptr drops them. The sink outlives its windows
  // or is replaced before it goes.
  virtual void SetEventSink(HostEventSink* sink) = 0;

  // Creates a hidden window; 0 on failure. owner (a window of ours or 0)
  // keeps a Dialog or Popup above it.
  virtual WindowHandle CreateForm(StringView caption, WindowKind kind = WindowKind::Form,
                                  WindowHandle owner = 0) = 0;
  // After this the handle names nothing: no surface, not visible, no events.
  virtual void DestroyForm(WindowHandle form) = 0;
  virtual void SetCaption(WindowHandle form, StringView caption) = 0;
  // Places the window so that its client area covers r (screen pixels).
  virtual void SetBounds(WindowHandle form, const Rect& r) = 0;
  // The client area on the screen; an empty rectangle for an unknown handle.
  [[nodiscard]] virtual Rect Bounds(WindowHandle form) = 0;
  virtual void ShowForm(WindowHandle form, bool visible) = 0;
  [[nodiscard]] virtual bool IsVisible(WindowHandle form) = 0;
  // Whether the handle names a live window created by CreateForm.
  [[nodiscard]] virtual bool IsForm(WindowHandle form) = 0;
  // A disabled window takes no input while a modal window of ours holds
  // the program: no mouse, wheel, key or text event and no close request
  // from the user is reported for it. Keys that still reach it (it kept
  // the keyboard focus) go to the newest shown, enabled window it owns,
  // directly or through others, and a press on it brings that window
  // forward (or beeps), as the platform does for its own modal dialogs.
  // Windows start enabled.
  virtual void EnableInput(WindowHandle form, bool enabled) = 0;

  // An off-screen frame of the given size for drawing on the form: what is
  // drawn reaches the window all at once when Present is called. nullptr for
  // a window that is not one of our forms or an empty size.
  virtual std::unique_ptr<Surface> CreateFormSurface(WindowHandle form, int width, int height) = 0;

  // Mouse events go to form until ReleaseCapture, wherever the pointer is
  // (positions may then lie outside the client area). A Popup that captures
  // sees the clicks outside it (to close a menu).
  virtual void SetCapture(WindowHandle form) = 0;
  virtual void ReleaseCapture() = 0;
  // The window that holds the capture, 0 for none.
  [[nodiscard]] virtual WindowHandle Capture() = 0;

  // The top-level window of any program under a point of the screen in
  // pixels, frontmost first: a window of ours (the handle CreateForm gave)
  // when one shows there uncovered, another program's window (a nonzero
  // handle IsForm denies), or 0 for the bare desktop.
  [[nodiscard]] virtual WindowHandle TopWindowAt(Point screen) = 0;
  // The pointer shape shown while the pointer is over form's client area,
  // from now on. picture is the shape for kCustom; kCustom without one
  // shows kDefault. Setting the shape the window shows already costs
  // nothing.
  virtual void SetCursor(WindowHandle form, PointerShape shape, std::shared_ptr<const Picture> picture = nullptr) = 0;

  // The whole screen and the part of it not taken by panels (task bar,
  // docks), in pixels.
  [[nodiscard]] virtual Rect ScreenRect() = 0;
  [[nodiscard]] virtual Rect WorkArea() = 0;

  // The desktop's clipboard as text ("" when it holds none). Setting it
  // makes this program the clipboard's owner until another takes it.
  [[nodiscard]] virtual String ClipboardText() = 0;
  virtual void SetClipboardText(StringView text) = 0;
};

}  // namespace pd::platform
