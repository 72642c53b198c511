#include <cstring>
#include <string_view>

#include "platform/host.h"
#include "platform/sim/tray.h"
#include "platform/text.h"

namespace pd::sim {

namespace {

template <std::size_t N>
String FieldText(const char (&field)[N]) {
  return text::Utf8Codec().FromAnsi(std::string_view(field, strnlen(field, N)));
}

}  // namespace

std::uint32_t SimTray::CreateReportWindow(Tray::Report report) {
  const std::uint32_t window = nextWindow_++;
  windows_[window] = std::move(report);
  return window;
}

void SimTray::DestroyReportWindow(std::uint32_t window) {
  for (auto it = icons_.begin(); it != icons_.end();) {
    it = it->first.first == window ? icons_.erase(it) : std::next(it);
  }
  Withdraw(window);
  windows_.erase(window);
}

std::uint32_t SimTray::IconHandle(const std::shared_ptr<const platform::Picture>& picture) {
  if (!picture) return 0;
  auto [it, added] = pictures_.try_emplace(picture.get(), nextIcon_, picture);
  if (added) ++nextIcon_;
  return it->second.first;
}

std::shared_ptr<const platform::Picture> SimTray::PictureOf(std::uint32_t handle) const {
  for (const auto& [key, entry] : pictures_) {
    if (entry.first == handle) return entry.second;
  }
  return nullptr;
}

bool SimTray::Notify(std::uint32_t message, const platform::NotifyIconRecord& record) {
  calls_.push_back(Call{message, record, present_});
  if (!present_) return false;
  const auto key = std::make_pair(record.hWnd, record.uID);
  const auto found = icons_.find(key);
  switch (message) {
    case platform::nim::kAdd:
      if (found != icons_.end()) return false;
      icons_[key] = record;
      break;
    case platform::nim::kModify:
      if (found == icons_.end()) return false;
      found->second = record;
      break;
    case platform::nim::kDelete:
      if (found == icons_.end()) return false;
      icons_.erase(found);
      Withdraw(record.hWnd);
      return true;
    case platform::nim::kSetVersion:
      return found != icons_.end();
    default:
      return false;
  }
  // An icon that comes leaves a balloon shown without it (a new icon has
  // no balloon of its own to withdraw).
  if ((record.uFlags & platform::nif::kInfo) != 0 && (message == platform::nim::kModify || record.szInfo[0] != '\0')) {
    Withdraw(record.hWnd);
    if (record.szInfo[0] != '\0') {
      balloons_.push_back(
          Balloon{FieldText(record.szInfoTitle), FieldText(record.szInfo), record.dwInfoFlags, record.hWnd, false});
    }
  }
  return true;
}

bool SimTray::BalloonWithoutIcon(const platform::NotifyIconRecord& record) {
  if (!balloonsWithoutIcon_) return false;
  Withdraw(record.hWnd);
  if (record.szInfo[0] != '\0') {
    balloons_.push_back(Balloon{FieldText(record.szInfoTitle), FieldText(record.szInfo), record.dwInfoFlags,
                                record.hWnd, false, true});
  }
  return true;
}

const platform::NotifyIconRecord* SimTray::Icon(std::uint32_t window, std::uint32_t id) const {
  const auto found = icons_.find(std::make_pair(window, id));
  return found == icons_.end() ? nullptr : &found->second;
}

const SimTray::Balloon* SimTray::ShownBalloon() const {
  return !balloons_.empty() && !balloons_.back().withdrawn ? &balloons_.back() : nullptr;
}

void SimTray::Withdraw(std::uint32_t window) {
  for (auto& b : balloons_) {
    if (b.window == window) b.withdrawn = true;
  }
}

int SimTray::WatchShell(std::function<void()> changed) {
  if (!watchable_) return 0;
  watchers_.emplace(nextWatch_, std::move(changed));
  return nextWatch_++;
}

void SimTray::StopShell() {
  present_ = false;
  icons_.clear();
  for (auto& b : balloons_) b.withdrawn = true;
  NotifyWatchers();
}

void SimTray::StartShell() {
  present_ = true;
  ++generation_;
  NotifyWatchers();
}

void SimTray::NotifyWatchers() {
  const auto watchers = watchers_;  // a watcher may unwatch
  for (const auto& [watch, changed] : watchers) {
    if (watchers_.count(watch) != 0) changed();
  }
}

void SimTray::Report(std::uint32_t window, std::uint32_t code, int buttons) {
  const auto found = windows_.find(window);
  if (found == windows_.end()) return;
  const Tray::Report report = found->second;  // the handler may destroy the window
  report(code, buttons);
}

void SimTray::Click(std::uint32_t window, int button) {
  std::uint32_t down = platform::traymsg::kLButtonDown;
  if (button == platform::button::kRight) down = platform::traymsg::kRButtonDown;
  if (button == platform::button::kMiddle) down = platform::traymsg::kMButtonDown;
  Report(window, down, button);
  Report(window, down + 1, 0);
}

}  // namespace pd::sim
