// frmMain: the hot-key actions (kill the foreground application, add it to
// the exceptions list, show the window).
#include <algorithm>
#include <iterator>
#include <vector>

#include "app/frmMain.h"
#include "platform/text.h"

namespace pd::app {

void frmMain::HKPress(std::int32_t index) {
  const WindowHandle fg = platform_.input().ForegroundWindow();
  if (fg == Window()) return;
  switch (index) {
    case hk::kKill:
      // The desktop reports the chord itself: the engine's sight of it
      // (over an X11 window) would count the press twice.
      if (desktopChord_) return;
      // WIN is held now: its release must not open the start menu, which
      // would take the foreground from the application the next press is
      // meant for.
      platform_.input().MaskWinRelease();
      CountChord([this, fg] { return services_.WindowProcess(fg); });
      break;
    case hk::kAddException: {
      if (!WindowShown()) return;
      const platform::ProcessIdentity who = services_.WindowProcess(fg);
      if (!who) return;  // no application in the foreground
      const String& name = who.name;
      if (IsBlocked(name, true)) {
        ShowEntryBalloon(name, msg::kInBlocks, platform::niif::kWarning);
      } else if (!IsException(name, true) && !RefuseUnstorable(name)) {
        tmrIconChanger_->SetEnabled(false);
        lstEXEList->AddItem(name);
        lstEXEList->SetListChecked(lstEXEList->ListCount() - 1, true);
        ShowEntryBalloon(name, msg::kAddedException, platform::niif::kInfo, platform::res::kIconSuccess);
      }
      break;
    }
    case hk::kShow:
      if (chkHKShow->Value() == 1) ShowWindowFromTray();
      break;
    default:
      break;
  }
}

void frmMain::CountChord(const std::function<platform::ProcessIdentity()>& foreground) {
  if (pressCount_ == 1) {
    KillActiveApp(foreground());
  } else {
    // The second press counts within a second of the first, whenever the
    // first came.
    ++pressCount_;
    tmrUnPresser_->SetEnabled(false);
    tmrUnPresser_->SetEnabled(true);
  }
}

// The process is read at the press: its name, as it is now, decides the
// exceptions check, and the kill goes to that process only (its id and
// start time). Success is reported once it has ended; "not ended" only when
// that is clear (KillWatch).
void frmMain::KillActiveApp(const platform::ProcessIdentity& who) {
  const String& name = who.name;
  tmrIconChanger_->SetEnabled(false);
  if (!who || services_.IsOwnProgram(who)) {
    // Nothing to kill (the desktop or the panel in the foreground, the
    // window went, or it is one of the program's own, such as its message
    // box): refused as for the shell, silently.
    SetTrayIcon(platform::res::kIconRefused);
  } else if (IsException(name, false)) {
    SetTrayIcon(platform::res::kIconRefused);
    if (chkTip_Bad->Value() == 1 && text::LowerCase(name).find(u"explorer.exe") == String::npos) {
      TrayIcon->ShowBallon(name, msg::kKillRefused, platform::niif::kWarning);
    }
  } else {
    const KillOutcome outcome = services_.KillProcess(who);
    SetTrayIcon(platform::res::kIconSuccess);
    auto& loop = platform_.loop();
    const std::uint64_t askedAt = loop.TickCount();
    constexpr int kStep = 10;
    bool ended = !services_.SameProcess(who);
    for (int waited = 0; !ended && outcome == KillOutcome::kAsked && waited < kKillWaitMs; waited += kStep) {
      loop.Sleep(kStep);
      ended = !services_.SameProcess(who);
    }
    KillWatch watch{.who = who, .askedAt = askedAt};
    if (ended) {
      ReportKill(watch, true);
    } else {
      if (outcome != KillOutcome::kAsked) ReportKill(watch, false);
      killWatches_.push_back(std::move(watch));
      if (!tmrKillWatch_) {
        tmrKillWatch_ = loop.CreateTimer([this] { tmrKillWatch_Timer(); });
        tmrKillWatch_->SetInterval(kKillWatchStepMs);
      }
      tmrKillWatch_->SetEnabled(true);
    }
  }
  tmrIconChanger_->SetEnabled(true);
}

// A killed process that outlived the wait. "Not ended" is reported once it
// is clear: the system refused the request, or the same process still runs
// kKillGiveUpMs after it. A later end within kKillWatchMs corrects that
// report (the success icon and "Было закрыто."), so a slow end never leaves
// a false failure standing.
void frmMain::tmrKillWatch_Timer() {
  const std::uint64_t now = platform_.loop().TickCount();
  // Taken out while the balloons are shown: a kill made meanwhile adds its
  // own watch.
  std::vector<KillWatch> watches = std::move(killWatches_);
  killWatches_.clear();
  std::erase_if(watches, [&](KillWatch& w) {
    if (!services_.SameProcess(w.who)) {
      ReportKill(w, true);
      return true;
    }
    if (!w.failed && now - w.askedAt >= kKillGiveUpMs) ReportKill(w, false);
    return now - w.askedAt >= kKillWatchMs;
  });
  watches.insert(watches.end(), std::make_move_iterator(killWatches_.begin()),
                 std::make_move_iterator(killWatches_.end()));
  killWatches_ = std::move(watches);
  if (killWatches_.empty()) tmrKillWatch_->SetEnabled(false);
}

// The outcome of a kill, with the balloon that stands for it: "Было
// закрыто." and the failure warning are both reports of the kill's outcome
// and follow chkTip_Good (TipNormal); the icons change whatever the tips.
void frmMain::ReportKill(KillWatch& watch, bool ended) {
  watch.failed = !ended;
  tmrIconChanger_->SetEnabled(false);
  SetTrayIcon(ended ? platform::res::kIconSuccess : platform::res::kIconRefused);
  if (chkTip_Good->Value() == 1) {
    TrayIcon->ShowBallon(watch.who.name, ended ? msg::kKilled : msg::kKillFailed,
                         ended ? platform::niif::kInfo : platform::niif::kWarning);
  }
  tmrIconChanger_->SetEnabled(true);
}

}  // namespace pd::app
