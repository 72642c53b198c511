// The process page on the simulation: the list and its buttons, the
// terminating commands with their box and waits, the block list hand-over,
// the report, and the guards against a reused id, a file still in use, a
// failing report file and names that look like markup.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/ProcessPage.h"
#include "forms/ControlHost.h"
#include "forms/Form.h"
#include "platform/sim/platform.h"
#include "platform/text.h"
#include "test_util.h"

namespace pd::app {
namespace {

using platform::mb::kIdNo;
using platform::mb::kIdYes;

struct Shown {
  String title;
  String text;
  int icon = 0;
};

class ProcessPageTest : public ::testing::Test {
 protected:
  // A real file of the given size in the test's folder.
  String MakeFile(const std::string& name, std::size_t size) {
    const String path = folder_.File(name);
    std::ofstream(std::filesystem::path(path), std::ios::binary) << std::string(size, 'x');
    return path;
  }
  ProcessId Start(StringView path, sim::SimProcessOptions o = {}) { return sim_.processes().Start(path, o); }
  std::int32_t IndexOf(ProcessId id) {
    const auto& t = page_.ProcessTable();
    for (std::size_t i = 0; i < t.size(); ++i) {
      if (t[i].th32ProcessID == id) return static_cast<std::int32_t>(i);
    }
    return -1;
  }
  void Select(ProcessId id) { page_.lstProc().SetSelected(IndexOf(id), true); }
  // A left click on row i of the list, as the user makes it.
  void ClickRow(int row) {
    const Rect r = page_.lstProc().FormRect();
    sim_.Click(form_.Window(), Point{r.left + 40, r.top + 1 + row * 16 + 8});
  }
  std::vector<String> Names() {
    std::vector<String> n;
    for (const auto& r : page_.ProcessTable()) n.push_back(r.ExeFile());
    return n;
  }

  test::TempFolder folder_;
  sim::SimPlatform sim_{folder_.Str()};
  forms::ControlHost host_{sim_};
  forms::Form form_{host_, u"frmMain", u"Process Drovak 1.3"};
  modMain services_{sim_};
  std::vector<String> added_;
  std::vector<Shown> balloons_;
  ProcessPage page_{sim_, services_, host_, form_,
                    ProcessPage::Callbacks{
                        [this](StringView name) { added_.emplace_back(name); },
                        [this](StringView title, StringView text, int icon) {
                          balloons_.push_back({String(title), String(text), icon});
                        }}};
};

TEST_F(ProcessPageTest, RefreshListsEveryProcessButTheSystemEntriesAndTheProgramItself) {
  Start(u"System");
  Start(u"[System Process]");
  const ProcessId lower = Start(u"C:/Windows/system");
  const String ownUpper = text::FromUtf8(text::ToUtf8(sim_.app().Folder())) + u"/PROCESSDROVAK.EXE";
  Start(ownUpper);  // the program's own path in another letter case
  const ProcessId copy = Start(u"C:/Other/ProcessDrovak.exe");
  const ProcessId hidden = Start(u"C:/Windows/csrss.exe", {.pathUnreadable = true});
  form_.Show();
  page_.RefreshProcessList();

  EXPECT_EQ(Names(), (std::vector<String>{u"system", u"ProcessDrovak.exe", u"csrss.exe"}));
  auto& list = page_.lstProc();
  ASSERT_EQ(list.ListCount(), 3);
  EXPECT_EQ(list.List(IndexOf(lower)), u"system<left=100>C:/Windows/system");
  EXPECT_EQ(list.List(IndexOf(copy)), u"ProcessDrovak.exe<left=100>C:/Other/ProcessDrovak.exe");
  EXPECT_EQ(list.List(IndexOf(hidden)), u"csrss.exe<left=100>") << "an unreadable path leaves the column empty";
  EXPECT_EQ(page_.lblProc_Count().Caption(), u"3");

  // The selection buttons follow the selection: off after a refresh, on
  // after a click on a row, off again after the next refresh.
  auto buttons = [&] {
    return std::vector<bool>{page_.cmdProc_Kill().Enabled(), page_.cmdProc_KillFile().Enabled(),
                             page_.cmdProc_AddBlock().Enabled()};
  };
  EXPECT_EQ(buttons(), std::vector<bool>(3, false));
  EXPECT_TRUE(page_.cmdProc_Refresh().Enabled());
  ClickRow(1);
  EXPECT_TRUE(list.Selected(1));
  EXPECT_EQ(buttons(), std::vector<bool>(3, true));
  page_.cmdProc_Refresh().Click.Raise();
  EXPECT_EQ(buttons(), std::vector<bool>(3, false));
}

TEST_F(ProcessPageTest, NamesAndPathsThatLookLikeMarkupShowAsTheyAre) {
  // (No '/' in the names: the simulation takes the last part of a path.)
  const std::vector<String> names = {u"<color=16777215>hidden.exe", u"<left=-5000>moved.exe", u"a<b>c<br>.exe",
                                     u"<td width=5>x.exe", u"<<<", u"<img=1,16,16>"};
  for (const String& n : names) Start(u"C:/weird " + n + u"/" + n);
  page_.RefreshProcessList();
  ASSERT_EQ(page_.lstProc().ListCount(), static_cast<std::int32_t>(names.size()));
  for (std::size_t i = 0; i < names.size(); ++i) {
    const auto& item = page_.lstProc().ItemAt(static_cast<std::int32_t>(i));
    EXPECT_EQ(item.PlainText, names[i] + u"C:/weird " + names[i] + u"/" + names[i]) << text::ToUtf8(names[i]);
  }
}

TEST_F(ProcessPageTest, KillAsksFirstAndTerminatesOnlyOnYes) {
  const ProcessId a = Start(u"C:/a.exe");
  const ProcessId b = Start(u"C:/b.exe");
  const ProcessId c = Start(u"C:/c.exe");
  page_.RefreshProcessList();
  Select(a);
  Select(c);

  sim_.dialogs().QueueMessageBoxAnswer(kIdNo);
  const auto walks = sim_.processes().WalkCount();
  const auto t0 = sim_.loop().Now();
  page_.cmdProc_Kill().Click.Raise();
  ASSERT_EQ(sim_.dialogs().History().size(), 1u);
  const auto& box = sim_.dialogs().History().back();
  EXPECT_EQ(box.title, u"Внимание!");
  EXPECT_EQ(box.flags, platform::mb::kYesNo | platform::mb::kIconExclamation) << "Yes is the default button";
  EXPECT_EQ(box.text,
            u"BHИMAHИE! Зaвepшeниe пpoцecca мoжeт\r\nпpивecти к нeжeлaтeльным peзyльтaтaм, в тoм чиcлe\r\n"
            u"к пoтepe дaнныx или к нecтaбильнoй paбoтe cиcтeмы.\r\nBы дeйcтвитeльнo xoтитe зaвepшить пpoцecc?");
  EXPECT_TRUE(sim_.processes().TerminateRequests().empty());
  EXPECT_EQ(sim_.processes().WalkCount(), walks) << "No does not refresh";
  EXPECT_EQ(sim_.loop().Now(), t0);

  sim_.dialogs().QueueMessageBoxAnswer(kIdYes);
  page_.cmdProc_Kill().Click.Raise();
  EXPECT_EQ(sim_.processes().TerminateRequests(), (std::vector<ProcessId>{a, c}));
  EXPECT_EQ(sim_.loop().Now(), t0 + 1000);
  EXPECT_EQ(Names(), std::vector<String>{u"b.exe"}) << "refreshed after the wait";
  EXPECT_TRUE(sim_.processes().IsRunning(b));
}

TEST_F(ProcessPageTest, TheHostsOwnBoxHasYesAsItsDefaultButton) {
  const ProcessId a = Start(u"C:/a.exe");
  page_.RefreshProcessList();
  page_.lstProc().SetSelected(0, true);
  // No queued answer: the control host shows its own box; the user presses
  // Enter, which takes the default button.
  int boxes = 0;
  sim_.loop().SetUser([&](int) {
    for (forms::Form* f : host_.Forms()) {
      if (f != &form_ && sim_.host().IsVisible(f->Window())) {
        ++boxes;
        EXPECT_EQ(sim_.host().Caption(f->Window()), u"Внимание!");
        sim_.PressKey(f->Window(), platform::vk::kReturn);
      }
    }
  });
  page_.cmdProc_Kill().Click.Raise();
  EXPECT_EQ(boxes, 1);
  EXPECT_EQ(sim_.processes().TerminateRequests(), std::vector<ProcessId>{a});
}

// An id listed by the last refresh may name another process by now: that
// one is not ended. The file listed is still deleted on "Удалить файл"
// (its process is gone), unless the new process runs from it.
TEST_F(ProcessPageTest, CommandsSkipAnIdThatNoLongerNamesTheListedProcess) {
  struct Case {
    const char* what;
    String replacement;  // started with the old id after the listed process ended; "" none
  };
  const std::vector<Case> cases = {{"same name, later start", u"C:/app.exe"},
                                   {"another program", u"C:/other.exe"},
                                   {"gone", u""}};
  for (const auto& c : cases) {
    for (bool withFile : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (withFile ? " (Удалить файл)" : " (Завершить)"));
      const String exe = MakeFile("app.exe", 10);
      const ProcessId old = Start(exe);
      page_.RefreshProcessList();
      Select(old);
      sim_.processes().End(old);
      ProcessId now = 0;
      if (!c.replacement.empty()) now = Start(c.replacement == u"C:/app.exe" ? exe : c.replacement, {.id = old});
      const auto before = sim_.processes().TerminateRequests().size();
      sim_.dialogs().QueueMessageBoxAnswer(kIdYes);
      (withFile ? page_.cmdProc_KillFile() : page_.cmdProc_Kill()).Click.Raise();
      EXPECT_EQ(sim_.processes().TerminateRequests().size(), before);
      if (now != 0) {
        EXPECT_TRUE(sim_.processes().IsRunning(now));
      }
      const bool inUse = c.replacement == u"C:/app.exe";
      EXPECT_EQ(sim_.files().FileExists(exe), !withFile || inUse);
      if (now != 0) sim_.processes().End(now);
    }
  }
}

TEST_F(ProcessPageTest, KillFileDeletesEachExecutableOnceItsProcessHasEnded) {
  const String slow = MakeFile("slow.exe", 100);      // takes 300 ms to end
  const String stuck = MakeFile("stuck.exe", 100);    // refuses termination: its file stays in use
  const String kept = MakeFile("kept.exe", 100);      // not selected
  const ProcessId s = Start(slow, {.exitDelayMs = 300});
  const ProcessId k = Start(stuck, {.refusesTermination = true});
  Start(kept);
  const ProcessId noPath = Start(u"C:/guarded.exe", {.pathUnreadable = true});
  page_.RefreshProcessList();
  Select(s);
  Select(k);
  Select(noPath);

  const auto t0 = sim_.loop().Now();
  sim_.dialogs().QueueMessageBoxAnswer(kIdYes);
  page_.cmdProc_KillFile().Click.Raise();
  EXPECT_EQ(sim_.dialogs().History().back().text.substr(sim_.dialogs().History().back().text.rfind(u"\r\n") + 2),
            u"Bы дeйcтвитeльнo xoтитe зaвepшить пpoцecc и удалить файл?");
  EXPECT_EQ(sim_.loop().Now(), t0 + 1000) << "the wait for the ends stays within the 1000 ms";
  EXPECT_FALSE(sim_.files().FileExists(slow)) << "deleted after its process ended";
  EXPECT_TRUE(sim_.files().FileExists(stuck)) << "still in use: skipped";
  EXPECT_TRUE(sim_.files().FileExists(kept));
  EXPECT_EQ(Names(), (std::vector<String>{u"stuck.exe", u"kept.exe"}));
}

// The commands act on what was selected when the button was clicked, not
// on what is selected when the box is answered.
TEST_F(ProcessPageTest, CommandsActOnTheSelectionTakenAtTheClick) {
  for (const bool withFile : {false, true}) {
    SCOPED_TRACE(withFile ? "Удалить файл" : "Завершить");
    const String fileA = MakeFile("a.exe", 10);
    const String fileB = MakeFile("b.exe", 10);
    const ProcessId a = Start(fileA);
    const ProcessId b = Start(fileB);
    page_.RefreshProcessList();
    Select(a);
    // No queued answer: the host's own box runs its loop; meanwhile the
    // selection moves to b, then the user answers Yes.
    sim_.loop().SetUser([&](int) {
      for (forms::Form* f : host_.Forms()) {
        if (f == &form_ || !sim_.host().IsVisible(f->Window())) continue;
        page_.lstProc().SetSelected(IndexOf(a), false);
        page_.lstProc().SetSelected(IndexOf(b), true);
        sim_.PressKey(f->Window(), platform::vk::kReturn);
      }
    });
    (withFile ? page_.cmdProc_KillFile() : page_.cmdProc_Kill()).Click.Raise();
    sim_.loop().SetUser(nullptr);
    EXPECT_FALSE(sim_.processes().IsRunning(a));
    EXPECT_TRUE(sim_.processes().IsRunning(b));
    EXPECT_EQ(sim_.files().FileExists(fileA), !withFile);
    EXPECT_TRUE(sim_.files().FileExists(fileB));
    sim_.processes().End(b);
  }
}

// Names and paths are read fresh at the refresh, not taken from the walk:
// a process that replaced its executable unnoticed by walks of the changed
// processes is listed, reported and deleted as what it runs now.
TEST_F(ProcessPageTest, TheListShowsAndDeletesWhatEachProcessRunsNow) {
  const String before = MakeFile("before.exe", 10);
  const String after = MakeFile("after.exe", 2048);
  const ProcessId id = Start(before);
  sim_.processes().ExecUnmarked(id, after);
  page_.RefreshProcessList();
  ASSERT_EQ(Names(), std::vector<String>{u"after.exe"});
  EXPECT_EQ(page_.ProcessTable()[0].FullPath, after);
  EXPECT_EQ(page_.lstProc().List(0), u"after.exe<left=100>" + after);
  EXPECT_NE(page_.Report(u"").find(u"after.exe"), String::npos);

  Select(id);
  sim_.dialogs().QueueMessageBoxAnswer(kIdYes);
  page_.cmdProc_KillFile().Click.Raise();
  EXPECT_FALSE(sim_.processes().IsRunning(id));
  EXPECT_FALSE(sim_.files().FileExists(after)) << "the file it ran";
  EXPECT_TRUE(sim_.files().FileExists(before));
}

TEST_F(ProcessPageTest, AddBlockHandsEachSelectedNameOverInListOrder) {
  const ProcessId a = Start(u"C:/a.exe");
  Start(u"C:/b.exe");
  const ProcessId c = Start(u"C:/Программы/c.exe");
  page_.RefreshProcessList();
  page_.cmdProc_AddBlock().Click.Raise();
  EXPECT_TRUE(added_.empty());
  Select(c);
  Select(a);
  page_.cmdProc_AddBlock().Click.Raise();
  EXPECT_EQ(added_, (std::vector<String>{u"a.exe", u"c.exe"}));
}

TEST_F(ProcessPageTest, TheReportListsEveryProcessInItsLayout) {
  const String small = MakeFile("small.exe", 1023);
  const String two = MakeFile("two.exe", 2048);
  const String thirty(30, u'n');
  const String exact = MakeFile(text::ToUtf8(thirty), 5000);
  Start(small);
  Start(two);
  Start(exact);
  Start(u"C:/Нет/missing.exe");
  Start(u"C:/guarded.exe", {.pathUnreadable = true});
  page_.RefreshProcessList();

  const String report = folder_.File("report.txt");
  sim_.dialogs().QueueSaveFileAnswer(report);
  page_.cmdSaveLog().Click.Raise();
  const auto& req = sim_.dialogs().SaveRequests().back();
  EXPECT_EQ(req.Flags, 2u);
  EXPECT_EQ(req.nFilterIndex, 1u);

  auto pad = [](const String& name) { return name + String(name.size() < 30 ? 30 - name.size() : 0, u' '); };
  const String expected = u"Отчет списка процессов Process Drovak 1.3\r\nКоличество процессов: 5\r\n\r\n"
                          u"1  " + pad(u"small.exe") + small + u"  [0 Кб]\r\n"
                          u"2  " + pad(u"two.exe") + two + u"  [2 Кб]\r\n"
                          u"3  " + thirty + exact + u"  [4 Кб]\r\n"
                          u"4  " + pad(u"missing.exe") + u"C:/Нет/missing.exe\r\n"
                          u"5  " + pad(u"guarded.exe") + u"\r\n";
  std::string bytes;
  ASSERT_TRUE(sim_.files().ReadFile(report, bytes));
  EXPECT_EQ(bytes, text::Utf8Codec().ToFileText(expected));

  // A cancelled dialog writes nothing; an empty list gives the header only.
  for (const auto& r : std::vector<ProcessRecord>(page_.ProcessTable())) sim_.processes().End(r.th32ProcessID);
  page_.RefreshProcessList();
  const int writes = sim_.files().Writes();
  sim_.dialogs().QueueSaveFileAnswer(std::nullopt);
  page_.cmdSaveLog().Click.Raise();
  EXPECT_EQ(sim_.files().Writes(), writes);
  sim_.dialogs().QueueSaveFileAnswer(report);
  page_.cmdSaveLog().Click.Raise();
  ASSERT_TRUE(sim_.files().ReadFile(report, bytes));
  EXPECT_EQ(bytes, text::Utf8Codec().ToFileText(u"Отчет списка процессов Process Drovak 1.3\r\nКоличество процессов: 0\r\n\r\n"));
  EXPECT_TRUE(balloons_.empty());
}

TEST_F(ProcessPageTest, AReportThatCannotBeWrittenWarnsAndLeavesTheOldFileWhole) {
  Start(u"C:/a.exe");
  page_.RefreshProcessList();
  const String report = MakeFile("old.txt", 0);
  std::ofstream(std::filesystem::path(report), std::ios::binary) << "old report";
  sim_.files().FailWrites(true);
  sim_.dialogs().QueueSaveFileAnswer(report);
  page_.cmdSaveLog().Click.Raise();
  ASSERT_EQ(balloons_.size(), 1u);
  EXPECT_EQ(balloons_[0].title, u"old.txt");
  EXPECT_EQ(balloons_[0].text, ProcessPage::kReportFailed);
  EXPECT_EQ(balloons_[0].icon, 2);
  std::string bytes;
  ASSERT_TRUE(sim_.files().ReadFile(report, bytes));
  EXPECT_EQ(bytes, "old report");
  EXPECT_EQ(page_.lstProc().ListCount(), 1) << "the page is unchanged";
}

}  // namespace
}  // namespace pd::app
