#include "shell/TrayIcon.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "platform/text.h"

namespace pd::shell {

namespace {

// The first `chars` characters of s, in the ANSI code page, NUL-ended, the
// rest of the field NUL. Where characters take more than one byte there,
// fewer are kept, so that the field ends on a whole character; a surrogate
// pair is never parted.
template <std::size_t N>
void PutText(const text::Codec& codec, char (&field)[N], StringView s, std::size_t chars) {
  static_assert(N > 0);
  std::size_t keep = text::CutWhole(s, std::min(chars, N - 1));
  std::string bytes = codec.ToAnsi(s.substr(0, keep));
  while (bytes.size() > N - 1) {
    keep = text::CutWhole(s, keep - 1);
    bytes = codec.ToAnsi(s.substr(0, keep));
  }
  std::memset(field, 0, N);
  std::memcpy(field, bytes.data(), std::min(bytes.size(), N - 1));
}

}  // namespace

using Table_t = forms::PropertyTable<TrayIcon>;

// Loading RestoreOnShellFail does not start the timer: only a write at run
// time does.
const Table_t& TrayIcon::Table() {
  static const Table_t table{
      {u"Icon", Table_t::PicturePtr{}, &TrayIcon::icon_},
      {u"TipText", String(), &TrayIcon::tipText_},
      {u"RestoreOnShellFail", false, &TrayIcon::restoreOnShellFail_},
  };
  return table;
}

TrayIcon::TrayIcon(forms::Container& parent, StringView name, int index)
    : Control(parent, name, index),
      tray_(GetSite().GetPlatform().tray()),
      codec_(GetSite().GetPlatform().codec()),
      tmrRestore_(GetSite().GetPlatform().loop().CreateTimer([this] { RestoreTick(); })),
      tmrNoTray_(GetSite().GetPlatform().loop().CreateTimer([this] { NoTrayTick(); })) {
  tmrRestore_->SetInterval(kRestoreIntervalMs);
  tmrNoTray_->SetInterval(kNoTrayMs);
  window_ = tray_.CreateReportWindow([this](std::uint32_t code, int buttons) { OnShellReport(code, buttons); });
  shellWatch_ = tray_.WatchShell([this] {
    if (restoreOnShellFail_) tmrRestore_->SetEnabled(true);
  });
  ReadProperties(GetSite().Properties());
  OnResize();
}

TrayIcon::~TrayIcon() {
  if (shellWatch_ != 0) tray_.UnwatchShell(shellWatch_);
  tmrRestore_->SetEnabled(false);
  tmrNoTray_->SetEnabled(false);
  RemoveIcon();
  tray_.DestroyReportWindow(window_);
}

void TrayIcon::OnResize() {
  if (Width() != kExtentTwips || Height() != kExtentTwips) Move(Left(), Top(), kExtentTwips, kExtentTwips);
}

// ---- Properties ----

void TrayIcon::SetIcon(std::shared_ptr<const platform::Picture> icon) {
  icon_ = std::move(icon);
  GetSite().PropertyChanged(Table().NameOf(&TrayIcon::icon_));
  ModifyIcon();
  OnChangeIcon.Raise();
}

void TrayIcon::SetTipText(StringView tipText) {
  tipText_ = String(tipText);
  GetSite().PropertyChanged(Table().NameOf(&TrayIcon::tipText_));
  ModifyIcon();
  OnChangeTip.Raise();
}

void TrayIcon::SetRestoreOnShellFail(bool restore) {
  restoreOnShellFail_ = restore;
  GetSite().PropertyChanged(Table().NameOf(&TrayIcon::restoreOnShellFail_));
  tmrRestore_->SetEnabled(restore);
}

void TrayIcon::InitProperties() { Table().Init(*this); }
void TrayIcon::ReadProperties(forms::PropertyStore& store) { Table().Read(*this, store); }
void TrayIcon::WriteProperties(forms::PropertyStore& store) const { Table().Write(*this, store); }

// ---- Methods ----

void TrayIcon::FillTipAndIcon() {
  if (icon_) record_.hIcon = tray_.IconHandle(icon_);
  PutText(codec_, record_.szTip, tipText_, kTipChars);
}

void TrayIcon::ClearBalloon() {
  std::memset(record_.szInfoTitle, 0, sizeof record_.szInfoTitle);
  std::memset(record_.szInfo, 0, sizeof record_.szInfo);
}

void TrayIcon::AddIcon() {
  if (added_) return;
  record_.cbSize = kRecordSize;
  record_.hWnd = window_;
  record_.uID = kIconId;
  record_.uFlags = kFlags;
  record_.uCallbackMessage = kCallbackMessage;
  FillTipAndIcon();
  ClearBalloon();
  addedGeneration_ = tray_.ShellGeneration();
  tray_.Notify(platform::nim::kAdd, record_);
  record_.uTimeout = 0;
  tray_.Notify(platform::nim::kSetVersion, record_);
  added_ = true;
  wanted_ = true;
  if (tray_.IconShown(window_, kIconId)) {
    noTrayRaised_ = false;
  } else if (!tmrNoTray_->Enabled()) {
    tmrNoTray_->SetEnabled(true);
  }
}

void TrayIcon::ModifyIcon() {
  pending_.reset();
  if (!added_) return;
  FillTipAndIcon();
  ClearBalloon();
  tray_.Notify(platform::nim::kModify, record_);
  OnChange.Raise();
}

void TrayIcon::RemoveIcon() {
  pending_.reset();
  tray_.Notify(platform::nim::kDelete, record_);
  added_ = false;
  wanted_ = false;
}

void TrayIcon::ShowBallon(StringView title, StringView text, std::uint32_t infoFlags) {
  if (!wanted_) return;
  // No tray shows the icon: the balloon is shown without it where the
  // platform can.
  if (!tray_.IconShown(window_, kIconId)) {
    platform::NotifyIconRecord alone = record_;
    alone.dwInfoFlags = infoFlags;
    PutText(codec_, alone.szInfoTitle, title, kTitleChars);
    PutText(codec_, alone.szInfo, text, kTextChars);
    if (tray_.BalloonWithoutIcon(alone)) return;
  }
  // Asked for while the shell is away (the program started before the
  // panel, or the panel restarts): kept for the icon's return, unless the
  // icon or tip changes first (which would have withdrawn it).
  if (restoreOnShellFail_ && !tray_.ShellPresent()) pending_ = Pending{String(title), String(text), infoFlags};
  if (!added_) return;
  record_.dwInfoFlags = infoFlags;
  PutText(codec_, record_.szInfoTitle, title, kTitleChars);
  PutText(codec_, record_.szInfo, text, kTextChars);
  tray_.Notify(platform::nim::kModify, record_);
}

// ---- The shell ----

void TrayIcon::OnShellReport(std::uint32_t code, int buttons) {
  namespace msg = platform::traymsg;
  switch (code) {
    case msg::kMouseMove:
      MouseMove.Raise(static_cast<std::int16_t>(buttons));
      break;
    case msg::kLButtonDown:
      MouseDown.Raise(1);
      break;
    case msg::kLButtonUp:
      MouseUp.Raise(1);
      break;
    case msg::kLButtonDblClk:
      MouseDblClick.Raise(1);
      break;
    case msg::kRButtonDown:
      MouseDown.Raise(2);
      break;
    case msg::kRButtonUp:
      MouseUp.Raise(2);
      break;
    case msg::kRButtonDblClk:
      MouseDblClick.Raise(2);
      break;
    default:
      break;
  }
}

// A shell that is gone, or one that came after the icon was added, has lost
// the icon: it is removed from our side (keeping Wanted) and added again as
// soon as a shell is there.
void TrayIcon::RestoreTick() {
  const bool present = tray_.ShellPresent();
  const bool replaced = added_ && tray_.ShellGeneration() != addedGeneration_;
  if (!present || replaced) {
    const bool wanted = wanted_;
    auto pending = std::move(pending_);
    RemoveIcon();
    wanted_ = wanted;
    pending_ = std::move(pending);
  }
  if (present && wanted_ && !added_) {
    AddIcon();
    if (auto pending = std::exchange(pending_, std::nullopt)) ShowBallon(pending->title, pending->text, pending->flags);
  }
  // Lost and not back: NoTray if it stays so.
  if (wanted_ && !added_ && !tmrNoTray_->Enabled()) tmrNoTray_->SetEnabled(true);
  // Where the shell is watched, its next change starts the timer again.
  if (shellWatch_ != 0) tmrRestore_->SetEnabled(false);
}

void TrayIcon::NoTrayTick() {
  tmrNoTray_->SetEnabled(false);
  if (!wanted_) return;
  if (tray_.IconShown(window_, kIconId)) {
    noTrayRaised_ = false;
    return;
  }
  if (noTrayRaised_) return;
  noTrayRaised_ = true;
  NoTray.Raise();
}

}  // namespace pd::shell
