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
// out, so is the program itself (its own path, compared case-insensitively);
// each item is the name, "<left=100>" and the full path, the two texts shown
// as they are: every "<" in them is followed by "<space=0>", an empty tag
// that draws nothing and keeps the list's markup from reading a tag there
// (the markup has no escape). lblProc_Count shows ListCount; the three
// selection buttons are enabled while an item is selected
// (UpdateProcessButtons, also the list's Click handler).
//
// The commands act on the table of the last refresh, and only on the
// entries whose id still names the same process: a new snapshot must list
// the id with the same name and, where the platform tells start times, the
// same start time. Others are skipped (their id may belong to another
// program by now).
// - cmdProc_Kill: the warning box (Yes/No, exclamation, "Внимание!"); on
//   Yes each selected process is terminated, then after 1000 ms the list is
//   refreshed. No does nothing.
// - cmdProc_KillFile: the same box with its own question; on Yes each
//   selected process is terminated and its executable (when the path is
//   known and a file is there) deleted once the process has ended. The
//   program waits for the ends within the same 1000 ms (a blocking wait that
//   looks every 10 ms), deleting each file as soon as its process is gone;
//   a file whose process outlives the wait is still tried once. Failures
//   are skipped. Then the list is refreshed.
// - cmdProc_AddBlock: each selected name (in list order) goes to the
//   block list through AddToBlockList, which unticks chkBlock_Active, puts
//   the name into txtBlock and runs the Click action of cmdBlock_Add.
// - cmdSaveLog: asks for a file with the SaveDialog and writes the report
//   (Report) in the platform's file text (text::ToFileText: the ANSI code
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
  // A name or path as list markup that shows exactly the text.
  [[nodiscard]] static String PlainMarkup(StringView text);

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
  // The selected entries whose id still names the process listed.
  std::vector<std::size_t> SelectedStillRunning();
  // Whether the process of entry i is still running (the same one).
  bool StillRunning(std::size_t i);

  platform::Platform& platform_;
  modMain& services_;
  forms::ControlHost& host_;
  forms::Container& page_;
  Callbacks callbacks_;
  std::vector<ProcessRecord> table_;
  std::vector<std::uint64_t> started_;  // StartTime of each entry at the refresh, parallel to table_

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
