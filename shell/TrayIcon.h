// TrayIcon: a non-visual component that puts one icon with a tip text into
// the notification area (the tray port), shows balloons on it, turns the
// shell's reports about the icon into mouse events, and puts the icon back
// after the shell restarted.
//
// The notification record is kept as the shell takes it (platform/tray.h):
// the tip is cut to 63 characters (although the field holds 127), a balloon
// title to 63 and its text to 255; longer texts are cut, never refused.
// Results of the shell are not examined: a failed call leaves Added as the
// method sets it.
//
// Icon states: not shown (Added and Wanted false) -> AddIcon -> shown (both
// true) -> RemoveIcon -> not shown. While shown and RestoreOnShellFail is
// set, a tick of tmrRestore (100 ms) that finds no shell, or finds a shell
// that came after the icon was added, moves to lost (Added false, Wanted
// true); a tick that finds a shell then adds the icon again, so it is back
// within 100 ms of the shell's return without any call from the host. With
// RestoreOnShellFail false it stays gone until the host calls RemoveIcon and
// AddIcon. Where the tray port tells of the shell's changes (Linux), the
// timer does not tick while nothing happens: a change starts it, and a tick
// that leaves nothing to do stops it, so an idle program never wakes for it.
//
// The shell's reports are decoded as the mouse messages they carry:
// 0x200 MouseMove (buttons held), 0x201/0x202/0x203 MouseDown/MouseUp/
// MouseDblClick with button 1, 0x204/0x205/0x206 the same with button 2;
// anything else (the middle button, balloon notifications) is ignored.
//
// Without a tray. Where the desktop shows no icon (Linux without a tray
// manager or watcher; the tray port's IconShown), a balloon asked for while
// Wanted goes to the port's BalloonWithoutIcon (a desktop notification), so
// the user still hears of every action; where the port refuses that
// (Windows), the icon's balloon rules below hold. NoTray is raised when the
// icon has been wanted for kNoTrayMs without being shown (after AddIcon, or
// after the restore timer found the icon lost), so that the host can tell
// the user how to reach the program; it is raised again only after the
// icon was shown in between.
//
// Mended against the record's first design: AddIcon clears the balloon
// fields, so that an icon put back after a shell restart does not show an
// old balloon again; and a balloon asked for while the shell is away (the
// program started at login before the panel) is shown when the icon is put
// back, not lost, unless the icon or tip changed meanwhile.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "forms/Control.h"
#include "forms/Event.h"
#include "forms/PropertyTable.h"
#include "platform/platform.h"
#include "platform/tray.h"

namespace pd::shell {

class TrayIcon : public forms::Control {
 public:
  static constexpr int kExtentTwips = 450;
  static constexpr int kRestoreIntervalMs = 100;
  // How long the icon may stay unshown before NoTray: a panel that starts
  // with the session or restarts takes well under this.
  static constexpr int kNoTrayMs = 5000;
  static constexpr std::size_t kTipChars = 63;
  static constexpr std::size_t kTitleChars = 63;
  static constexpr std::size_t kTextChars = 255;
  static constexpr std::uint32_t kRecordSize = 488;
  static constexpr std::uint32_t kIconId = 1;
  static constexpr std::uint32_t kFlags =
      platform::nif::kMessage | platform::nif::kIcon | platform::nif::kTip | platform::nif::kInfo;
  static constexpr std::uint32_t kCallbackMessage = platform::traymsg::kMouseMove;

  // Reads its stored properties from the site's store (without starting
  // tmrRestore), makes its window for the shell's reports, sets its size.
  explicit TrayIcon(forms::Container& parent, StringView name = u"TrayIcon", int index = -1);
  // RemoveIcon: the icon never outlives its host.
  ~TrayIcon() override;

  // ---- Properties ----
  // The component's own window, which receives the shell's reports (the
  // window a tray menu is opened for).
  [[nodiscard]] WindowHandle hWnd() const { return window_; }
  [[nodiscard]] const std::shared_ptr<const platform::Picture>& Icon() const { return icon_; }
  // Stores the picture, ModifyIcon, then OnChangeIcon.
  void SetIcon(std::shared_ptr<const platform::Picture> icon);
  [[nodiscard]] const String& TipText() const { return tipText_; }
  // Stores the text, ModifyIcon, then OnChangeTip.
  void SetTipText(StringView tipText);
  [[nodiscard]] bool RestoreOnShellFail() const { return restoreOnShellFail_; }
  // Stores the value and starts (true) or stops (false) tmrRestore.
  void SetRestoreOnShellFail(bool restore);

  // ---- Methods ----
  // Adds the icon once: nothing happens while Added is true.
  void AddIcon();
  // While Added: refreshes icon and tip, withdraws a balloon, raises OnChange.
  void ModifyIcon();
  // Always asks the shell to delete the icon; Added and Wanted become false.
  void RemoveIcon();
  // While Added: shows a balloon (flags: platform::niif, 1 information, 2
  // warning). No event. While Wanted but not shown by any tray, the port
  // shows it without the icon where it can (see above).
  void ShowBallon(StringView title, StringView text, std::uint32_t infoFlags);

  // ---- Events ----
  Event<std::int16_t> MouseUp;
  Event<std::int16_t> MouseDown;
  Event<std::int16_t> MouseDblClick;
  Event<std::int16_t> MouseMove;
  Event<> OnChange;
  Event<> OnChangeTip;
  Event<> OnChangeIcon;
  // The icon has been wanted for kNoTrayMs and no tray shows it.
  Event<> NoTray;

  // ---- State, for the host and tests ----
  [[nodiscard]] bool Added() const { return added_; }
  [[nodiscard]] bool Wanted() const { return wanted_; }
  [[nodiscard]] const platform::NotifyIconRecord& Record() const { return record_; }
  [[nodiscard]] bool RestoreTimerRunning() const { return tmrRestore_->Enabled(); }
  // Wanted, and a tray shows it.
  [[nodiscard]] bool IconShown() const { return wanted_ && tray_.IconShown(window_, kIconId); }

  [[nodiscard]] bool HasWindow() const override { return false; }

  // The stored properties: the defaults of a newly placed one, load, save.
  void InitProperties();
  void ReadProperties(forms::PropertyStore& store);
  void WriteProperties(forms::PropertyStore& store) const;

 protected:
  // The host resized the component: it keeps 450 x 450 twips.
  void OnResize() override;

 private:
  static const forms::PropertyTable<TrayIcon>& Table();
  void OnShellReport(std::uint32_t code, int buttons);
  void RestoreTick();
  void FillTipAndIcon();
  void ClearBalloon();
  void NoTrayTick();

  platform::Tray& tray_;
  const text::Codec& codec_;  // the record's texts are in its "ANSI" code page
  platform::NotifyIconRecord record_{};
  std::shared_ptr<const platform::Picture> icon_;
  String tipText_;
  bool added_ = false;
  bool wanted_ = false;
  bool restoreOnShellFail_ = false;
  std::unique_ptr<platform::Timer> tmrRestore_;
  std::unique_ptr<platform::Timer> tmrNoTray_;  // one shot, kNoTrayMs after the icon was wanted or lost
  bool noTrayRaised_ = false;  // since the icon was last shown
  int shellWatch_ = 0;  // the tray port's watch of the shell; 0 when it polls
  // A balloon asked for while the shell was away, shown when the icon is
  // put back.
  struct Pending {
    String title;
    String text;
    std::uint32_t flags = 0;
  };
  std::optional<Pending> pending_;
  std::uint32_t window_ = 0;
  std::uint64_t addedGeneration_ = 0;  // the shell's generation at the last AddIcon
};

}  // namespace pd::shell
