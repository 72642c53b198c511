// frmMain: the desktop's own report of the chord and of the foreground
// application, where the session's compositor gives them (Wayland); the
// hot-key engine and the platform's foreground window serve elsewhere.
#include "app/frmMain.h"

namespace pd::app {

using platform::DesktopKind;

void frmMain::StartDesktop(String& intro) {
  auto& desktop = platform_.desktop();
  desktopChord_ = false;
  const DesktopKind kind = desktop.Kind();
  if (kind == DesktopKind::kPlatform) return;
  if (kind != DesktopKind::kUnsupported) {
    desktopChord_ = desktop.WatchChord([this] { DesktopChord(); });
  }
  if (desktopChord_) {
    const String keys = desktop.ChordName();
    if (!keys.empty() && keys != u"Ctrl+Alt+WIN") intro = msg::kIntroKeys + keys + msg::kIntroKeysEnd;
    return;
  }
  // Neither the keys nor the active application: said once, at start; on
  // the first run in place of the introduction.
  if (firstRun_) {
    intro = msg::kDesktopNoChord;
  } else {
    TrayIcon->ShowBallon(Caption(), msg::kDesktopNoChord, platform::niif::kInfo);
  }
}

void frmMain::DesktopChord() {
  if (!loaded_ || !enabled_) return;
  CountChord([this] { return DesktopForeground(); });
}

// Asked of the desktop at the press and identified at once: the identity
// read now (name, path, start) is what the exceptions check and the kill
// go by.
platform::ProcessIdentity frmMain::DesktopForeground() {
  auto& desktop = platform_.desktop();
  const ProcessId id = desktop.ForegroundProcess();
  if (id == 0 || id == desktop.ShellProcess()) return {};
  return services_.Identify(id);
}

}  // namespace pd::app
