#include "hotkeys/HotKeys.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace pd::hotkeys {

HotKeys::HotKeys(forms::Container& parent, StringView name, int index)
    : Control(parent, name, index),
      platform_(GetSite().GetPlatform()),
      tmrHKCheck_(platform_.loop().CreateTimer([this] { CheckTick(); })),
      tmrHKEvents_(platform_.loop().CreateTimer([this] { RepeatTick(); })) {
  tmrHKCheck_->SetInterval(kCheckIntervalMs);
  tmrHKEvents_->SetInterval(kRepeatIntervalMs);
  ReadProperties(GetSite().Properties());
  OnResize();
  if (platform_.input().NotifiesKeys()) keyWatch_ = platform_.input().WatchKeys([this] { Wake(); });
}

void HotKeys::OnResize() {
  if (Width() != kExtentTwips || Height() != kExtentTwips) Move(Left(), Top(), kExtentTwips, kExtentTwips);
}

HotKeys::~HotKeys() {
  *alive_ = false;
  if (keyWatch_ != 0) platform_.input().UnwatchKeys(keyWatch_);
  StopHK();
}

std::uint8_t HotKeys::KeyCode(std::int32_t key) {
  if (key < 0 || key > 255) throw std::overflow_error("HotKeys: key code " + std::to_string(key) + " is outside 0-255");
  return static_cast<std::uint8_t>(key);
}

void HotKeys::RequireIndex(std::int32_t index) {
  if (index < 0) throw std::out_of_range("HotKeys: negative hot-key index " + std::to_string(index));
}

void HotKeys::AddHotKey(std::int32_t key1, std::int32_t key2, std::int32_t key3, std::int32_t key4) {
  HotKeyEntry e;
  e.Key1 = KeyCode(key1);
  e.Key2 = KeyCode(key2);
  e.Key3 = KeyCode(key3);
  e.Key4 = KeyCode(key4);
  entries_.push_back(e);
  polled_ = false;
  Wake();
}

void HotKeys::ChangeHotKey(std::int32_t index, std::int32_t key1, std::int32_t key2, std::int32_t key3,
                           std::int32_t key4) {
  RequireIndex(index);
  // An index past the end is ignored before the codes are looked at.
  if (index >= HKCount()) return;
  // All four are checked before any is stored, so a bad code changes nothing.
  const std::uint8_t k1 = KeyCode(key1), k2 = KeyCode(key2), k3 = KeyCode(key3), k4 = KeyCode(key4);
  HotKeyEntry& e = entries_[static_cast<std::size_t>(index)];
  e.Key1 = k1;
  e.Key2 = k2;
  e.Key3 = k3;
  e.Key4 = k4;
  polled_ = false;
  Wake();
}

void HotKeys::RemoveHotKey(std::int32_t index) {
  RequireIndex(index);
  if (index >= HKCount()) return;
  entries_.erase(entries_.begin() + index);
  polled_ = false;
  Wake();
}

void HotKeys::StartHK() {
  polled_ = false;
  started_ = true;
  resting_ = false;
  tmrHKCheck_->SetEnabled(true);
  tmrHKEvents_->SetEnabled(true);
}

void HotKeys::StopHK() {
  started_ = false;
  resting_ = false;
  tmrHKCheck_->SetEnabled(false);
  tmrHKEvents_->SetEnabled(false);
}

std::int16_t HotKeys::GetKeyStatus(std::int32_t keyCode) { return platform_.input().GetAsyncKeyState(keyCode); }

std::int16_t HotKeys::GetHotKeyStatus(std::int32_t index) {
  RequireIndex(index);
  if (index >= HKCount()) return 0;
  const HotKeyEntry e = entries_[static_cast<std::size_t>(index)];
  auto& input = platform_.input();
  // Without Key1 the word stays 0, but the other keys are still queried
  // (and their pressed-since bits consumed).
  std::uint16_t s = e.Key1 != 0 ? static_cast<std::uint16_t>(input.GetAsyncKeyState(e.Key1)) : 0;
  for (std::uint8_t key : {e.Key2, e.Key3, e.Key4}) {
    if (key != 0) s &= static_cast<std::uint16_t>(input.GetAsyncKeyState(key));
  }
  return static_cast<std::int16_t>(s);
}

void HotKeys::SetEnabled(bool enabled) {
  SetEnabledState(enabled);
  polled_ = false;
  Wake();
  GetSite().PropertyChanged(Table().NameOf(forms::HostAttribute::kEnabled));
}

void HotKeys::SetOnlyOnFocus(bool onlyOnFocus) {
  onlyOnFocus_ = onlyOnFocus;
  Wake();
  GetSite().PropertyChanged(Table().NameOf(&HotKeys::onlyOnFocus_));
}

using Table_t = forms::PropertyTable<HotKeys>;

const Table_t& HotKeys::Table() {
  static const Table_t table{
      Table_t::HostEnabled(),
      {u"OnlyOnFocus", false, &HotKeys::onlyOnFocus_},
  };
  return table;
}

void HotKeys::InitProperties() { Table().Init(*this); }
void HotKeys::ReadProperties(forms::PropertyStore& store) { Table().Read(*this, store); }
void HotKeys::WriteProperties(forms::PropertyStore& store) const { Table().Write(*this, store); }

bool HotKeys::Idle() {
  if (entries_.empty() || !Enabled()) return true;
  return onlyOnFocus_ && platform_.input().ForegroundWindow() != GetSite().HostWindow();
}

void HotKeys::Raise(const Event<std::int32_t>& event, std::int32_t index) {
  try {
    event.Raise(index);
  } catch (...) {  // NOLINT(bugprone-empty-catch): a tick never fails
  }
}

// Each iteration yields to the loop, where the host may add, remove or stop
// hot keys, or destroy the component (the program ends from its tray menu);
// the count is therefore read anew every time, the entry is looked up by
// index and never held across the yield, and the tick ends at once when the
// component is gone.
void HotKeys::CheckTick() {
  if (Poll()) RestIfQuiet(*tmrHKEvents_);
}

bool HotKeys::Poll() {
  if (Idle()) return true;
  // No key went down or up since the last poll: every word it read still
  // holds, unless it had a pressed-since bit, which that poll consumed.
  const std::uint64_t mark = platform_.input().KeyMark();
  const bool latched = std::any_of(entries_.begin(), entries_.end(),
                                   [](const HotKeyEntry& e) { return (e.State & platform::kKeyPressedSince) != 0; });
  if (polled_ && mark == keyMark_ && !latched) return true;
  keyMark_ = mark;
  polled_ = true;
  const auto alive = alive_;
  for (std::int32_t i = 0; i < HKCount(); ++i) {
    const std::int16_t s = GetHotKeyStatus(i);
    HotKeyEntry& e = entries_[static_cast<std::size_t>(i)];
    e.State = s;
    if (s != 0 && !e.IsDown) {
      e.IsDown = true;
      Raise(HKPress, i);
    } else if (s == 0 && e.IsDown) {
      e.IsDown = false;
      Raise(HKUp, i);
    }
    if (!*alive) return false;
    platform_.loop().DoEvents();
    if (!*alive) return false;
  }
  return true;
}

void HotKeys::RepeatTick() {
  const auto quiet = [this] {
    return std::all_of(entries_.begin(), entries_.end(),
                       [](const HotKeyEntry& e) { return e.State == 0 && e.RepeatTicks == 0; });
  };
  // Nothing held and nothing counted: the tick would change nothing.
  if (Idle() || quiet()) return RestIfQuiet(*tmrHKCheck_);
  const auto alive = alive_;
  for (std::int32_t i = 0; i < HKCount(); ++i) {
    HotKeyEntry& e = entries_[static_cast<std::size_t>(i)];
    if (e.State != 0) {
      if (e.RepeatTicks < kRepeatSteady) ++e.RepeatTicks;
      if (e.RepeatTicks == 1 || e.RepeatTicks == kRepeatSteady) Raise(HKDown, i);
    } else {
      e.RepeatTicks = 0;
    }
    if (!*alive) return;
    platform_.loop().DoEvents();
    if (!*alive) return;
  }
  RestIfQuiet(*tmrHKCheck_);
}

// Quiet: nothing held or counted at the last poll of the whole table, and
// no move since (one during a handler's yield found the timers running and
// woke nothing). A State of 0 also says that no pressed-since bit was read.
// A tick run inside the other's yield leaves the decision to the other,
// whose entries may be half read.
void HotKeys::RestIfQuiet(const platform::Timer& other) {
  if (keyWatch_ == 0 || !started_ || resting_ || onlyOnFocus_ || other.InTick()) return;
  if (!Idle()) {
    if (!polled_ || platform_.input().KeyMark() != keyMark_) return;
    const bool quiet = std::all_of(entries_.begin(), entries_.end(),
                                   [](const HotKeyEntry& e) { return e.State == 0 && e.RepeatTicks == 0; });
    if (!quiet) return;
  }
  resting_ = true;
  tmrHKCheck_->SetEnabled(false);
  tmrHKEvents_->SetEnabled(false);
}

void HotKeys::Wake() {
  if (!started_ || !resting_) return;
  resting_ = false;
  tmrHKCheck_->Resume();
  tmrHKEvents_->Resume();
}

}  // namespace pd::hotkeys
