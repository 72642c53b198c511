// Windows and input port: the global key state, the foreground window and
// the pointer.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "platform/types.h"

namespace pd::platform {

// Virtual-key codes used by the program (the Windows codes on every
// platform).
namespace vk {
inline constexpr int kLButton = 0x01;
inline constexpr int kRButton = 0x02;
inline constexpr int kMButton = 0x04;
inline constexpr int kBack = 0x08;
inline constexpr int kTab = 0x09;
inline constexpr int kReturn = 0x0D;
inline constexpr int kShift = 0x10;
inline constexpr int kControl = 0x11;
inline constexpr int kMenu = 0x12;  // Alt
inline constexpr int kEscape = 0x1B;
inline constexpr int kSpace = 0x20;
inline constexpr int kPrior = 0x21;  // Page Up
inline constexpr int kNext = 0x22;   // Page Down
inline constexpr int kEnd = 0x23;
inline constexpr int kHome = 0x24;
inline constexpr int kLeft = 0x25;
inline constexpr int kUp = 0x26;
inline constexpr int kRight = 0x27;
inline constexpr int kDown = 0x28;
inline constexpr int kInsert = 0x2D;
inline constexpr int kDelete = 0x2E;
inline constexpr int kLWin = 0x5B;
inline constexpr int kRWin = 0x5C;
inline constexpr int kF1 = 0x70;
inline constexpr int kLShift = 0xA0;
inline constexpr int kRShift = 0xA1;
inline constexpr int kLControl = 0xA2;
inline constexpr int kRControl = 0xA3;
inline constexpr int kLMenu = 0xA4;
inline constexpr int kRMenu = 0xA5;
inline constexpr int kUnassigned = 0xE8;  // no key and no meaning: the WIN mask
}  // namespace vk

// Bits of the key-state word.
inline constexpr std::uint16_t kKeyDownNow = 0x8000;
inline constexpr std::uint16_t kKeyPressedSince = 0x0001;

class Input {
 public:
  virtual ~Input() = default;

  // The key-state word of a virtual-key code (0-255): bit 15 while the key
  // is down now, bit 0 when it was pressed since the previous query of the
  // same code (the query clears it). Other codes give 0.
  virtual std::int16_t GetAsyncKeyState(int virtualKey) = 0;
  // A number that stays the same while no key or button went down or up:
  // a poller that sees it unchanged knows the state words it last read
  // still hold, bar the pressed-since bits it consumed. A backend that
  // cannot tell gives a new number every time.
  virtual std::uint64_t KeyMark() = 0;

  // Whether the backend tells its watchers each time a key or mouse button
  // goes down or up. With it a poller may rest while nothing is held and
  // wake at the next move; without it (a system that only answers queries)
  // the watchers are never called and the poller must keep polling.
  [[nodiscard]] virtual bool NotifiesKeys() const = 0;
  // Calls moved on the user-interface thread after each key or button move
  // the backend learns of (from a pass of the loop, or from inside a query
  // that read what had arrived). Returns the watch's number for UnwatchKeys.
  std::uint64_t WatchKeys(std::function<void()> moved) {
    watchers_.emplace_back(++lastWatch_, std::move(moved));
    return lastWatch_;
  }
  void UnwatchKeys(std::uint64_t watch) {
    std::erase_if(watchers_, [&](const auto& w) { return w.first == watch; });
  }

  // The window the user works in; 0 when there is none (desktop, panel).
  virtual WindowHandle ForegroundWindow() = 0;

  // Brings a window of this program to the front.
  virtual void SetForegroundWindow(WindowHandle window) = 0;

  // Pointer position in screen pixels.
  virtual Point CursorPos() = 0;

  // Desktops open their start menu (or overview) when a WIN key goes down
  // and up with no other key between. A hot key made with WIN calls this
  // while WIN is held: the press and release of an unassigned key that
  // follow make the coming release of WIN part of a combination, so that it
  // opens nothing and leaves the foreground where it is.
  virtual void MaskWinRelease() = 0;

 protected:
  // Backends call this when a key or button moved. A watcher may add or
  // remove watches while it runs.
  void KeysMoved() {
    for (std::size_t i = 0; i < watchers_.size(); ++i) {
      const auto moved = watchers_[i].second;
      if (moved) moved();
    }
  }

 private:
  std::vector<std::pair<std::uint64_t, std::function<void()>>> watchers_;
  std::uint64_t lastWatch_ = 0;
};

}  // namespace pd::platform
