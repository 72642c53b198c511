// The notification area: a StatusNotifierItem or an XEmbed tray icon, and desktop notifications.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/tray.h"
#include "platform/x11/connection.h"

namespace pd::soft {
class SoftGraphics;
}  // namespace pd::soft

namespace pd::x11 {

class X11Loop;

// The tray: a StatusNotifierItem on the session bus while a watcher
// (org.kde.StatusNotifierWatcher) has an owner, else an XEmbed icon docked
// in the freedesktop system tray (_NET_SYSTEM_TRAY_S<screen>, created with
// the tray's visual, with a tooltip window of our own). "The shell" is the
// watcher or the tray manager: its generation grows when either comes,
// changes or goes (NameOwnerChanged; a MANAGER message on the root window,
// the manager window's destruction), all known from events, so that
// ShellPresent costs no request.
//
// Balloons are desktop notifications (org.freedesktop.Notifications) sent
// over one long-lived private connection served by the loop (LoopSource):
// a later balloon replaces the earlier one (replaces_id), a record without
// one withdraws it (CloseNotification); every balloon, a warning too, goes
// with normal urgency (a critical one would stay until dismissed, and a
// balloon goes by itself). Nothing waits for a reply: a balloon asked for while the id of
// the previous one is still on its way is sent when the id comes. Where no
// notification server answers (or there is no session bus) a small popup
// of our own shows the balloon near the icon for kPopupMs.
//
// Without $DBUS_SESSION_BUS_ADDRESS no bus is used at all (libdbus would
// start a bus daemon of its own that outlives the program).
class X11Tray final : public platform::Tray {
 public:
  X11Tray(XConnection& x, X11Loop& loop, soft::SoftGraphics& graphics);
  ~X11Tray() override;
  X11Tray(const X11Tray&) = delete;
  X11Tray& operator=(const X11Tray&) = delete;

  std::uint32_t CreateReportWindow(Report report) override;
  void DestroyReportWindow(std::uint32_t window) override;
  std::uint32_t IconHandle(const std::shared_ptr<const platform::Picture>& picture) override;
  bool Notify(std::uint32_t message, const platform::NotifyIconRecord& record) override;
  // The icon is offered as an item to the watcher or docked in the tray.
  bool IconShown(std::uint32_t window, std::uint32_t id) override;
  // As a desktop notification (else our popup), like any balloon.
  bool BalloonWithoutIcon(const platform::NotifyIconRecord& record) override;
  bool ShellPresent() override;
  std::uint64_t ShellGeneration() override;
  // Told from the MANAGER announcement, the manager window's end and the
  // watcher's bus name.
  int WatchShell(std::function<void()> changed) override;
  void UnwatchShell(int watch) override;

  // ---- What the icon and balloon are now (tests) ----
  enum class Mode { kNone, kStatusNotifier, kXEmbed };
  [[nodiscard]] Mode IconMode() const;
  // The XEmbed icon window (0 in the other modes).
  [[nodiscard]] XWindow IconWindow() const;
  // The bus name the StatusNotifierItem owns ("" in the other modes).
  [[nodiscard]] std::string ItemName() const;
  // The id of the notification shown now (0: none); whether our own popup
  // shows the balloon; our tooltip window (0 while none is shown).
  [[nodiscard]] std::uint32_t NotificationId() const;
  // A Notify sent whose answer has not come yet.
  [[nodiscard]] bool NotifyInFlight() const;
  [[nodiscard]] bool PopupShown() const;
  [[nodiscard]] XWindow TooltipWindow() const;
  [[nodiscard]] bool HasBus();

  static constexpr int kTooltipDelayMs = 500;
  // How long a balloon shows, as on Windows: the notification's explicit
  // timeout (servers keep one with their default timeout, or until it is
  // dismissed) and our popup's.
  static constexpr int kBalloonMs = 10'000;
  static constexpr int kPopupMs = kBalloonMs;
  static constexpr int kDoubleClickMs = 500;
  static constexpr int kCallTimeoutMs = 5000;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace pd::x11
