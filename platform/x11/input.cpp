// Keys and mouse buttons from XInput 2.2 raw events, the foreground window
// from _NET_ACTIVE_WINDOW, and the pointer.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <initializer_list>
#include <map>

#include "platform/x11/connection.h"
#include "platform/x11/input.h"
#include "platform/x11/loop.h"

namespace pd::x11 {

namespace {

namespace vk = platform::vk;

// The pointer on the root window: its position and the button mask.
struct PointerState {
  int x = 0;
  int y = 0;
  unsigned int mask = 0;
};

bool QueryPointer(Display* dpy, Window root, PointerState& out) {
  Window rootReturn = 0;
  Window child = 0;
  int wx = 0;
  int wy = 0;
  return XQueryPointer(dpy, root, &rootReturn, &child, &out.x, &out.y, &wx, &wy, &out.mask) != 0;
}

// The virtual-key code a mouse button stands for; 0 for wheel and others.
int ButtonVk(int button) {
  switch (button) {
    case 1: return vk::kLButton;
    case 2: return vk::kMButton;
    case 3: return vk::kRButton;
    case 8: return 0x05;  // VK_XBUTTON1
    case 9: return 0x06;  // VK_XBUTTON2
    default: return 0;
  }
}

// The X button of a mouse virtual-key code; 0 for keys.
int VkButton(int virtualKey) {
  switch (virtualKey) {
    case vk::kLButton: return 1;
    case vk::kMButton: return 2;
    case vk::kRButton: return 3;
    case 0x05: return 8;
    case 0x06: return 9;
    default: return 0;
  }
}

Bool IsXiEvent(Display* /*dpy*/, XEvent* ev, XPointer opcode) {
  return ev->type == GenericEvent && ev->xcookie.extension == *reinterpret_cast<const int*>(opcode) ? True : False;
}

// Every keysym a virtual-key code stands for, in the order of the codes:
// a keysym's first code is the one a key event reports (Shift_L gives the
// generic kShift before kLShift).
template <typename Map>
void ForEachBinding(Map map) {
  map(vk::kBack, {XK_BackSpace});
  map(vk::kTab, {XK_Tab});
  map(vk::kReturn, {XK_Return, XK_KP_Enter});
  map(vk::kShift, {XK_Shift_L, XK_Shift_R});
  map(vk::kControl, {XK_Control_L, XK_Control_R});
  map(vk::kMenu, {XK_Alt_L, XK_Alt_R, XK_Meta_L, XK_Meta_R});
  map(0x13, {XK_Pause});
  map(0x14, {XK_Caps_Lock});
  map(vk::kEscape, {XK_Escape});
  map(vk::kSpace, {XK_space});
  map(vk::kPrior, {XK_Prior});
  map(vk::kNext, {XK_Next});
  map(vk::kEnd, {XK_End});
  map(vk::kHome, {XK_Home});
  map(vk::kLeft, {XK_Left});
  map(vk::kUp, {XK_Up});
  map(vk::kRight, {XK_Right});
  map(vk::kDown, {XK_Down});
  map(0x2C, {XK_Print});
  map(vk::kInsert, {XK_Insert});
  map(vk::kDelete, {XK_Delete});
  for (int i = 0; i < 10; ++i) map('0' + i, {static_cast<KeySym>(XK_0 + i)});
  for (int i = 0; i < 26; ++i) map('A' + i, {static_cast<KeySym>(XK_a + i)});
  map(vk::kLWin, {XK_Super_L});
  map(vk::kRWin, {XK_Super_R});
  map(0x5D, {XK_Menu});
  for (int i = 0; i < 10; ++i) map(0x60 + i, {static_cast<KeySym>(XK_KP_0 + i)});
  map(0x6A, {XK_KP_Multiply});
  map(0x6B, {XK_KP_Add});
  map(0x6D, {XK_KP_Subtract});
  map(0x6E, {XK_KP_Decimal});
  map(0x6F, {XK_KP_Divide});
  for (int i = 0; i < 24; ++i) map(vk::kF1 + i, {static_cast<KeySym>(XK_F1 + i)});
  map(0x90, {XK_Num_Lock});
  map(0x91, {XK_Scroll_Lock});
  map(vk::kLShift, {XK_Shift_L});
  map(vk::kRShift, {XK_Shift_R});
  map(vk::kLControl, {XK_Control_L});
  map(vk::kRControl, {XK_Control_R});
  map(vk::kLMenu, {XK_Alt_L, XK_Meta_L});
  map(vk::kRMenu, {XK_Alt_R, XK_Meta_R});
  map(0xBA, {XK_semicolon});
  map(0xBB, {XK_equal});
  map(0xBC, {XK_comma});
  map(0xBD, {XK_minus});
  map(0xBE, {XK_period});
  map(0xBF, {XK_slash});
  map(0xC0, {XK_grave});
  map(0xDB, {XK_bracketleft});
  map(0xDC, {XK_backslash});
  map(0xDD, {XK_bracketright});
  map(0xDE, {XK_apostrophe});
}

}  // namespace

X11Input::X11Input(XConnection& x) : x_(x) {
  Display* dpy = x_.Dpy();
  int opcode = 0;
  int event = 0;
  int error = 0;
  if (XQueryExtension(dpy, "XInputExtension", &opcode, &event, &error)) {
    // 2.2 or later: with 2.0 the server never sends RawButtonRelease.
    int major = 2;
    int minor = 2;
    if (XIQueryVersion(dpy, &major, &minor) == Success && (major > 2 || (major == 2 && minor >= 2))) {
      unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
      XISetMask(bits, XI_RawKeyPress);
      XISetMask(bits, XI_RawKeyRelease);
      XISetMask(bits, XI_RawButtonPress);
      XISetMask(bits, XI_RawButtonRelease);
      XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
      XConnection::ErrorTrap trap(x_);
      XISelectEvents(dpy, x_.Root(), &mask, 1);
      if (!trap.Failed()) xiOpcode_ = opcode;
    }
  }
  BuildKeyMap();
  x_.AddListener([this](XEvent& ev) { OnEvent(ev); });
  Resync();
}

void X11Input::BuildKeyMap() {
  maskCode_ = -1;
  for (auto& codes : keycodes_) codes.clear();
  for (auto& vks : vksOfCode_) vks.clear();
  Display* dpy = x_.Dpy();
  ForEachBinding([&](int virtualKey, std::initializer_list<KeySym> syms) {
    for (KeySym sym : syms) {
      const KeyCode code = XKeysymToKeycode(dpy, sym);
      if (code == 0) continue;
      auto& codes = keycodes_[static_cast<std::size_t>(virtualKey)];
      if (std::find(codes.begin(), codes.end(), code) != codes.end()) continue;
      codes.push_back(code);
      vksOfCode_[code].push_back(virtualKey);
    }
  });
}

int VirtualKeyOfKeysym(unsigned long keysym) {
  static const std::map<KeySym, int> table = [] {
    std::map<KeySym, int> t;
    ForEachBinding([&](int virtualKey, std::initializer_list<KeySym> syms) {
      for (KeySym sym : syms) t.emplace(sym, virtualKey);
    });
    return t;
  }();
  if (keysym >= XK_A && keysym <= XK_Z) keysym += XK_a - XK_A;
  auto it = table.find(keysym);
  return it == table.end() ? 0 : it->second;
}

std::vector<int> X11Input::KeyCodesOf(int virtualKey) const {
  if (virtualKey < 0 || virtualKey > 255) return {};
  return keycodes_[static_cast<std::size_t>(virtualKey)];
}

void X11Input::Press(int vkFromButton, int keycode) {
  if (vkFromButton != 0) latch_[static_cast<std::size_t>(vkFromButton)] = true;
  if (keycode > 0 && keycode < 256) {
    for (int v : vksOfCode_[static_cast<std::size_t>(keycode)]) latch_[static_cast<std::size_t>(v)] = true;
  }
}

void X11Input::OnEvent(XEvent& ev) {
  if (ev.type == MappingNotify) {
    ++keyMark_;
    XRefreshKeyboardMapping(&ev.xmapping);
    if (ev.xmapping.request != MappingPointer) BuildKeyMap();
    return;
  }
  if (ev.type != GenericEvent || ev.xcookie.extension != xiOpcode_ || ev.xcookie.data == nullptr) return;
  const auto* raw = static_cast<const XIRawEvent*>(ev.xcookie.data);
  const int detail = raw->detail;
  switch (ev.xcookie.evtype) {
    case XI_RawKeyPress:
      if (detail > 0 && detail < 256) {
        codeDown_[static_cast<std::size_t>(detail)] = true;
        Press(0, detail);
      }
      break;
    case XI_RawKeyRelease:
      if (detail > 0 && detail < 256) codeDown_[static_cast<std::size_t>(detail)] = false;
      break;
    case XI_RawButtonPress:
      if (detail > 0 && detail < static_cast<int>(buttonDown_.size())) {
        buttonDown_[static_cast<std::size_t>(detail)] = true;
        Press(ButtonVk(detail), 0);
      }
      break;
    case XI_RawButtonRelease:
      if (detail > 0 && detail < static_cast<int>(buttonDown_.size())) {
        buttonDown_[static_cast<std::size_t>(detail)] = false;
      }
      break;
    default:
      return;
  }
  ++keyMark_;
  UpdateAnyDown();
}

void X11Input::DrainRaw() {
  if (xiOpcode_ < 0) return;
  Display* dpy = x_.Dpy();
  XEventsQueued(dpy, QueuedAfterReading);
  XEvent ev;
  while (XCheckIfEvent(dpy, &ev, IsXiEvent, reinterpret_cast<XPointer>(&xiOpcode_))) {
    if (XGetEventData(dpy, &ev.xcookie)) {
      OnEvent(ev);
      XFreeEventData(dpy, &ev.xcookie);
    }
  }
}

void X11Input::Resync() {
  Display* dpy = x_.Dpy();
  // Events already here are older than the answers below; events that
  // arrive while waiting for them are older too and are replayed after.
  DrainRaw();
  char keys[32] = {};
  XQueryKeymap(dpy, keys);
  PointerState state;
  const bool pointer = QueryPointer(dpy, x_.Root(), state);
  const unsigned int mask = state.mask;
  for (int code = 8; code < 256; ++code) {
    const bool down = (static_cast<unsigned char>(keys[code / 8]) >> (code % 8) & 1) != 0;
    if (down && !codeDown_[static_cast<std::size_t>(code)]) Press(0, code);
    codeDown_[static_cast<std::size_t>(code)] = down;
  }
  if (pointer) {
    for (int b = 1; b <= 5; ++b) {
      const bool down = (mask & (Button1Mask << (b - 1))) != 0;
      if (down && !buttonDown_[static_cast<std::size_t>(b)]) Press(ButtonVk(b), 0);
      buttonDown_[static_cast<std::size_t>(b)] = down;
    }
  }
  DrainRaw();
  UpdateAnyDown();
  lastResyncMs_ = MonotonicMs();
  ++keyMark_;
}

bool X11Input::IsDown(int virtualKey) const {
  if (const int b = VkButton(virtualKey); b != 0) return buttonDown_[static_cast<std::size_t>(b)];
  const auto& codes = keycodes_[static_cast<std::size_t>(virtualKey)];
  return std::any_of(codes.begin(), codes.end(), [this](int c) { return codeDown_[static_cast<std::size_t>(c)]; });
}

void X11Input::UpdateAnyDown() {
  const auto held = [](bool down) { return down; };
  anyDown_ = std::any_of(codeDown_.begin(), codeDown_.end(), held) ||
             std::any_of(buttonDown_.begin(), buttonDown_.end(), held);
}

std::uint64_t X11Input::KeyMark() {
  if (xiOpcode_ < 0) return ++keyMark_;
  if (!x_.Drained()) DrainRaw();
  if (AnyDown() && MonotonicMs() - lastResyncMs_ >= kHeldResyncMs) Resync();
  return keyMark_;
}

std::int16_t X11Input::GetAsyncKeyState(int virtualKey) {
  if (virtualKey < 0 || virtualKey > 255) return 0;
  if (!x_.Drained()) DrainRaw();
  if (xiOpcode_ < 0 || (AnyDown() && MonotonicMs() - lastResyncMs_ >= kHeldResyncMs)) Resync();
  const auto i = static_cast<std::size_t>(virtualKey);
  std::uint16_t word = IsDown(virtualKey) ? platform::kKeyDownNow : 0;
  if (latch_[i]) word |= platform::kKeyPressedSince;
  latch_[i] = false;
  return static_cast<std::int16_t>(word);
}

WindowHandle X11Input::ForegroundWindow() {
  std::vector<unsigned long> active;
  x_.ReadLongs(x_.Root(), x_.GetAtom("_NET_ACTIVE_WINDOW"), XA_WINDOW, active);
  if (active.empty() || active[0] == 0) return 0;
  const XWindow w = active[0];
  std::vector<unsigned long> types;
  if (!x_.ReadLongs(w, x_.GetAtom("_NET_WM_WINDOW_TYPE"), XA_ATOM, types)) return 0;  // gone
  const XAtom desktop = x_.GetAtom("_NET_WM_WINDOW_TYPE_DESKTOP");
  const XAtom dock = x_.GetAtom("_NET_WM_WINDOW_TYPE_DOCK");
  for (unsigned long t : types) {
    if (t == desktop || t == dock) return 0;
  }
  return static_cast<WindowHandle>(w);
}

void X11Input::SetForegroundWindow(WindowHandle window) {
  if (window == 0) return;
  Display* dpy = x_.Dpy();
  XEvent ev{};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = static_cast<Window>(window);
  ev.xclient.message_type = x_.GetAtom("_NET_ACTIVE_WINDOW");
  ev.xclient.format = 32;
  // Source 2 (a pager): the user asked for the window, so the window
  // manager's focus-stealing prevention must not turn it into a hint.
  ev.xclient.data.l[0] = 2;
  ev.xclient.data.l[1] = CurrentTime;
  XSendEvent(dpy, x_.Root(), False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
  XFlush(dpy);
}

void X11Input::MaskWinRelease() {
  Display* dpy = x_.Dpy();
  int event = 0;
  int error = 0;
  int major = 0;
  int minor = 0;
  if (XTestQueryExtension(dpy, &event, &error, &major, &minor) == 0) return;
  if (maskCode_ < 0) {
    maskCode_ = 0;
    int first = 0;
    int last = 0;
    XDisplayKeycodes(dpy, &first, &last);
    int perCode = 0;
    KeySym* syms = XGetKeyboardMapping(dpy, static_cast<KeyCode>(first), last - first + 1, &perCode);
    for (int code = last; syms != nullptr && code >= first && maskCode_ == 0; --code) {
      const KeySym* row = syms + static_cast<std::ptrdiff_t>(code - first) * perCode;
      if (std::all_of(row, row + perCode, [](KeySym s) { return s == NoSymbol; })) maskCode_ = code;
    }
    if (syms != nullptr) XFree(syms);
  }
  if (maskCode_ == 0) return;
  XTestFakeKeyEvent(dpy, static_cast<unsigned int>(maskCode_), True, CurrentTime);
  XTestFakeKeyEvent(dpy, static_cast<unsigned int>(maskCode_), False, CurrentTime);
  XFlush(dpy);
}

Point X11Input::CursorPos() {
  PointerState state;
  if (!QueryPointer(x_.Dpy(), x_.Root(), state)) return {};
  return {state.x, state.y};
}

}  // namespace pd::x11
