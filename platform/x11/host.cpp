// Forms as top-level X windows: their events reported to the sink, the
// pointer grab as the capture, and the CLIPBOARD selection.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <climits>
#include <cstdlib>

#include "platform/soft/SoftGraphics.h"
#include "platform/text.h"
#include "platform/x11/connection.h"
#include "platform/x11/host.h"
#include "platform/x11/input.h"
#include "platform/x11/loop.h"
#include "platform/x11/resources.h"

namespace pd::x11 {

namespace {

using platform::HostEvent;
using platform::HostEventKind;
using platform::WindowKind;

constexpr long kFormEvents = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                             KeyReleaseMask | FocusChangeMask | StructureNotifyMask | EnterWindowMask |
                             LeaveWindowMask;
constexpr unsigned kGrabEvents = ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask |
                                 LeaveWindowMask;

XIM Im(void* im) { return static_cast<XIM>(im); }
XIC Ic(void* ic) { return static_cast<XIC>(ic); }

int ShiftOf(unsigned int state) {
  return ((state & ShiftMask) != 0 ? platform::shift::kShift : 0) |
         ((state & ControlMask) != 0 ? platform::shift::kCtrl : 0) |
         ((state & Mod1Mask) != 0 ? platform::shift::kAlt : 0);
}

int HeldButtons(unsigned int state) {
  return ((state & Button1Mask) != 0 ? platform::button::kLeft : 0) |
         ((state & Button2Mask) != 0 ? platform::button::kMiddle : 0) |
         ((state & Button3Mask) != 0 ? platform::button::kRight : 0);
}

// Buttons 1-3; the wheel (4-7) and the side buttons are no mouse buttons
// here.
int ButtonOf(unsigned int xButton) {
  switch (xButton) {
    case Button1: return platform::button::kLeft;
    case Button2: return platform::button::kMiddle;
    case Button3: return platform::button::kRight;
    default: return 0;
  }
}

// The virtual-key code of a key event, from the keysyms of its key code in
// every group and level: with a Cyrillic layout active the key of 'A'
// still gives 'A'.
int KeyOf(XKeyEvent& e) {
  for (int index = 0; index < 4; ++index) {
    const KeySym sym = XLookupKeysym(&e, index);
    if (sym == NoSymbol) continue;
    if (const int v = VirtualKeyOfKeysym(sym); v != 0) return v;
  }
  return 0;
}

Rect Union(const Rect& a, const Rect& b) {
  if (a.Width() <= 0 || a.Height() <= 0) return b;
  return Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

// Text as Latin-1, '?' for every character outside it.
std::string ToLatin1(StringView s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char16_t c = s[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) ++i;
    out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
  }
  return out;
}

String FromLatin1(std::string_view bytes) {
  String out;
  out.reserve(bytes.size());
  for (char c : bytes) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return out;
}

// Typed text without control characters (Tab, Return, Backspace and the
// like reach the program as keys).
String Printable(String text) {
  std::erase_if(text, [](char16_t c) { return c < 0x20 || c == 0x7F; });
  return text;
}

// What WaitForEvent looks for: an event of a type on a window, and for a
// property notification a new value of one property.
struct EventWanted {
  Window window;
  int type;
  Atom property;
};

Bool IsWanted(Display* /*dpy*/, XEvent* ev, XPointer arg) {
  const auto* wanted = reinterpret_cast<const EventWanted*>(arg);
  if (ev->type != wanted->type || ev->xany.window != wanted->window) return False;
  if (ev->type == PropertyNotify) {
    return ev->xproperty.atom == wanted->property && ev->xproperty.state == PropertyNewValue ? True : False;
  }
  return True;
}

}  // namespace

X11Host::X11Host(XConnection& x, soft::SoftGraphics& graphics) : x_(x), graphics_(graphics) {
  Display* dpy = x_.Dpy();
  OpenInputMethod();
  // A held key repeats as presses only, without a release before each.
  Bool supported = False;
  detectableRepeat_ = XkbSetDetectableAutoRepeat(dpy, True, &supported) != 0 && supported != 0;
  XSetWindowAttributes attrs{};
  attrs.event_mask = PropertyChangeMask;
  helper_ = XCreateWindow(dpy, x_.Root(), -10, -10, 1, 1, 0, CopyFromParent, InputOnly, nullptr, CWEventMask, &attrs);
  x_.AddListener([this](XEvent& ev) { OnEvent(ev); });
}

X11Host::~X11Host() {
  Display* dpy = x_.Dpy();
  for (auto& [handle, form] : forms_) {
    if (form.ic != nullptr) XDestroyIC(Ic(form.ic));
    XDestroyWindow(dpy, static_cast<Window>(handle));
  }
  if (im_ != nullptr) XCloseIM(Im(im_));
  if (helper_ != 0) XDestroyWindow(dpy, helper_);
  XFlush(dpy);
}

void X11Host::OpenInputMethod() {
  // The input method converts typed keys with the character set of the
  // locale it opens in: a program still in the "C" locale borrows a UTF-8
  // one for the opening, so that Cyrillic arrives as such.
  const char* current = std::setlocale(LC_CTYPE, nullptr);
  const std::string saved = current != nullptr ? current : "C";
  const bool borrowed = (saved == "C" || saved == "POSIX") &&
                        (std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr || std::setlocale(LC_CTYPE, "") != nullptr);
  if (XSupportsLocale()) {
    XSetLocaleModifiers("");  // $XMODIFIERS chooses the method
    XIM im = XOpenIM(x_.Dpy(), nullptr, nullptr, nullptr);
    if (im == nullptr) {
      XSetLocaleModifiers("@im=none");  // the built-in one
      im = XOpenIM(x_.Dpy(), nullptr, nullptr, nullptr);
    }
    im_ = im;
  }
  if (borrowed) std::setlocale(LC_CTYPE, saved.c_str());
}

X11Host::Form* X11Host::Find(WindowHandle form) {
  auto it = forms_.find(form);
  return it == forms_.end() ? nullptr : &it->second;
}

WindowHandle X11Host::CreateForm(StringView caption, WindowKind kind, WindowHandle owner) {
  Display* dpy = x_.Dpy();
  const int screen = DefaultScreen(dpy);
  const bool popup = kind == WindowKind::Popup;
  XSetWindowAttributes attrs{};
  attrs.background_pixel = WhitePixel(dpy, screen);
  attrs.border_pixel = BlackPixel(dpy, screen);
  attrs.event_mask = kFormEvents;
  attrs.override_redirect = popup ? True : False;
  attrs.save_under = popup ? True : False;
  XConnection::ErrorTrap trap(x_);
  const Window w = XCreateWindow(dpy, x_.Root(), 0, 0, 100, 100, 0, CopyFromParent, InputOutput, nullptr,
                                 CWBackPixel | CWBorderPixel | CWEventMask | CWOverrideRedirect | CWSaveUnder,
                                 &attrs);
  if (w == 0 || trap.Failed()) return 0;
  const auto handle = static_cast<WindowHandle>(w);
  Form& form = forms_[handle];
  form.kind = kind;
  form.owner = Find(owner) != nullptr ? owner : 0;
  form.made = ++made_;

  XClassHint hint{};
  std::string name = "ProcessDrovak";
  hint.res_name = name.data();
  hint.res_class = name.data();
  XSetClassHint(dpy, w, &hint);
  SetCaption(handle, caption);

  const char* type = kind == WindowKind::Form     ? "_NET_WM_WINDOW_TYPE_NORMAL"
                     : kind == WindowKind::Dialog ? "_NET_WM_WINDOW_TYPE_DIALOG"
                                                  : "_NET_WM_WINDOW_TYPE_POPUP_MENU";
  const long typeAtom[] = {static_cast<long>(x_.GetAtom(type))};
  XChangeProperty(dpy, w, x_.GetAtom("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(typeAtom), 1);
  if (!popup) {
    // The frame offers what a fixed-size window can do: move and close, and
    // minimise for a form (Motif hints, read by every window manager).
    constexpr long kFunctions = 1, kDecorations = 2;                      // flags
    constexpr long kMove = 4, kMinimizeFunc = 8, kClose = 32;             // functions
    constexpr long kBorder = 2, kTitle = 8, kMenu = 16, kMinimizeBox = 32;  // decorations
    const bool framedForm = kind == WindowKind::Form;
    const long motif[] = {kFunctions | kDecorations, kMove | kClose | (framedForm ? kMinimizeFunc : 0),
                          kBorder | kTitle | kMenu | (framedForm ? kMinimizeBox : 0), 0, 0};
    XChangeProperty(dpy, w, x_.GetAtom("_MOTIF_WM_HINTS"), x_.GetAtom("_MOTIF_WM_HINTS"), 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(motif), 5);
  }
  // Out of the task list; a dialog over its owner is modal (the window
  // manager keeps it above the owner and gives it the focus the owner is
  // offered). Set before the window is first mapped.
  const long state[] = {static_cast<long>(x_.GetAtom("_NET_WM_STATE_SKIP_TASKBAR")),
                        static_cast<long>(x_.GetAtom("_NET_WM_STATE_MODAL"))};
  const int states = kind == WindowKind::Dialog && form.owner != 0 ? 2 : 1;
  XChangeProperty(dpy, w, x_.GetAtom("_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(state), states);
  const long pid[] = {static_cast<long>(getpid())};
  XChangeProperty(dpy, w, x_.GetAtom("_NET_WM_PID"), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(pid), 1);
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) == 0) {
    const auto length = static_cast<int>(std::char_traits<char>::length(host));
    XChangeProperty(dpy, w, XA_WM_CLIENT_MACHINE, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(host), length);
  }
  XWMHints wmHints{};
  wmHints.flags = InputHint | StateHint;
  wmHints.input = popup ? False : True;  // a menu leaves the focus with its owner
  wmHints.initial_state = NormalState;
  XSetWMHints(dpy, w, &wmHints);
  if (kind != WindowKind::Form && Find(owner) != nullptr) XSetTransientForHint(dpy, w, static_cast<Window>(owner));
  if (!popup) {
    // The close button asks rather than cutting the connection.
    Atom protocols[] = {x_.GetAtom("WM_DELETE_WINDOW")};
    XSetWMProtocols(dpy, w, protocols, 1);
    if (im_ != nullptr) {
      XIC ic = XCreateIC(Im(im_), XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow, w,
                         XNFocusWindow, w, nullptr);
      if (ic != nullptr) {
        form.ic = ic;
        long filter = 0;
        if (XGetICValues(ic, XNFilterEvents, &filter, nullptr) == nullptr && filter != 0) {
          XSelectInput(dpy, w, kFormEvents | filter);
        }
      }
    }
  }
  SetProgramIcon(x_, w);
  XFlush(dpy);
  return handle;
}

void X11Host::DestroyForm(WindowHandle form) {
  auto it = forms_.find(form);
  if (it == forms_.end()) return;
  if (it->second.ic != nullptr) XDestroyIC(Ic(it->second.ic));
  forms_.erase(it);
  if (capture_ == form) capture_ = 0;  // the grab ends with the window
  if (lastPress_.window == static_cast<XWindow>(form)) lastPress_ = Press{};
  XDestroyWindow(x_.Dpy(), static_cast<Window>(form));
  XFlush(x_.Dpy());
}

void X11Host::SetCaption(WindowHandle form, StringView caption) {
  if (Find(form) == nullptr) return;
  const std::string title = text::ToUtf8(caption);
  const Atom utf8 = x_.GetAtom("UTF8_STRING");
  const auto* bytes = reinterpret_cast<const unsigned char*>(title.data());
  const int length = static_cast<int>(title.size());
  XChangeProperty(x_.Dpy(), static_cast<Window>(form), x_.GetAtom("_NET_WM_NAME"), utf8, 8, PropModeReplace, bytes,
                  length);
  XChangeProperty(x_.Dpy(), static_cast<Window>(form), XA_WM_NAME, utf8, 8, PropModeReplace, bytes, length);
  XFlush(x_.Dpy());
}

void X11Host::SetSizeHints(XWindow w, const Rect& r, bool fixed) {
  XSizeHints* hints = XAllocSizeHints();
  if (hints == nullptr) return;
  // Our position and size, for the client area itself (static gravity:
  // the window manager puts its frame around it).
  hints->flags = USPosition | USSize | PPosition | PSize | PWinGravity;
  hints->x = r.left;
  hints->y = r.top;
  hints->width = r.Width();
  hints->height = r.Height();
  hints->win_gravity = StaticGravity;
  if (fixed) {
    hints->flags |= PMinSize | PMaxSize;
    hints->min_width = hints->max_width = r.Width();
    hints->min_height = hints->max_height = r.Height();
  }
  XSetWMNormalHints(x_.Dpy(), w, hints);
  XFree(hints);
}

void X11Host::SetBounds(WindowHandle form, const Rect& r) {
  Form* f = Find(form);
  if (f == nullptr || r.Width() <= 0 || r.Height() <= 0) return;
  const auto w = static_cast<Window>(form);
  if (f->kind != WindowKind::Popup) SetSizeHints(w, r, true);
  XMoveResizeWindow(x_.Dpy(), w, r.left, r.top, static_cast<unsigned>(r.Width()), static_cast<unsigned>(r.Height()));
  XFlush(x_.Dpy());
}

Rect X11Host::Bounds(WindowHandle form) {
  if (Find(form) == nullptr) return Rect{};
  Window root = 0;
  int gx = 0;
  int gy = 0;
  unsigned width = 0;
  unsigned height = 0;
  unsigned border = 0;
  unsigned depth = 0;
  if (XGetGeometry(x_.Dpy(), static_cast<Window>(form), &root, &gx, &gy, &width, &height, &border, &depth) == 0) {
    return Rect{};
  }
  int x = 0;
  int y = 0;
  Window child = 0;
  XTranslateCoordinates(x_.Dpy(), static_cast<Window>(form), x_.Root(), 0, 0, &x, &y, &child);
  return Rect{x, y, x + static_cast<int>(width), y + static_cast<int>(height)};
}

void X11Host::ShowForm(WindowHandle form, bool visible) {
  Form* f = Find(form);
  if (f == nullptr) return;
  Display* dpy = x_.Dpy();
  f->visible = visible;
  f->showSerial = NextRequest(dpy);
  if (visible) {
    XMapRaised(dpy, static_cast<Window>(form));
  } else {
    if (capture_ == form) ReleaseCapture();  // hidden by us: the capture simply ends
    XWithdrawWindow(dpy, static_cast<Window>(form), DefaultScreen(dpy));
  }
  XFlush(dpy);
}

void X11Host::EnableInput(WindowHandle form, bool enabled) {
  if (Form* f = Find(form)) f->enabled = enabled;
}

std::vector<WindowHandle> X11Host::HoldInput() {
  std::vector<WindowHandle> held;
  for (auto& [handle, f] : forms_) {
    if (!f.enabled) continue;
    f.enabled = false;
    held.push_back(handle);
  }
  return held;
}

void X11Host::ReleaseInput(const std::vector<WindowHandle>& held) {
  for (WindowHandle w : held) EnableInput(w, true);
}

WindowHandle X11Host::ModalOf(WindowHandle form) {
  WindowHandle found = 0;
  std::uint64_t newest = 0;
  for (const auto& [handle, f] : forms_) {
    if (!f.visible || !f.enabled || f.made <= newest) continue;
    for (WindowHandle up = f.owner; up != 0; up = Find(up) != nullptr ? Find(up)->owner : 0) {
      if (up == form) {
        found = handle;
        newest = f.made;
        break;
      }
    }
  }
  return found;
}

bool X11Host::Refuse(XEvent& ev, WindowHandle window) {
  Display* dpy = x_.Dpy();
  switch (ev.type) {
    case KeyPress:
    case KeyRelease:
      // The focus stayed here (the window manager gave it back after a
      // click): the keys belong to the modal window.
      if (const WindowHandle modal = ModalOf(window)) OnKey(ev, modal);
      return true;
    case ButtonPress:
      if (ButtonOf(ev.xbutton.button) == 0) return true;  // the wheel
      if (const WindowHandle modal = ModalOf(window)) {
        XConnection::ErrorTrap trap(x_);  // it may not be viewable yet
        XRaiseWindow(dpy, static_cast<Window>(modal));
        if (Find(modal)->kind != WindowKind::Popup) {
          XSetInputFocus(dpy, static_cast<Window>(modal), RevertToParent, CurrentTime);
        }
        XSync(dpy, False);
      } else {
        XBell(dpy, 0);
        XFlush(dpy);
      }
      return true;
    case ButtonRelease:
    case MotionNotify:
      return true;
    case ClientMessage:
      return ev.xclient.format == 32 && ev.xclient.message_type == x_.GetAtom("WM_PROTOCOLS") &&
             static_cast<Atom>(ev.xclient.data.l[0]) == x_.GetAtom("WM_DELETE_WINDOW");
    default:
      return false;
  }
}

bool X11Host::IsVisible(WindowHandle form) {
  const Form* f = Find(form);
  return f != nullptr && f->visible;
}

void X11Host::SetCapture(WindowHandle form) {
  if (Find(form) == nullptr || capture_ == form) return;
  Display* dpy = x_.Dpy();
  captureSerial_ = NextRequest(dpy);
  // Without owner events: every pointer event goes to the holder, in its
  // coordinates, wherever the pointer is.
  const int status = XGrabPointer(dpy, static_cast<Window>(form), False, kGrabEvents, GrabModeAsync, GrabModeAsync,
                                  0, 0, CurrentTime);
  capture_ = status == GrabSuccess ? form : 0;
}

void X11Host::ReleaseCapture() {
  if (capture_ == 0) return;
  capture_ = 0;
  XUngrabPointer(x_.Dpy(), CurrentTime);
  XFlush(x_.Dpy());
}

Rect X11Host::ScreenRect() {
  const int screen = DefaultScreen(x_.Dpy());
  return Rect{0, 0, DisplayWidth(x_.Dpy(), screen), DisplayHeight(x_.Dpy(), screen)};
}

Rect X11Host::WorkArea() {
  const Rect screen = ScreenRect();
  std::vector<unsigned long> area;
  x_.ReadLongs(x_.Root(), x_.GetAtom("_NET_WORKAREA"), XA_CARDINAL, area);
  if (area.size() < 4) return screen;
  const auto left = static_cast<int>(area[0]);
  const auto top = static_cast<int>(area[1]);
  const Rect r{std::max(left, screen.left), std::max(top, screen.top),
               std::min(left + static_cast<int>(area[2]), screen.right),
               std::min(top + static_cast<int>(area[3]), screen.bottom)};
  return r.Width() > 0 && r.Height() > 0 ? r : screen;
}

// ---- Events ----

void X11Host::Report(const HostEvent& event) {
  if (sink_ != nullptr && Find(event.window) != nullptr) sink_->OnHostEvent(event);
}

void X11Host::OnEvent(XEvent& ev) {
  // The input method sees every event first and may keep some (a compose
  // sequence in progress).
  if (im_ != nullptr && XFilterEvent(&ev, 0) != 0) return;
  if (ev.xany.window == helper_ && helper_ != 0) {
    if (ev.type == SelectionRequest) OnSelectionRequest(ev);
    if (ev.type == SelectionClear && ev.xselectionclear.selection == x_.GetAtom("CLIPBOARD")) {
      ownClipboard_ = false;
      clipboardText_.clear();
    }
    return;
  }
  const auto window = static_cast<WindowHandle>(ev.xany.window);
  Form* f = Find(window);
  if (f == nullptr) return;
  if (!f->enabled && Refuse(ev, window)) return;
  switch (ev.type) {
    case KeyPress:
    case KeyRelease:
      OnKey(ev, window);
      break;
    case ButtonPress:
    case ButtonRelease:
      OnButton(ev);
      break;
    case MotionNotify: {
      // Only the latest of the moves already queued counts.
      Display* dpy = x_.Dpy();
      XEvent next;
      while (XEventsQueued(dpy, QueuedAlready) > 0 && XPeekEvent(dpy, &next) != 0 && next.type == MotionNotify &&
             next.xmotion.window == ev.xmotion.window && next.xmotion.state == ev.xmotion.state) {
        XNextEvent(dpy, &ev);
      }
      Report(HostEvent{.kind = HostEventKind::kMouseMove, .window = window,
                       .pos = {ev.xmotion.x, ev.xmotion.y}, .button = HeldButtons(ev.xmotion.state),
                       .shift = ShiftOf(ev.xmotion.state)});
      break;
    }
    case EnterNotify:
    case LeaveNotify:
      // Our grab ended, and not by ReleaseCapture.
      if (ev.xcrossing.mode == NotifyUngrab && capture_ != 0 && ev.xcrossing.serial >= captureSerial_) {
        const WindowHandle holder = capture_;
        capture_ = 0;
        Report(HostEvent{.kind = HostEventKind::kCaptureLost, .window = holder});
      }
      break;
    case FocusIn:
    case FocusOut: {
      // Focus moved by a keyboard grab (a window manager's key binding) or
      // through the pointer is no change of the focused window.
      if (ev.xfocus.mode == NotifyGrab || ev.xfocus.mode == NotifyUngrab || ev.xfocus.detail == NotifyPointer) break;
      const bool in = ev.type == FocusIn;
      if (f->ic != nullptr) {
        if (in) {
          XSetICFocus(Ic(f->ic));
        } else {
          XUnsetICFocus(Ic(f->ic));
        }
      }
      Report(HostEvent{.kind = in ? HostEventKind::kFocusIn : HostEventKind::kFocusOut, .window = window});
      break;
    }
    case Expose: {
      const XExposeEvent& e = ev.xexpose;
      f->exposed = Union(f->exposed, Rect{e.x, e.y, e.x + e.width, e.y + e.height});
      if (e.count != 0) break;  // more of the same series follow
      const Rect area = f->exposed;
      f->exposed = Rect{};
      Report(HostEvent{.kind = HostEventKind::kExpose, .window = window, .area = area});
      break;
    }
    case MapNotify:
    case UnmapNotify: {
      const bool mapped = ev.type == MapNotify;
      // A change newer than our latest request is the window manager's.
      if (ev.xany.serial >= f->showSerial) f->visible = mapped;
      const bool lost = !mapped && capture_ == window;
      if (lost) capture_ = 0;  // the server ended the grab
      Report(HostEvent{.kind = mapped ? HostEventKind::kShown : HostEventKind::kHidden, .window = window});
      if (lost) Report(HostEvent{.kind = HostEventKind::kCaptureLost, .window = window});
      break;
    }
    case ConfigureNotify: {
      const XConfigureEvent& e = ev.xconfigure;
      if (e.window != ev.xany.window || (e.width == f->width && e.height == f->height)) break;
      f->width = e.width;
      f->height = e.height;
      int x = 0;
      int y = 0;
      Window child = 0;
      if (e.send_event != 0) {  // the window manager's word, in root coordinates
        x = e.x;
        y = e.y;
      } else {
        XTranslateCoordinates(x_.Dpy(), e.window, x_.Root(), 0, 0, &x, &y, &child);
      }
      Report(HostEvent{.kind = HostEventKind::kResized, .window = window,
                       .area = Rect{x, y, x + e.width, y + e.height}});
      break;
    }
    case ClientMessage:
      // The close button asks; the control host decides.
      if (ev.xclient.format == 32 && ev.xclient.message_type == x_.GetAtom("WM_PROTOCOLS") &&
          static_cast<Atom>(ev.xclient.data.l[0]) == x_.GetAtom("WM_DELETE_WINDOW")) {
        Report(HostEvent{.kind = HostEventKind::kCloseRequest, .window = window, .unloadMode = platform::unload::kUser});
      }
      break;
    default:
      break;
  }
}

void X11Host::OnButton(XEvent& ev) {
  const XButtonEvent& e = ev.xbutton;
  const auto window = static_cast<WindowHandle>(e.window);
  const Point pos{e.x, e.y};
  const int shift = ShiftOf(e.state);
  // The wheel: each notch a press (and release) of button 4 (up) or 5 (down).
  if ((e.button == Button4 || e.button == Button5) && ev.type == ButtonPress) {
    Report(HostEvent{.kind = HostEventKind::kMouseWheel, .window = window, .pos = pos, .shift = shift,
                     .wheel = e.button == Button4 ? 120 : -120});
    return;
  }
  const int button = ButtonOf(e.button);
  if (button == 0) return;
  if (ev.type == ButtonRelease) {
    Report(HostEvent{.kind = HostEventKind::kMouseUp, .window = window, .pos = pos, .button = button, .shift = shift});
    return;
  }
  // X has no double click: a second press of the same button, soon and
  // near the first, makes one. A third press starts again.
  const bool twice = lastPress_.window == e.window && lastPress_.button == button &&
                     e.time - lastPress_.time <= kDoubleClickMs && std::abs(e.x - lastPress_.pos.x) <= kDoubleClickPx &&
                     std::abs(e.y - lastPress_.pos.y) <= kDoubleClickPx;
  lastPress_ = twice ? Press{} : Press{e.window, button, e.time, pos};
  Report(HostEvent{.kind = HostEventKind::kMouseDown, .window = window, .pos = pos, .button = button, .shift = shift});
  if (twice) {
    Report(HostEvent{.kind = HostEventKind::kDoubleClick, .window = window, .pos = pos, .button = button,
                     .shift = shift});
  }
}

void X11Host::OnKey(XEvent& ev, WindowHandle reportAs) {
  XKeyEvent& e = ev.xkey;
  const WindowHandle window = reportAs;
  const int key = KeyOf(e);
  const int shift = ShiftOf(e.state);
  if (ev.type == KeyRelease) {
    if (!detectableRepeat_ && XEventsQueued(x_.Dpy(), QueuedAfterReading) > 0) {
      // Auto-repeat without detectable repeat: a release and a press of
      // the same key at the same time. The press reports the repeat.
      XEvent next;
      XPeekEvent(x_.Dpy(), &next);
      if (next.type == KeyPress && next.xkey.window == e.window && next.xkey.keycode == e.keycode &&
          next.xkey.time == e.time) {
        return;
      }
    }
    if (key != 0) Report(HostEvent{.kind = HostEventKind::kKeyUp, .window = window, .shift = shift, .key = key});
    return;
  }
  if (key != 0) Report(HostEvent{.kind = HostEventKind::kKeyDown, .window = window, .shift = shift, .key = key});
  // Ctrl and Alt chords are commands, not text.
  if ((e.state & (ControlMask | Mod1Mask)) != 0) return;
  const Form* f = Find(static_cast<WindowHandle>(e.window));  // the sink may have destroyed it
  if (f == nullptr) return;
  String typed;
  KeySym sym = 0;
  if (f->ic != nullptr) {
    std::string buffer(64, '\0');
    Status status = 0;
    int n = Xutf8LookupString(Ic(f->ic), &e, buffer.data(), static_cast<int>(buffer.size()), &sym, &status);
    if (status == XBufferOverflow) {
      buffer.assign(static_cast<std::size_t>(n) + 1, '\0');
      n = Xutf8LookupString(Ic(f->ic), &e, buffer.data(), static_cast<int>(buffer.size()), &sym, &status);
    }
    if ((status == XLookupChars || status == XLookupBoth) && n > 0) {
      typed = text::FromUtf8(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
    }
  } else {
    char buffer[32] = {};
    const int n = XLookupString(&e, buffer, sizeof buffer, &sym, nullptr);
    if (n > 0) typed = FromLatin1(std::string_view(buffer, static_cast<std::size_t>(n)));
  }
  typed = Printable(std::move(typed));
  if (!typed.empty()) Report(HostEvent{.kind = HostEventKind::kText, .window = window, .text = std::move(typed)});
}

// ---- Clipboard ----

bool X11Host::WaitForEvent(XEvent& out, XWindow window, int type, XAtom property, int ms) {
  Display* dpy = x_.Dpy();
  EventWanted wanted{window, type, property};
  const std::int64_t deadline = MonotonicMs() + ms;
  for (;;) {
    // Takes only the wanted event off the queue; every other one stays
    // there, in order, for the loop.
    XEventsQueued(dpy, QueuedAfterFlush);
    if (XCheckIfEvent(dpy, &out, IsWanted, reinterpret_cast<XPointer>(&wanted)) != 0) return true;
    const std::int64_t left = deadline - MonotonicMs();
    if (left <= 0) return false;
    pollfd pfd{ConnectionNumber(dpy), POLLIN, 0};
    poll(&pfd, 1, static_cast<int>(left));
  }
}

unsigned long X11Host::ServerTime() {
  // A property change tells the server's time.
  const Atom property = x_.GetAtom("_PD_TIMESTAMP");
  XChangeProperty(x_.Dpy(), helper_, property, XA_STRING, 8, PropModeAppend, nullptr, 0);
  XEvent ev;
  return WaitForEvent(ev, helper_, PropertyNotify, property, kClipboardWaitMs) ? ev.xproperty.time : CurrentTime;
}

void X11Host::SetClipboardText(StringView text) {
  if (helper_ == 0) return;
  clipboardText_ = String(text);
  const Atom clipboard = x_.GetAtom("CLIPBOARD");
  XSetSelectionOwner(x_.Dpy(), clipboard, helper_, ServerTime());
  ownClipboard_ = XGetSelectionOwner(x_.Dpy(), clipboard) == helper_;
  if (!ownClipboard_) clipboardText_.clear();
}

bool X11Host::ReadSelection(XAtom target, String& out) {
  Display* dpy = x_.Dpy();
  const Atom clipboard = x_.GetAtom("CLIPBOARD");
  const Atom property = x_.GetAtom("_PD_SELECTION");
  XDeleteProperty(dpy, helper_, property);
  XConvertSelection(dpy, clipboard, target, property, helper_, CurrentTime);
  XEvent ev;
  if (!WaitForEvent(ev, helper_, SelectionNotify, 0, kClipboardWaitMs)) return false;
  if (ev.xselection.property == 0) return false;  // refused
  Atom type = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(dpy, helper_, property, 0, LONG_MAX / 4, True, AnyPropertyType, &type, &format, &count,
                         &after, &data) != Success) {
    return false;
  }
  const std::string_view bytes(reinterpret_cast<const char*>(data), data != nullptr && format == 8 ? count : 0);
  bool ok = true;
  if (type == x_.GetAtom("UTF8_STRING")) {
    out = text::FromUtf8(bytes);
  } else if (type == XA_STRING) {
    out = FromLatin1(bytes);
  } else {
    ok = false;  // INCR (a large transfer in parts) and other types are refused
  }
  if (data != nullptr) XFree(data);
  return ok;
}

String X11Host::ClipboardText() {
  if (helper_ == 0) return {};
  const XWindow owner = XGetSelectionOwner(x_.Dpy(), x_.GetAtom("CLIPBOARD"));
  if (owner == 0) return {};
  if (owner == helper_) return ownClipboard_ ? clipboardText_ : String();
  String text;
  if (ReadSelection(x_.GetAtom("UTF8_STRING"), text) || ReadSelection(XA_STRING, text)) return text;
  return {};
}

void X11Host::OnSelectionRequest(XEvent& ev) {
  const XSelectionRequestEvent& req = ev.xselectionrequest;
  Display* dpy = x_.Dpy();
  XEvent reply{};
  reply.xselection.type = SelectionNotify;
  reply.xselection.requestor = req.requestor;
  reply.xselection.selection = req.selection;
  reply.xselection.target = req.target;
  reply.xselection.time = req.time;
  reply.xselection.property = 0;
  // Old clients name no property: the target's name serves.
  const Atom property = req.property != 0 ? req.property : req.target;
  const Atom utf8 = x_.GetAtom("UTF8_STRING");
  const Atom targets = x_.GetAtom("TARGETS");
  const Atom textAtom = x_.GetAtom("TEXT");
  if (req.selection == x_.GetAtom("CLIPBOARD") && ownClipboard_) {
    // Larger answers would need INCR, which is not offered.
    const long limit = std::max(XExtendedMaxRequestSize(dpy), XMaxRequestSize(dpy)) * 4 - 256;
    if (req.target == targets) {
      const long list[] = {static_cast<long>(targets), static_cast<long>(utf8), static_cast<long>(XA_STRING),
                           static_cast<long>(textAtom)};
      XChangeProperty(dpy, req.requestor, property, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(list), 4);
      reply.xselection.property = property;
    } else if (req.target == utf8 || req.target == textAtom || req.target == XA_STRING) {
      const bool latin1 = req.target == XA_STRING;
      const std::string bytes = latin1 ? ToLatin1(clipboardText_) : text::ToUtf8(clipboardText_);
      if (static_cast<long>(bytes.size()) <= limit) {
        XChangeProperty(dpy, req.requestor, property, latin1 ? XA_STRING : utf8, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
        reply.xselection.property = property;
      }
    }
  }
  XSendEvent(dpy, req.requestor, False, NoEventMask, &reply);
  XFlush(dpy);
}

// ---- Presenting a frame ----

namespace {

// An 8-bit channel value placed and scaled into a visual's mask.
unsigned long Channel(unsigned long mask, std::uint32_t value) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1) == 0) ++shift;
  const unsigned long top = mask >> shift;
  return (((value & 0xFF) * top + 127) / 255) << shift;
}

// Puts part of a frame (0x00RRGGBB, the layout of the 24-bit TrueColor
// visual) on a window at the same place; other visuals get each pixel of
// the part through the visual's masks.
void PutFrame(Display* dpy, Window window, const soft::SoftSurface& frame, const Rect& part) {
  const int screen = DefaultScreen(dpy);
  Visual* visual = DefaultVisual(dpy, screen);
  const int depth = DefaultDepth(dpy, screen);
  const int width = frame.Width();
  const int height = frame.Height();
  const Rect r{std::max(part.left, 0), std::max(part.top, 0), std::min(part.right, width),
               std::min(part.bottom, height)};
  if (r.Width() <= 0 || r.Height() <= 0) return;
  const bool direct = (depth == 24 || depth == 32) && visual->red_mask == 0xFF0000 &&
                      visual->green_mask == 0x00FF00 && visual->blue_mask == 0x0000FF;
  XImage* image = nullptr;
  std::vector<std::uint32_t> converted;
  int srcX = r.left;
  int srcY = r.top;
  if (direct) {
    // The frame's own rows, lent to the image for the one request; only
    // the part travels to the server.
    image = XCreateImage(dpy, visual, static_cast<unsigned>(depth), ZPixmap, 0,
                         const_cast<char*>(reinterpret_cast<const char*>(frame.Row(0))),  // NOLINT: read only
                         static_cast<unsigned>(width), static_cast<unsigned>(height), 32, width * 4);
  } else {
    image = XCreateImage(dpy, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                         static_cast<unsigned>(r.Width()), static_cast<unsigned>(r.Height()), 32, 0);
    if (image != nullptr) {
      converted.resize(static_cast<std::size_t>(image->bytes_per_line) * static_cast<std::size_t>(r.Height()) / 4 +
                       1);
      image->data = reinterpret_cast<char*>(converted.data());
      for (int y = r.top; y < r.bottom; ++y) {
        const std::uint32_t* row = frame.Row(y);
        for (int x = r.left; x < r.right; ++x) {
          const std::uint32_t rgb = row[x];
          XPutPixel(image, x - r.left, y - r.top,
                    Channel(visual->red_mask, rgb >> 16) | Channel(visual->green_mask, rgb >> 8) |
                        Channel(visual->blue_mask, rgb));
        }
      }
      srcX = 0;
      srcY = 0;
    }
  }
  if (image == nullptr) return;
  XPutImage(dpy, window, DefaultGC(dpy, screen), image, srcX, srcY, r.left, r.top, static_cast<unsigned>(r.Width()),
            static_cast<unsigned>(r.Height()));
  image->data = nullptr;  // not Xlib's to free
  XDestroyImage(image);
  XFlush(dpy);
}

}  // namespace

std::unique_ptr<platform::Surface> X11Host::CreateFormSurface(WindowHandle form, int width, int height) {
  if (Find(form) == nullptr || width <= 0 || height <= 0) return nullptr;
  Display* dpy = x_.Dpy();
  const auto window = static_cast<Window>(form);
  return graphics_.CreateWindowSurface(width, height,
                                       [dpy, window](const soft::SoftSurface& frame, const Rect& part) {
    PutFrame(dpy, window, frame, part);
  });
}

}  // namespace pd::x11
