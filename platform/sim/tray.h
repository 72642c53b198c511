// The simulated notification area.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/tray.h"

namespace pd::sim {

// The shell's notification area as the test sees it: every call with its
// record, the icons shown now, and the balloons shown and withdrawn. The
// shell starts present; the test takes it away and brings it back (a
// restart), and acts as the user on an icon (Report, Click).
class SimTray final : public platform::Tray {
 public:
  std::uint32_t CreateReportWindow(Report report) override;
  void DestroyReportWindow(std::uint32_t window) override;
  std::uint32_t IconHandle(const std::shared_ptr<const platform::Picture>& picture) override;
  // Without a shell a call fails and changes nothing.
  bool Notify(std::uint32_t message, const platform::NotifyIconRecord& record) override;
  // An icon in the shell now.
  bool IconShown(std::uint32_t window, std::uint32_t id) override { return Icon(window, id) != nullptr; }
  // Refused (as on Windows) unless the test allowed it (as on Linux): then
  // recorded as a balloon with `alone` set.
  bool BalloonWithoutIcon(const platform::NotifyIconRecord& record) override;
  bool ShellPresent() override { return present_; }
  std::uint64_t ShellGeneration() override { return generation_; }
  int WatchShell(std::function<void()> changed) override;
  void UnwatchShell(int watch) override { watchers_.erase(watch); }

  struct Call {
    std::uint32_t message = 0;
    platform::NotifyIconRecord record;
    bool made = false;  // the shell was there
  };
  struct Balloon {
    String title;  // szInfoTitle and szInfo read back from the ANSI code page
    String text;
    std::uint32_t flags = 0;
    std::uint32_t window = 0;
    bool withdrawn = false;  // by a later record without one, or the icon's removal
    bool alone = false;      // shown without an icon (BalloonWithoutIcon)
  };
  [[nodiscard]] const std::vector<Call>& Calls() const { return calls_; }
  // The record of an icon shown now (by window and id), or nullptr.
  [[nodiscard]] const platform::NotifyIconRecord* Icon(std::uint32_t window, std::uint32_t id = 1) const;
  [[nodiscard]] std::size_t IconCount() const { return icons_.size(); }
  // The picture of an icon handle; nullptr for 0 or an unknown one.
  [[nodiscard]] std::shared_ptr<const platform::Picture> PictureOf(std::uint32_t handle) const;
  // Every balloon shown, in order; the last one not withdrawn is on screen.
  [[nodiscard]] const std::vector<Balloon>& Balloons() const { return balloons_; }
  [[nodiscard]] const Balloon* ShownBalloon() const;

  // The shell ends (every icon and balloon goes with it) / a new one starts;
  // watchers hear of both, unless the shell is one that cannot be watched
  // (as on Windows, where components poll).
  void StopShell();
  void StartShell();
  void SetShellWatchable(bool watchable) { watchable_ = watchable; }
  // Whether balloons show without an icon (Linux); refused by default.
  void SetBalloonsWithoutIcon(bool shown) { balloonsWithoutIcon_ = shown; }
  // The user acts on the icons of a window: a report as the shell sends it,
  // and a click (down and up) of a button::.
  void Report(std::uint32_t window, std::uint32_t code, int buttons = 0);
  void Click(std::uint32_t window, int button);

 private:
  void Withdraw(std::uint32_t window);
  void NotifyWatchers();

  std::map<std::uint32_t, Tray::Report> windows_;
  std::uint32_t nextWindow_ = 0x20010;
  std::map<const platform::Picture*, std::pair<std::uint32_t, std::shared_ptr<const platform::Picture>>> pictures_;
  std::uint32_t nextIcon_ = 0x30001;
  std::map<std::pair<std::uint32_t, std::uint32_t>, platform::NotifyIconRecord> icons_;
  std::vector<Call> calls_;
  std::vector<Balloon> balloons_;
  bool present_ = true;
  std::uint64_t generation_ = 1;
  bool watchable_ = true;
  bool balloonsWithoutIcon_ = false;
  std::map<int, std::function<void()>> watchers_;
  int nextWatch_ = 1;
};

}  // namespace pd::sim
