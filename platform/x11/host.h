// The program's windows as top-level X windows.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "platform/host.h"
#include "platform/x11/connection.h"

namespace pd::soft {
class SoftGraphics;
}  // namespace pd::soft

namespace pd::x11 {

// Forms are top-level X windows of this connection, created unmapped, out
// of the task list (_NET_WM_STATE_SKIP_TASKBAR), with a UTF-8 caption and
// _NET_WM_PID. A Form and a Dialog (a transient of its owner) are framed by
// the window manager and keep the size SetBounds gave them; a Popup is
// override-redirect and never takes the focus.
//
// What happens to them is reported to the sink, from the events the loop
// dispatches: buttons 1-3 (a second press of the same button within
// kDoubleClickMs and kDoubleClickPx adds a DoubleClick), motion, keys as
// virtual-key codes (a held key repeats KeyDown only: detectable
// auto-repeat), typed text through the input method (XIM, UTF-8 lookup;
// XLookupString where no input method opens), focus, map state, exposed
// areas (one event per series), size changes, WM_DELETE_WINDOW and the end
// of a pointer grab we did not ask for.
//
// The capture is an active pointer grab without owner events: every
// pointer event goes to the holder, relative to it. The clipboard is the
// CLIPBOARD selection, owned by a hidden helper window that answers
// TARGETS, UTF8_STRING, TEXT and STRING (Latin-1, '?' for the rest);
// reading another owner's text waits at most kClipboardWaitMs for it,
// without dispatching any other event.
class X11Host final : public platform::Host {
 public:
  X11Host(XConnection& x, soft::SoftGraphics& graphics);
  ~X11Host() override;
  X11Host(const X11Host&) = delete;
  X11Host& operator=(const X11Host&) = delete;

  void SetEventSink(platform::HostEventSink* sink) override { sink_ = sink; }
  WindowHandle CreateForm(StringView caption, platform::WindowKind kind = platform::WindowKind::Form,
                          WindowHandle owner = 0) override;
  void DestroyForm(WindowHandle form) override;
  void SetCaption(WindowHandle form, StringView caption) override;
  void SetBounds(WindowHandle form, const Rect& r) override;
  Rect Bounds(WindowHandle form) override;
  void ShowForm(WindowHandle form, bool visible) override;
  // What ShowForm asked for, until the server reports a later change
  // (a map or unmap event newer than the request).
  bool IsVisible(WindowHandle form) override;
  bool IsForm(WindowHandle form) override { return forms_.count(form) != 0; }
  // Our own flag: the server knows no disabled window. The window manager
  // is told through the dialog's hints (transient for its owner, modal).
  void EnableInput(WindowHandle form, bool enabled) override;
  // A software surface whose Present puts the frame, or the presented
  // rectangle of it, on the window with one XPutImage.
  std::unique_ptr<platform::Surface> CreateFormSurface(WindowHandle form, int width, int height) override;
  // Grabs the pointer for a viewable form; Capture() stays 0 when the
  // server refuses the grab.
  void SetCapture(WindowHandle form) override;
  void ReleaseCapture() override;
  WindowHandle Capture() override { return capture_; }
  Rect ScreenRect() override;
  // _NET_WORKAREA of the first desktop, within the screen; the screen
  // where the window manager does not say.
  Rect WorkArea() override;
  String ClipboardText() override;
  void SetClipboardText(StringView text) override;

  // Whether typed text goes through an input method.
  [[nodiscard]] bool HasInputMethod() const { return im_ != nullptr; }
  [[nodiscard]] bool InputEnabled(WindowHandle form) const {
    auto it = forms_.find(form);
    return it != forms_.end() && it->second.enabled;
  }
  // While another program's modal dialog stands for ours (the desktop's
  // file chooser): every enabled window takes no input. The windows it
  // disabled, for ReleaseInput.
  std::vector<WindowHandle> HoldInput();
  void ReleaseInput(const std::vector<WindowHandle>& held);

  static constexpr unsigned long kDoubleClickMs = 500;
  static constexpr int kDoubleClickPx = 4;
  static constexpr int kClipboardWaitMs = 1000;

 private:
  struct Form {
    platform::WindowKind kind = platform::WindowKind::Form;
    WindowHandle owner = 0;
    std::uint64_t made = 0;  // creation order
    void* ic = nullptr;      // XIC
    bool visible = false;
    bool enabled = true;
    unsigned long showSerial = 0;  // request that last mapped or unmapped it
    int width = 100;
    int height = 100;
    Rect exposed;  // the series of exposes so far
  };
  struct Press {
    XWindow window = 0;
    int button = 0;
    unsigned long time = 0;
    Point pos;
  };
  Form* Find(WindowHandle form);
  void OpenInputMethod();
  void OnEvent(XEvent& ev);
  void OnButton(XEvent& ev);
  // reportAs: the window the key is reported for (a disabled window's
  // keys go to its modal window).
  void OnKey(XEvent& ev, WindowHandle reportAs);
  // Input to a disabled window (see EnableInput); true when the event is
  // done with.
  bool Refuse(XEvent& ev, WindowHandle window);
  // The newest shown, enabled window owned by form, directly or through
  // others; 0 for none.
  [[nodiscard]] WindowHandle ModalOf(WindowHandle form);
  void OnSelectionRequest(XEvent& ev);
  void Report(const platform::HostEvent& event);
  void SetSizeHints(XWindow w, const Rect& r, bool fixed);
  // A server timestamp (from a property change on the helper window).
  unsigned long ServerTime();
  // Takes the first event of a type on a window (for a property
  // notification: a new value of property) off the queue, waiting at most
  // ms for it; every other event stays queued.
  bool WaitForEvent(XEvent& out, XWindow window, int type, XAtom property, int ms);
  // The clipboard converted to target (UTF8_STRING or STRING); false when
  // the owner refuses it, offers only INCR or does not answer in time.
  bool ReadSelection(XAtom target, String& out);

  XConnection& x_;
  soft::SoftGraphics& graphics_;
  platform::HostEventSink* sink_ = nullptr;
  std::map<WindowHandle, Form> forms_;
  std::uint64_t made_ = 0;
  void* im_ = nullptr;  // XIM
  XWindow helper_ = 0;  // owns the clipboard
  WindowHandle capture_ = 0;
  unsigned long captureSerial_ = 0;
  Press lastPress_;
  bool detectableRepeat_ = false;
  bool ownClipboard_ = false;
  String clipboardText_;  // while we own the clipboard
};

}  // namespace pd::x11
