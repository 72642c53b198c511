// frmMain: the hot-key actions (kill the foreground application, add it to
// the exceptions list, show the window).
#include "app/frmMain.h"
#include "platform/text.h"

namespace pd::app {

void frmMain::HKPress(std::int32_t index) {
  const WindowHandle fg = platform_.input().ForegroundWindow();
  if (fg == Window()) return;
  switch (index) {
    case hk::kKill:
      // WIN is held now: its release must not open the start menu, which
      // would take the foreground from the application the next press is
      // meant for.
      platform_.input().MaskWinRelease();
      if (pressCount_ == 1) {
        KillActiveApp(fg);
      } else {
        // The second press counts within a second of the first, whenever
        // the first came.
        ++pressCount_;
        tmrUnPresser_->SetEnabled(false);
        tmrUnPresser_->SetEnabled(true);
      }
      break;
    case hk::kAddException: {
      if (!WindowShown()) return;
      const ProcessRecord rec = services_.GetWindowProcess(fg);
      if (rec.th32ProcessID == 0) return;  // no application in the foreground
      const String name = rec.ExeFile();
      if (IsBlocked(name, true)) {
        ShowEntryBalloon(name, msg::kInBlocks, platform::niif::kWarning);
      } else if (!IsException(name, true)) {
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

void frmMain::KillActiveApp(WindowHandle hwnd) {
  const ProcessRecord rec = services_.GetWindowProcess(hwnd);
  const String name = rec.ExeFile();
  tmrIconChanger_->SetEnabled(false);
  if (rec.th32ProcessID == 0) {
    // Nothing to kill (the desktop or the panel in the foreground, or the
    // window went): refused as for the shell, silently.
    SetTrayIcon(platform::res::kIconRefused);
  } else if (IsException(name, false)) {
    SetTrayIcon(platform::res::kIconRefused);
    if (chkTip_Bad->Value() == 1 && text::LowerCase(name).find(u"explorer.exe") == String::npos) {
      TrayIcon->ShowBallon(name, msg::kKillRefused, platform::niif::kWarning);
    }
  } else {
    const String path = services_.GetProcessPath(rec.th32ProcessID);
    services_.KillProcess(rec.th32ProcessID);
    SetTrayIcon(platform::res::kIconSuccess);
    // Success only once the process has really ended, within the wait.
    auto& loop = platform_.loop();
    constexpr int kStep = 10;
    bool ended = !StillRunning(rec.th32ProcessID, name, path);
    for (int waited = 0; !ended && waited < kKillWaitMs; waited += kStep) {
      loop.Sleep(kStep);
      ended = !StillRunning(rec.th32ProcessID, name, path);
    }
    if (ended) {
      if (chkTip_Good->Value() == 1) TrayIcon->ShowBallon(name, msg::kKilled, platform::niif::kInfo);
    } else {
      SetTrayIcon(platform::res::kIconRefused);
      TrayIcon->ShowBallon(name, msg::kKillFailed, platform::niif::kWarning);
    }
  }
  tmrIconChanger_->SetEnabled(true);
}

bool frmMain::StillRunning(ProcessId id, StringView name, StringView pathBefore) {
  bool found = false;
  platform_.processes().Walk([&](const platform::ProcessEntry& e) {
    if (e.th32ProcessID != id) return true;
    found = ProcessRecord(e).ExeFile() == name;
    return false;
  });
  if (!found) return false;
  return pathBefore.empty() || !services_.GetProcessPath(id).empty();
}

}  // namespace pd::app
