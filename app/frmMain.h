// frmMain: the program's one window and everything it does.
//
// The window spends most of its life hidden; the program lives as a tray
// icon with a popup menu ("Включен", "Основное окно", "Выход"). Three pages
// under a tab row: "Опции" (options and the exceptions list), "Процессы"
// (the process page, its own class) and "Запреты" (the block list).
//
// Load runs the start-up sequence in its fixed order: placement; the
// single-instance check (a second copy ends here, before any file,
// registry value or tray icon is touched); pages and tab skins; options,
// exceptions, blocks; the tray icon; the introductory balloon on the first
// run; the three hot keys; hot keys and block timer when enabled; hide.
//
// Files, in the data folder: Options.cfg (six keys), Exclamations.txt and
// Blocks.txt (name=1 or name=0 per line), read with any line ends (CR LF,
// LF, CR) and written with CR LF. Closing the window hides it and writes
// all three; "Выход" and the end of the session (log off, shutdown; on
// Linux SIGTERM, SIGHUP, SIGINT or the loss of the display) write all three
// too, remove the icon and quit the loop. A second start shows the window
// of the running one, as "Основное окно" does; a window the user minimised
// counts as hidden until shown again. A write that fails keeps the old file
// whole, keeps the edits in the controls and says so in a warning balloon
// naming the file. A file that is there but cannot be read at start is
// never written in that run: the program goes on with defaults (options) or
// an empty list and says so once. A name the list files cannot hold ("=", a
// line end, "[...]") is refused when it is added. List entries are shown as
// they are, never as markup.
// Leftover temporary files of interrupted saves of these three files are
// removed at start and at every save.
//
// Warnings about files wait until the tray icon exists, and those of one
// action (start-up, OK, exit) come as one balloon naming every file. When a
// save at "Выход" fails, the program keeps its icon and the warning for
// kExitWarningMs (or until the icon is clicked) before it ends.
//
// Hot keys: Ctrl+Alt+WIN twice within a second kills the foreground
// application (the one-second window starts at the first press), read at
// the press: its name as it is then decides the exceptions check, and only
// that process (id and start time) is ended. The success balloon comes when
// the process really ended; the warning only once it is clear that it runs
// on, and a later end corrects it. Nothing to kill (the desktop in the
// foreground) shows the refusal icon. Ctrl+Alt+Left click adds the
// foreground application to the exceptions list while the window is shown;
// Ctrl+Alt+Insert shows the window when its option is on.
//
// Block timer: while enabled, terminates every process whose name is on in
// the block list (never the program itself, by id or by its executable,
// never the shell), judged by the identity read at the moment of acting. A
// tick with no entry on walks nothing. A blocked process is reported once
// per process instance (id and start time): "Было заблокировано." when it
// really ended, a warning when it clearly could not be ended, and
// "Было заблокировано." again should it end after all.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <vector>

#include "app/ProcessPage.h"
#include "app/modMain.h"
#include "controls/XP_Button.h"
#include "controls/XP_CheckBox.h"
#include "controls/XP_ListBox.h"
#include "forms/ControlHost.h"
#include "forms/Form.h"
#include "forms/Label.h"
#include "forms/PictureBox.h"
#include "forms/Shape.h"
#include "forms/TextBox.h"
#include "hotkeys/HotKeys.h"
#include "ini/clsINI.h"
#include "registry/clsReg.h"
#include "shell/SaveDialog.h"
#include "shell/TrayIcon.h"

namespace pd::app {

// The texts the window shows and reports.
namespace msg {
inline constexpr char16_t kCaption[] = u"Process Drovak 1.3";
inline constexpr char16_t kIntroTitleSuffix[] = u" - Что это?";
inline constexpr char16_t kIntroText[] =
    u"Программа поможет в тех случаях, когда зависшее полноэкранное приложение не сворачивается, конечно же если "
    u"сам компьютер не повис.\r\n\r\nПрограмма завершает активное приложение при нажатии горячих клавиш Ctrl+Alt+WIN "
    u"дважды.";
inline constexpr char16_t kKilled[] = u"Было закрыто.";
inline constexpr char16_t kKillRefused[] = u"Не может быть закрыто, так как добавлено в список исключений.";
inline constexpr char16_t kKillFailed[] = u"Закрыть не удалось: приложение продолжает работать.";
inline constexpr char16_t kBlocked[] = u"Было заблокировано.";
inline constexpr char16_t kBlockFailed[] = u"Заблокировать не удалось: приложение продолжает работать.";
inline constexpr char16_t kInBlocks[] = u"Присутствует в списке запретов, добавить в список исключений нельзя.";
inline constexpr char16_t kAddedException[] = u"Добавлено в список исключений.";
inline constexpr char16_t kInExceptions[] = u"Присутствует в списке исключений, добавить в список запретов нельзя.";
inline constexpr char16_t kAlreadyListed[] = u"Уже присутствует в списке.";
inline constexpr char16_t kAddedBlock[] = u"Добавлен в список запрета.";
inline constexpr char16_t kAddHelpTitle[] = u"Информация о добавлении приложения в список";
inline constexpr char16_t kAddHelpText[] =
    u"Когда окно опций активно, то активируется режим добавления приложений в список исключений.\r\n\r\nДля "
    u"добавления приложения в список, нужно сделать его активным и нажать горячую клавишу Ctrl+Alt+Левый щелчок.";
// Told once, titled with the caption, when no tray shows the icon.
inline constexpr char16_t kNoTray[] =
    u"Значок программы не может быть показан: на этом рабочем столе нет области уведомлений.\r\n\r\nОкно "
    u"программы вызывается клавишами Ctrl+Alt+Insert (если это включено в опциях) или повторным запуском программы.";
// Told at start on a Wayland desktop that reports neither the keys nor the
// active application to the program (on the first run instead of the
// introduction, whose promise it corrects; a balloon holds 255 characters).
inline constexpr char16_t kDesktopNoChord[] =
    u"Этот рабочий стол (Wayland) не сообщает программе ни клавиш, ни активного окна: Ctrl+Alt+WIN дважды "
    u"закрывает только приложения X11 (XWayland).\r\n\r\nСписок запретов, страница процессов и окно программы "
    u"работают.";
// The introduction where the desktop binds the double press to other keys
// than Ctrl+Alt+WIN (one that cannot bind modifiers alone): the keys and
// kIntroKeysEnd follow.
inline constexpr char16_t kIntroKeys[] =
    u"Программа поможет в тех случаях, когда зависшее полноэкранное приложение не сворачивается, конечно же если "
    u"сам компьютер не повис.\r\n\r\nПрограмма завершает активное приложение при нажатии клавиш ";
inline constexpr char16_t kIntroKeysEnd[] = u" дважды.";
inline constexpr char16_t kSaveFailed[] =
    u"Не удалось сохранить. Изменения остаются в программе и будут записаны при следующем сохранении.";
inline constexpr char16_t kSaveFailedAtExit[] =
    u"Не удалось сохранить. Изменения, сделанные после последнего сохранения, потеряны.";
inline constexpr char16_t kOptionsUnreadable[] =
    u"Не удалось прочитать. Настройки взяты по умолчанию, файл не будет перезаписан до перезапуска программы.";
inline constexpr char16_t kListUnreadable[] =
    u"Не удалось прочитать. Список пуст, файл не будет перезаписан до перезапуска программы.";
inline constexpr char16_t kCannotStore[] =
    u"Не может быть добавлено: имя со знаком «=», переводом строки или в скобках «[ ]» нельзя сохранить в списке.";
}  // namespace msg

// Tray menu item ids.
namespace menu {
inline constexpr int kState = 1;
inline constexpr int kShow = 2;
inline constexpr int kExit = 3;
}  // namespace menu

// Hot-key indexes, in registration order.
namespace hk {
inline constexpr int kKill = 0;
inline constexpr int kAddException = 1;
inline constexpr int kShow = 2;
}  // namespace hk

class frmMain final : public forms::Form {
 public:
  static constexpr int kClientWidth = 6540;
  static constexpr int kClientHeight = 6990;
  static constexpr int kIconChangerMs = 3500;
  static constexpr int kUnPresserMs = 1000;
  static constexpr int kBlockMs = 1;
  static constexpr int kKillWaitMs = 300;
  // How long a warning about a failed save at "Выход" stays before the icon
  // (and the balloon with it) goes.
  static constexpr int kExitWarningMs = 5000;
  // A killed process that outlives the wait: "not ended" once it still runs
  // this long after the request; watched this long for a late end.
  static constexpr int kKillGiveUpMs = 3000;
  static constexpr int kKillWatchMs = 30000;
  static constexpr int kKillWatchStepMs = 100;
  // A blocked process the system was asked to end: "could not be blocked"
  // once it still runs this long after the request.
  static constexpr int kBlockGiveUpMs = 3000;
  // How often a blocked process reported as not ended is looked at again.
  static constexpr int kBlockRecheckMs = 1000;

  explicit frmMain(forms::ControlHost& host);
  ~frmMain() override;

  // The start-up sequence. False when another instance runs: nothing was
  // touched and the caller ends the program.
  bool Load();

  // ---- Part of the options (Options.cfg and the Run value) ----
  static constexpr char16_t kOptionsFile[] = u"Options.cfg";
  void LoadOptions();
  void SaveOptions();
  void ApplyAutoStart();
  static bool TextToBool(StringView text);
  static String BoolToText(bool value);
  [[nodiscard]] bool FirstRun() const { return firstRun_; }
  // The Run value's data: the quoted path of the executable.
  [[nodiscard]] String AutoStartCommand();

  // ---- The two lists ----
  void LoadExceptions();
  void SaveExceptions();
  void LoadBlocks();
  void SaveBlocks();
  bool IsException(StringView name, bool countDisabled) const;
  bool IsBlocked(StringView name, bool countDisabled) const;
  // Whether a file was there but could not be read at start: it is not
  // written for the rest of the run.
  [[nodiscard]] bool Unread(StringView file) const;

  // ---- Window and tray ----
  // Enabled: the check mark of "Включен".
  [[nodiscard]] bool Enabled() const { return enabled_; }
  void mnuState_Click();
  void mnuShow_Click();
  void mnuExit_Click();
  void cmdOK_Click();
  void tabPage_Click(int index);
  // The normal tray icon of the current state (101 enabled, 104 disabled).
  [[nodiscard]] int NormalIconId() const;
  // Shown on the screen: shown and not minimised by the user.
  [[nodiscard]] bool WindowShown() const;
  // The resource number of the icon the tray shows now.
  [[nodiscard]] int TrayIconId() const { return trayIconId_; }
  // The process page's refresh (empty until the page exists).
  void RefreshProcessList();

  // ---- Hot keys ----
  void HKPress(std::int32_t index);
  // The process is read at the press (its name decides the exceptions
  // check); the empty identity is refused.
  void KillActiveApp(const platform::ProcessIdentity& who);
  // The desktop reported the chord (a Wayland compositor).
  void DesktopChord();
  // Whether the desktop reports the chord (then the hot-key engine's kill
  // entry is not counted, so that no press counts twice).
  [[nodiscard]] bool DesktopWatchesChord() const { return desktopChord_; }
  [[nodiscard]] std::int32_t PressCount() const { return pressCount_; }

  // ---- Block timer ----
  void tmrBlock_Timer();
  void RunBlockTimer();
  [[nodiscard]] bool BlockTimerRunning() const { return tmrBlock_->Enabled(); }
  // Process walks the block timer made (ticks with no entry on make none).
  [[nodiscard]] std::size_t BlockWalks() const { return blockWalks_; }

  // ---- Shared with the process page ----
  void ShowEntryBalloon(StringView title, StringView text, std::uint32_t icon, int trayIcon = 0);
  void SetTrayIcon(int resourceId);
  [[nodiscard]] modMain& Services() { return services_; }
  [[nodiscard]] String DataPath(StringView name);
  // Removes the temporary files that interrupted saves of the program's own
  // files left in the data folder (the file port knows their names); the
  // number removed.
  int RemoveLeftoverTemps();

  // ---- Controls (the process page and tests reach them by name) ----
  std::array<std::unique_ptr<controls::XP_Button>, 3> tabPage;
  std::array<std::unique_ptr<forms::PictureBox>, 3> picPage;
  std::unique_ptr<forms::Shape> shpShape1;
  std::unique_ptr<controls::XP_Button> cmdOK;
  // Page 0.
  std::unique_ptr<controls::XP_CheckBox> chkAutoStart, chkHKShow, chkTip_Good, chkTip_Bad, chkTip_Block;
  std::unique_ptr<forms::Label> lblLabel1, lblList;
  std::unique_ptr<controls::XP_ListBox> lstEXEList;
  std::unique_ptr<controls::XP_Button> cmdList_Add, cmdList_Delete;
  std::array<std::unique_ptr<controls::XP_Button>, 2> cmdList_EnableAll;
  // Page 1: the process page builds and works its own controls.
  [[nodiscard]] ProcessPage& Processes() { return *page_; }
  // Page 2.
  std::unique_ptr<forms::Label> lblLabel2;
  std::unique_ptr<controls::XP_ListBox> lstBlock;
  std::unique_ptr<forms::TextBox> txtBlock;
  std::unique_ptr<controls::XP_Button> cmdBlock_Add, cmdBlock_Delete;
  std::unique_ptr<controls::XP_CheckBox> chkBlock_Active;
  std::array<std::unique_ptr<controls::XP_Button>, 2> cmdBlock_EnableAll;
  // Components.
  std::unique_ptr<shell::TrayIcon> TrayIcon;
  std::unique_ptr<hotkeys::HotKeys> HotKeys;

  [[nodiscard]] platform::Timer& tmrIconChanger() { return *tmrIconChanger_; }
  [[nodiscard]] platform::Timer& tmrUnPresser() { return *tmrUnPresser_; }

 private:
  void CreatePage0();
  void CreatePage2();
  void Connect();
  void TrayIcon_MouseDown();
  void TrayIcon_NoTray();
  void Form_QueryUnload(bool& cancel, int unloadMode);
  void Form_Unload();
  void tmrIconChanger_Timer();
  void cmdList_Add_Click();
  void cmdBlock_Add_Click();
  static void DeleteSelected(controls::XP_ListBox& list);
  static void EnableAll(controls::XP_ListBox& list, bool on);
  void LoadList(controls::XP_ListBox& list, StringView file);
  void SaveList(const controls::XP_ListBox& list, StringView file);
  void ReportSaveFailure(StringView file);
  // A name added to a list that the list file could not hold: a warning
  // balloon, and true.
  bool RefuseUnstorable(StringView name);
  // Warnings about files: queued while held (HoldWarnings..ReleaseWarnings
  // nest) or while the tray icon is not there yet; then shown as one balloon
  // titled with every file named.
  void Warn(StringView file, const char16_t* text);
  void HoldWarnings() { ++warningHolds_; }
  void ReleaseWarnings();
  // Removes the icon and ends the loop.
  void EndRun();
  // The desktop's part at start: it reports the chord, or the user is told
  // what works (added to the introduction on the first run).
  void StartDesktop(String& intro);
  // A press of the chord, by the hot-key engine or the desktop: the second
  // within kUnPresserMs of the first ends what foreground() names.
  void CountChord(const std::function<platform::ProcessIdentity()>& foreground);
  // The process the desktop names as the foreground one, identified now;
  // empty for none, for a window with no local process and for the
  // desktop's own.
  platform::ProcessIdentity DesktopForeground();
  void ShowWindowFromTray();
  // A process the double press asked to end that outlived the wait.
  struct KillWatch {
    platform::ProcessIdentity who;
    std::uint64_t askedAt = 0;
    bool failed = false;  // "not ended" reported
  };
  void tmrKillWatch_Timer();
  void ReportKill(KillWatch& watch, bool ended);
  // What became of the processes the block timer handled; see the tick.
  void SettleBlocked(std::uint64_t now);
  void ReportBlocked(StringView name, bool ended);
  [[nodiscard]] bool AnyBlockOn() const;
  // Whether blockNames_ holds the names switched on in the block list, in
  // lower case and list order (compared in place); otherwise makes it so.
  bool KeepBlockedNames();

  platform::Platform& platform_;
  modMain services_;
  ini::clsINI optionsDoc_{platform_.codec()};
  std::unique_ptr<clsReg> registry_;
  bool firstRun_ = false;
  bool enabled_ = false;
  bool loaded_ = false;
  bool exiting_ = false;
  std::vector<String> unread_;
  struct Warning {
    String file;
    const char16_t* text;
  };
  std::vector<Warning> warnings_;
  int warningHolds_ = 0;
  bool listening_ = false;  // the end and show requests reach this window
  int trayIconId_ = 0;
  bool noTrayTold_ = false;
  bool desktopChord_ = false;  // the desktop reports the chord  // the user was told how to reach the window without a tray
  std::int32_t pressCount_ = 0;
  std::size_t blockWalks_ = 0;
  // Blocked processes the block timer handled and that still run, each
  // by its identity (id and start time): when it was asked to end, and
  // whether it was reported as one that could not be ended.
  struct BlockedProcess {
    platform::ProcessIdentity who;
    std::uint64_t askedAt = 0;
    bool failed = false;
  };
  std::vector<BlockedProcess> blocked_;
  std::vector<KillWatch> killWatches_;
  // What the latest walk of the block timer looked for, and the process
  // table's mark taken before it: a tick that finds both unchanged and no
  // handled process to look at has nothing new to see. blockSince_ is where
  // its walks of the changed processes take up (0: walk all);
  // blockSettledAt_ when it last looked at the handled processes.
  std::vector<String> blockNames_;
  std::uint64_t blockMark_ = 0;
  std::uint64_t blockSince_ = 0;
  std::uint64_t blockSettledAt_ = 0;
  std::unique_ptr<platform::Timer> tmrIconChanger_, tmrUnPresser_, tmrBlock_, tmrExit_;
  std::unique_ptr<platform::Timer> tmrKillWatch_;  // made at the first kill that outlives its wait
  std::unique_ptr<ProcessPage> page_;
};

}  // namespace pd::app
