// KDE Plasma's KWin, over the session bus.
//
// KWin names no foreground process and binds no chord of modifiers alone
// for a client, but it runs scripts: the program writes a small one and
// loads it through org.kde.kwin.Scripting. The script registers a global
// shortcut of the desktop's shortcut service (Ctrl+Alt+End, which the user
// may change in the desktop's shortcut settings; the keys named are those
// the service holds) and, each time it is
// pressed, calls the program's Chord method with the process of the window
// active at that moment; it also reports each change of the active window
// (Active). Only calls from the connection that owns org.kde.KWin are
// taken. The desktop's own windows (its background, panels and
// shell), windows of no local process and windows of no pid are reported
// as 0. The script is unloaded at UnwatchChord and at the end.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/desktop.h"
#include "platform/x11/dbus_session.h"
#include "platform/x11/loop.h"

namespace pd::x11 {

class KWinDesktop final : public platform::Desktop {
 public:
  // nullptr when there is no session bus or no KWin on it.
  static std::unique_ptr<KWinDesktop> Connect(X11Loop& loop);
  ~KWinDesktop() override;
  KWinDesktop(const KWinDesktop&) = delete;
  KWinDesktop& operator=(const KWinDesktop&) = delete;

  platform::DesktopKind Kind() override { return platform::DesktopKind::kKWin; }
  bool WatchChord(std::function<void()> pressed) override;
  void UnwatchChord() override;
  String ChordName() override;
  // The process of the window active at the press being reported, else at
  // KWin's latest report of a change.
  ProcessId ForegroundProcess() override { return foreground_; }
  ProcessId ShellProcess() override { return shell_; }

  static constexpr const char* kService = "org.kde.KWin";
  static constexpr const char* kPlugin = "ProcessDrovak";
  static constexpr const char* kPath = "/org/processdrovak/Desktop";
  static constexpr const char* kInterface = "org.processdrovak.Desktop";
  static constexpr std::string_view kChordKeys = "Ctrl+Alt+End";
  // The script that reports to the connection named service.
  static std::string Script(std::string_view service);
  // A key combination as the desktop's shortcut service holds it (a Qt key
  // code with its modifier bits), as the user types it: "Ctrl+Alt+End",
  // "Ctrl+WIN+K".
  static String KeyName(std::int32_t combination);

 private:
  KWinDesktop(std::unique_ptr<DBusSession> bus, std::string owner, ProcessId shell);
  // Writes the script where only this user may write; "" when it cannot.
  static std::string WriteScript(const std::string& text);
  // Loads and runs the script; false when KWin refused either.
  bool LoadScript();
  // The keys the shortcut service gave the script's shortcut: the one the
  // user chose in the desktop's settings, or none where another action
  // holds them; nullopt where the service cannot be asked.
  std::optional<String> BoundKeys();
  void UnloadScript();
  void OnCall(DBusMessage* message);
  void Forget();

  static constexpr int kTimeoutMs = 1000;
  std::unique_ptr<DBusSession> bus_;
  std::string owner_;  // KWin's unique name, the only caller taken
  ProcessId shell_ = 0;
  ProcessId foreground_ = 0;
  std::string scriptFile_;
  bool bound_ = false;
  String keys_;
  int ownerWatch_ = 0;
  std::function<void()> pressed_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace pd::x11
