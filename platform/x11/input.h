// Keys, pointer and the foreground window through XInput 2 and the window manager.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/input.h"
#include "platform/x11/connection.h"

namespace pd::x11 {

// The virtual-key code a keysym stands for (letters of either case give
// 'A'..'Z'); 0 for none. The table X11Input maps keys with.
int VirtualKeyOfKeysym(unsigned long keysym);

// The key-state word from XInput 2.2 raw events selected on the root window
// (all master devices): a down bit per X key code and per mouse button, and
// a pressed-since latch per virtual-key code, cleared by the query of that
// code. A query inside a timer tick of the loop reads nothing: the loop has
// just taken every event off the socket. Elsewhere a query takes the raw
// events off the socket first. The down bits are read again from the server
// (XQueryKeymap, XQueryPointer) at start, when the keyboard mapping or the
// devices change, and, while a key or button is taken for held, at most
// once a second, so that a release missed (a device unplugged mid-press)
// does not leave it held; an idle poll never waits for the server.
// Virtual-key codes map to X key codes through their keysyms, rebuilt when
// the keyboard mapping changes.
class X11Input final : public platform::Input {
 public:
  explicit X11Input(XConnection& x);

  std::int16_t GetAsyncKeyState(int virtualKey) override;
  // Counts the raw key and button events, mapping changes and resyncs;
  // a new mark every time without XInput (every query asks the server).
  std::uint64_t KeyMark() override;
  // _NET_ACTIVE_WINDOW of the root; 0 for None and for desktop and dock
  // windows.
  WindowHandle ForegroundWindow() override;
  void SetForegroundWindow(WindowHandle window) override;
  Point CursorPos() override;
  // XTEST: a key code with no symbol pressed and released (nothing when the
  // server lacks XTEST or every key code has a symbol).
  void MaskWinRelease() override;

  // The X key codes a virtual-key code stands for (empty when unmapped).
  [[nodiscard]] std::vector<int> KeyCodesOf(int virtualKey) const;
  [[nodiscard]] bool HasRawEvents() const { return xiOpcode_ >= 0; }

  static constexpr std::int64_t kHeldResyncMs = 1000;

 private:
  void BuildKeyMap();
  void OnEvent(XEvent& ev);
  void DrainRaw();
  void Resync();
  void Press(int vkFromButton, int keycode);
  [[nodiscard]] bool IsDown(int virtualKey) const;
  // Whether any key or button is taken for held (kept up to date by the
  // events and the resync).
  [[nodiscard]] bool AnyDown() const { return anyDown_; }
  void UpdateAnyDown();

  XConnection& x_;
  int xiOpcode_ = -1;
  std::array<std::vector<int>, 256> keycodes_{};    // vk -> X key codes
  std::array<std::vector<int>, 256> vksOfCode_{};   // X key code -> vks
  std::array<bool, 256> codeDown_{};                // by X key code
  std::array<bool, 10> buttonDown_{};               // by X button 1-9
  std::array<bool, 256> latch_{};                   // by vk
  bool anyDown_ = false;
  int maskCode_ = -1;  // a key code without a symbol; -1 not looked for yet, 0 none
  std::int64_t lastResyncMs_ = -1'000'000;
  std::uint64_t keyMark_ = 0;
};

}  // namespace pd::x11
