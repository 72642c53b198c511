// ProcessPage: the "Процессы" page of the main window.
//
// Builds its controls on the page container it is given, at their places
// and in their fonts: lblTitle, lblProc_Count, cmdSaveLog, lstProc (no
// check boxes, MultiSelect 2, "MS Sans Serif", ItemHeight 16), the four
// process buttons and the SaveDialog ("Текстовый файл (*.txt)|*.txt",
// filter index 1, flags 2: ask before overwriting).
//
// RefreshProcessList rebuilds lstProc and ProcessTable (entry i describes
// item i) from a new snapshot: "System" and "[System Process]" are left
// out, so is the program itself (its own id, or its own path compared
// case-insensitively);
// each item is the name, "<left=100>" and the full path, the two texts shown
// as they are: every "<" in them is followed by "<space=0>", an empty tag
// that draws nothing and keeps the list's markup from reading a tag there
// (the markup has no escape). lblProc_Count shows ListCount; the three
// selection buttons are enabled while an item is selected
// (UpdateProcessButtons, also the list's Click handler).
//
// Each refresh reads every listed process's identity (id, start time,
// name, path) at that moment; names and paths shown and reported are those.
// The commands act on the entries selected when the button was clicked
// (taken before the warning box, whose loop may change the list), and end
// a process only while its id still names the process listed (the same
// start time; the same name and path where the platform cannot tell start
// times). Others are not ended (their id may belong to another program by
// now).
// - cmdProc_Kill: the warning box (Yes/No, exclamation, "Внимание!"); on
//   Yes each chosen process is terminated, then after 1000 ms the list is
//   refreshed. No does nothing.
// - cmdProc_KillFile: the same box with its own question; on Yes each
//   chosen process is terminated, and the file listed for it at the refresh
//   (when there is one) is deleted once that process is no longer running:
//   at once for a process that had already ended, else as soon as it goes
//   within the same 1000 ms (a blocking wait that looks every 10 ms); a file
//   whose process outlives the wait is still tried once. Failures are
//   skipped. Then the list is refreshed.
// - cmdProc_AddBlock: each selected name (in list order) goes to the
//   block list through AddToBlockList, which unticks chkBlock_Active, puts
//   the name into txtBlock and runs the Click action of cmdBlock_Add.
// - cmdSaveLog: asks for a file with the SaveDialog and writes the report
//   (Report) in the platform's file text (Codec::ToFileText: the ANSI code
//   page on Windows, UTF-8 on Linux) in one atomic write: the
//   file is written whole or left as it was; a failure shows a warning
//   balloon titled with the file's name.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/modMain.h"
#include "controls/XP_Button.h"
#include "controls/XP_ListBox.h"
#include "forms/ControlHost.h"
#include "forms/Label.h"
#include "shell/SaveDialog.h"

namespace pd::app {

class ProcessPage {
 public:
  // What the rest of the window does for the page.
  struct Callbacks {
    // Unticks chkBlock_Active, puts the name into txtBlock and runs the
    // Click action of cmdBlock_Add.
    std::function<void(StringView name)> AddToBlockList;
    // ShowBallon of the tray icon (icon 1 information, 2 warning).
    std::function<void(StringView title, StringView text, int icon)> Balloon;
  };

  // The texts of the page.
  static const StringView kWarning;          // the three common lines, joined by CR LF
  static const StringView kQuestionKill;     // cmdProc_Kill
  static const StringView kQuestionKillFile; // cmdProc_KillFile
  static constexpr StringView kBoxTitle = u"Внимание!";
  static constexpr StringView kReportFailed = u"Не удалось сохранить отчет в этот файл.";
  static constexpr int kWaitMs = 1000;
  static constexpr int kPollMs = 10;
  static constexpr std::size_t kNameWidth = 30;

  ProcessPage(platform::Platform& platform, modMain& services, forms::ControlHost& host, forms::Container& page,
              Callbacks callbacks);
  ~ProcessPage();
  ProcessPage(const ProcessPage&) = delete;
  ProcessPage& operator=(const ProcessPage&) = delete;

  void RefreshProcessList();
  void UpdateProcessButtons();

  // The Click handlers of the buttons (connected by the page itself).
  void cmdProc_Refresh_Click() { RefreshProcessList(); }
  void cmdProc_Kill_Click();
  void cmdProc_KillFile_Click();
  void cmdProc_AddBlock_Click();
  void cmdSaveLog_Click();

  // The report of the current list under a window caption, lines ended by
  // CR LF, as text (the file holds it in the platform's file text).
  [[nodiscard]] String Report(StringView caption);

  [[nodiscard]] const std::vector<ProcessRecord>& ProcessTable() const { return table_; }

  // The controls of the page.
  forms::Label& lblTitle() { return *lblTitle_; }
  forms::Label& lblProc_Count() { return *lblProcCount_; }
  controls::XP_ListBox& lstProc() { return *lstProc_; }
  controls::XP_Button& cmdProc_Refresh() { return *cmdRefresh_; }
  controls::XP_Button& cmdProc_Kill() { return *cmdKill_; }
  controls::XP_Button& cmdProc_KillFile() { return *cmdKillFile_; }
  controls::XP_Button& cmdProc_AddBlock() { return *cmdAddBlock_; }
  controls::XP_Button& cmdSaveLog() { return *cmdSaveLog_; }
  shell::SaveDialog& SaveDialog() { return *saveDialog_; }

 private:
  // Asks the warning box; true on Yes.
  bool Confirm(StringView question);
  // A selected entry: the process listed and the file listed for it.
  struct Chosen {
    platform::ProcessIdentity who;
    String file;
  };
  [[nodiscard]] std::vector<Chosen> Selection() const;

  platform::Platform& platform_;
  modMain& services_;
  forms::ControlHost& host_;
  forms::Container& page_;
  Callbacks callbacks_;
  std::vector<ProcessRecord> table_;
  std::vector<platform::ProcessIdentity> who_;  // each entry's identity read at the refresh, parallel to table_

  std::unique_ptr<forms::Label> lblTitle_;
  std::unique_ptr<forms::Label> lblProcCount_;
  std::unique_ptr<controls::XP_Button> cmdSaveLog_;
  std::unique_ptr<controls::XP_ListBox> lstProc_;
  std::unique_ptr<controls::XP_Button> cmdRefresh_;
  std::unique_ptr<controls::XP_Button> cmdAddBlock_;
  std::unique_ptr<controls::XP_Button> cmdKill_;
  std::unique_ptr<controls::XP_Button> cmdKillFile_;
  std::unique_ptr<shell::SaveDialog> saveDialog_;
};

}  // namespace pd::app
