// Tray port: the notification area of the task bar (the shell's tray).
//
// One icon is described by one notification record, laid out as the
// Windows NOTIFYICONDATAA in its 488-byte ANSI form (32-bit handle fields)
// on every backend, so that what a component fills is what every backend
// reads. Texts in it are in the ANSI code page (Codec::ToAnsi), NUL-ended.
//
// The calls:
//   - CreateReportWindow: a window of the thread that receives the shell's
//     reports about the icons that name it in hWnd. Each report is the
//     mouse message that happened on the icon (the Windows codes 0x200 to
//     0x209 in `code`) with the mouse buttons held (button:: bits).
//   - IconHandle: the 32-bit handle for a picture that hIcon carries; the
//     port keeps the picture for as long as a record may name it.
//   - Notify: NIM_ADD, NIM_MODIFY, NIM_DELETE, NIM_SETVERSION with a record.
//     With NIF_INFO and a non-empty szInfo, a NIM_ADD or NIM_MODIFY shows a
//     balloon (replacing the one shown before); with an empty szInfo it
//     withdraws a balloon that is showing. NIM_DELETE removes the icon and
//     its balloon. The result says only whether the call was made.
//   - ShellPresent / ShellGeneration: whether a shell with a notification
//     area is there now, and a counter that grows every time a shell came
//     (or changed): icons added before the counter last changed are gone
//     and must be added again. Both cost no round trip: the restore timer
//     reads them ten times a second.
//   - IconShown: whether the desktop shows an icon now. Only Linux can
//     answer no (no tray manager and no watcher, or the icon not taken):
//     on Windows the task bar always exists, and an icon that the shell
//     lost is added again by the restore timer, so the answer is yes.
//   - BalloonWithoutIcon: shows the balloon of a record (szInfoTitle,
//     szInfo, dwInfoFlags; an empty szInfo withdraws it) while no icon of
//     it is shown, the way the backend shows balloons anyway (Linux: a
//     desktop notification, else a popup of its own above the bottom-right
//     corner), replacing the one shown before. False where balloons belong
//     to the icon (Windows): then nothing was shown.
//   - WatchShell: where the backend hears of the shell's comings and goings
//     (Linux: the tray manager's selection, the watcher's bus name), it
//     calls the watcher from the event loop whenever either answer may have
//     changed, and the restore timer need not run while nothing happens.
//     Windows tells only of a new task bar, not of a shell that went, so
//     there the watch is refused and the timer polls.
//
// Backends: Windows calls Shell_NotifyIconA; the shell's presence is its
// desktop or task bar window, a restart is the TaskbarCreated message.
// Linux offers the icon as a StatusNotifierItem over D-Bus where a watcher
// is registered, else as an XEmbed icon in the freedesktop system tray, and
// shows balloons as desktop notifications (a popup of its own where no
// notification server answers); "the shell" is the watcher or the tray
// manager. The simulation records every call and lets the test act as the
// user and as the shell (see platform/sim/tray.h).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/surface.h"
#include "platform/types.h"

namespace pd::platform {

namespace nim {
inline constexpr std::uint32_t kAdd = 0;
inline constexpr std::uint32_t kModify = 1;
inline constexpr std::uint32_t kDelete = 2;
inline constexpr std::uint32_t kSetVersion = 4;
}  // namespace nim

namespace nif {
inline constexpr std::uint32_t kMessage = 0x1;
inline constexpr std::uint32_t kIcon = 0x2;
inline constexpr std::uint32_t kTip = 0x4;
inline constexpr std::uint32_t kInfo = 0x10;
}  // namespace nif

// Balloon icon flags (dwInfoFlags).
namespace niif {
inline constexpr std::uint32_t kNone = 0;
inline constexpr std::uint32_t kInfo = 1;
inline constexpr std::uint32_t kWarning = 2;
inline constexpr std::uint32_t kError = 3;
}  // namespace niif

// The mouse messages a tray report carries.
namespace traymsg {
inline constexpr std::uint32_t kMouseMove = 0x200;
inline constexpr std::uint32_t kLButtonDown = 0x201;
inline constexpr std::uint32_t kLButtonUp = 0x202;
inline constexpr std::uint32_t kLButtonDblClk = 0x203;
inline constexpr std::uint32_t kRButtonDown = 0x204;
inline constexpr std::uint32_t kRButtonUp = 0x205;
inline constexpr std::uint32_t kRButtonDblClk = 0x206;
inline constexpr std::uint32_t kMButtonDown = 0x207;
inline constexpr std::uint32_t kMButtonUp = 0x208;
}  // namespace traymsg

// NOTIFYICONDATAA, 488-byte form: every field 32 bits, texts in bytes.
struct NotifyIconRecord {
  std::uint32_t cbSize = 0;
  std::uint32_t hWnd = 0;
  std::uint32_t uID = 0;
  std::uint32_t uFlags = 0;
  std::uint32_t uCallbackMessage = 0;
  std::uint32_t hIcon = 0;
  char szTip[128] = {};
  std::uint32_t dwState = 0;
  std::uint32_t dwStateMask = 0;
  char szInfo[256] = {};
  std::uint32_t uTimeout = 0;  // uVersion for NIM_SETVERSION
  char szInfoTitle[64] = {};
  std::uint32_t dwInfoFlags = 0;
};
static_assert(sizeof(NotifyIconRecord) == 488, "the 488-byte ANSI notification record");

class Tray {
 public:
  // A report about an icon: the mouse message and the buttons held.
  using Report = std::function<void(std::uint32_t code, int buttons)>;

  virtual ~Tray() = default;

  // A window for hWnd; 0 when none could be made. Reports come to its
  // callback on the user-interface thread, from the event loop.
  virtual std::uint32_t CreateReportWindow(Report report) = 0;
  // Removes the window's icons first.
  virtual void DestroyReportWindow(std::uint32_t window) = 0;

  // The handle hIcon carries for the picture; 0 for none.
  virtual std::uint32_t IconHandle(const std::shared_ptr<const Picture>& picture) = 0;

  virtual bool Notify(std::uint32_t message, const NotifyIconRecord& record) = 0;

  [[nodiscard]] virtual bool IconShown(std::uint32_t window, std::uint32_t id) = 0;
  virtual bool BalloonWithoutIcon(const NotifyIconRecord& record) = 0;

  [[nodiscard]] virtual bool ShellPresent() = 0;
  [[nodiscard]] virtual std::uint64_t ShellGeneration() = 0;

  // A number for UnwatchShell, or 0 when the backend cannot tell (then
  // nothing is ever called).
  virtual int WatchShell(std::function<void()> changed) = 0;
  virtual void UnwatchShell(int watch) = 0;
};

}  // namespace pd::platform
