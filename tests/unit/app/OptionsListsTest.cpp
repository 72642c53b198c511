// Options.cfg, the Run value and the two lists on the simulation.
#include "unit/app/AppTestUtil.h"

#include <array>
#include <utility>

namespace pd::app::test {
namespace {

using platform::niif::kWarning;

TEST_F(AppTest, FirstRunWritesTheDefaultsTheRunValueAndIntroducesItselfOnce) {
  ASSERT_TRUE(Start());
  EXPECT_TRUE(F().FirstRun());
  EXPECT_EQ(ReadFile("Options.cfg"),
            "AutoStart=True\r\nShowOnHotKey=True\r\nEnabled=True\r\nTipNormal=True\r\nTipIgnore=True\r\n"
            "TipBlock=True\r\n");
  for (auto* box : {F().chkAutoStart.get(), F().chkHKShow.get(), F().chkTip_Good.get(), F().chkTip_Bad.get(),
                    F().chkTip_Block.get()}) {
    EXPECT_EQ(box->Value(), 1) << text::ToUtf8(box->Name());
  }
  EXPECT_TRUE(F().Enabled());
  EXPECT_EQ(RunValue(), OwnCommand());
  ASSERT_EQ(BalloonCount(), 1U);
  EXPECT_EQ(LastBalloon(), String(u"Process Drovak 1.3 - Что это?: ") + msg::kIntroText);

  form_.reset();
  ASSERT_TRUE(Start());
  EXPECT_FALSE(F().FirstRun());
  EXPECT_EQ(BalloonCount(), 1U) << "no introduction on later starts";
}

TEST_F(AppTest, OptionsReadOnlyTrueAndAMissingEnabledStartsDisabled) {
  struct Case {
    const char* file;
    int autoStart;
    bool enabled;
  };
  WriteFile("Blocks.txt", "game.exe=1\r\n");  // an entry on: the block timer runs when enabled
  for (const Case c : {Case{"AutoStart=TRUE\r\n", 1, false}, Case{"\r\n", 0, false},
                       Case{"AutoStart = True\r\nEnabled=true\r\n", 0, true}}) {
    WriteFile("Options.cfg", c.file);
    ASSERT_TRUE(Start());
    EXPECT_FALSE(F().FirstRun()) << c.file;
    EXPECT_EQ(F().chkAutoStart->Value(), c.autoStart) << c.file;
    EXPECT_EQ(F().chkTip_Good->Value(), 0) << c.file;
    EXPECT_EQ(F().Enabled(), c.enabled) << c.file;
    EXPECT_EQ(F().BlockTimerRunning(), c.enabled) << c.file;
    EXPECT_EQ(F().TrayIconId(), c.enabled ? 101 : 104) << c.file;
    form_.reset();
  }
  EXPECT_TRUE(frmMain::TextToBool(u"TRUE"));
  EXPECT_FALSE(frmMain::TextToBool(u" True"));
  EXPECT_EQ(frmMain::BoolToText(false), u"False");
}

TEST_F(AppTest, SavesKeepCommentsAndTheRunValueOfAnotherCopy) {
  WriteFile("Options.cfg", "; mine\r\nAutoStart=True\r\n");
  ASSERT_TRUE(Start());
  EXPECT_EQ(RunValue(), OwnCommand());
  F().chkAutoStart->SetValue(0);
  F().cmdOK_Click();
  EXPECT_EQ(RunValue(), u"") << "our own value goes";
  EXPECT_EQ(ReadFile("Options.cfg").rfind("; mine\r\nAutoStart=False\r\n", 0), 0U);

  clsReg(p_.registry(), p_.codec()).WriteValue(kRunKey, u"ProcessDrovak", u"\"C:\\elsewhere\\ProcessDrovak.exe\"", 1);
  F().cmdOK_Click();
  EXPECT_EQ(RunValue(), u"\"C:\\elsewhere\\ProcessDrovak.exe\"") << "another copy's value stays";
}

TEST_F(AppTest, AFailedSaveKeepsTheOldFileAndTheEditsAndSaysSo) {
  WriteFile("Blocks.txt", "calc.exe=1\r\n");
  WriteFile("Options.cfg", "Enabled=True\r\n");
  ASSERT_TRUE(Start());
  F().lstBlock->AddItem(u"game.exe");
  p_.files().FailWrites(true);
  const std::size_t before = BalloonCount();
  F().cmdOK_Click();
  EXPECT_EQ(ReadFile("Blocks.txt"), "calc.exe=1\r\n");
  ASSERT_EQ(BalloonCount(), before + 1) << "one warning for the three files";
  const auto& b = p_.tray().Balloons().back();
  EXPECT_EQ(b.title, u"Options.cfg, Exclamations.txt, Blocks.txt");
  EXPECT_EQ(b.text, msg::kSaveFailed);
  EXPECT_EQ(b.flags, kWarning);
  p_.files().FailWrites(false);
  F().cmdOK_Click();
  EXPECT_EQ(ReadFile("Blocks.txt"), "calc.exe=1\r\ngame.exe=0\r\n") << "the edit was kept for the next save";
}

TEST_F(AppTest, AFailedSaveAtTheFirstStartIsShownOnceTheIconIsThere) {
  p_.files().FailWrites(true);
  ASSERT_TRUE(Start());
  ASSERT_EQ(BalloonCount(), 2U);
  EXPECT_EQ(p_.tray().Balloons()[0].title, u"Process Drovak 1.3 - Что это?");
  EXPECT_EQ(LastBalloon(), String(u"Options.cfg: ") + msg::kSaveFailed);
  EXPECT_FALSE(p_.tray().Balloons().back().withdrawn);
}

TEST_F(AppTest, OptionsReadAnyLineEndsAndAreWrittenBackWithCrLf) {
  for (const char* eol : {"\n", "\r", "\r\n"}) {
    const std::string file = std::string("; mine") + eol + "AutoStart=False" + eol + "ShowOnHotKey=True" + eol +
                             "Enabled=True" + eol + "TipBlock=True" + eol;
    WriteFile("Options.cfg", file);
    ASSERT_TRUE(Start());
    EXPECT_FALSE(F().FirstRun());
    EXPECT_EQ(F().chkAutoStart->Value(), 0);
    EXPECT_EQ(F().chkHKShow->Value(), 1);
    EXPECT_TRUE(F().Enabled());
    EXPECT_EQ(F().chkTip_Good->Value(), 0);
    EXPECT_EQ(F().chkTip_Block->Value(), 1);
    EXPECT_EQ(ReadFile("Options.cfg"), file) << "not rewritten at start";
    F().cmdOK_Click();
    EXPECT_EQ(ReadFile("Options.cfg"),
              "; mine\r\nAutoStart=False\r\nShowOnHotKey=True\r\nEnabled=True\r\nTipBlock=True\r\n"
              "TipNormal=False\r\nTipIgnore=False\r\n");
    form_.reset();
  }
}

// A file that is there but cannot be read is never written over: its
// content was never seen.
TEST_F(AppTest, AnUnreadableFileRunsOnDefaultsSaysSoOnceAndIsNeverWritten) {
  WriteFile("Options.cfg", "AutoStart=False\r\nEnabled=False\r\n");
  WriteFile("Blocks.txt", "game.exe=1\r\n");
  WriteFile("Exclamations.txt", "vlc.exe=1\r\n");
  p_.files().SetUnreadable([](StringView path) { return !path.ends_with(u"Exclamations.txt"); });
  ASSERT_TRUE(Start());
  EXPECT_FALSE(F().FirstRun()) << "no introduction, no defaults written";
  EXPECT_TRUE(F().Enabled());
  EXPECT_EQ(F().chkTip_Good->Value(), 1);
  EXPECT_EQ(F().chkAutoStart->Value(), 0) << "autostart as the Run value has it";
  EXPECT_EQ(RunValue(), u"");
  EXPECT_EQ(F().lstBlock->ListCount(), 0);
  ASSERT_EQ(BalloonCount(), 1U) << "said once, in one balloon";
  const auto& b = p_.tray().Balloons().back();
  EXPECT_EQ(b.title, u"Options.cfg, Blocks.txt");
  EXPECT_EQ(b.text, String(u"Options.cfg: ") + msg::kOptionsUnreadable + u"\r\nBlocks.txt: " + msg::kListUnreadable);
  EXPECT_EQ(b.flags, kWarning);

  F().lstBlock->AddItem(u"new.exe");
  F().lstEXEList->AddItem(u"tool.exe");
  F().cmdOK_Click();
  F().Unload();
  EXPECT_EQ(BalloonCount(), 1U) << "no more warnings";
  EXPECT_EQ(ReadFile("Options.cfg"), "AutoStart=False\r\nEnabled=False\r\n");
  EXPECT_EQ(ReadFile("Blocks.txt"), "game.exe=1\r\n");
  EXPECT_EQ(ReadFile("Exclamations.txt"), "vlc.exe=1\r\ntool.exe=0\r\n") << "a readable list is saved";
}

TEST_F(AppTest, ListsLoadFirstOccurrenceAndNeverBothListsNorTheShell) {
  WriteFile("Exclamations.txt", "Notepad.exe=1\r\nnotepad.exe=0\r\n; note\r\nexplorer.exe=1\r\n");
  WriteFile("Blocks.txt", "explorer.exe=1\r\nNOTEPAD.EXE=1\r\ncalc.exe=true\r\nfoo.exe=01\r\ngame.exe=1\r\n");
  ASSERT_TRUE(Start());
  ASSERT_EQ(F().lstEXEList->ListCount(), 1);
  EXPECT_EQ(F().lstEXEList->List(0), u"Notepad.exe");
  EXPECT_TRUE(F().lstEXEList->ListChecked(0));
  ASSERT_EQ(F().lstBlock->ListCount(), 3);
  EXPECT_EQ(F().lstBlock->List(0), u"calc.exe");
  EXPECT_FALSE(F().lstBlock->ListChecked(0));
  EXPECT_FALSE(F().lstBlock->ListChecked(1)) << "01 is off";
  EXPECT_TRUE(F().lstBlock->ListChecked(2));

  EXPECT_TRUE(F().IsException(u"EXPLORER.EXE", false));
  F().lstEXEList->SetListChecked(0, false);
  EXPECT_FALSE(F().IsException(u"notepad.exe", false));
  EXPECT_TRUE(F().IsException(u"notepad.exe", true));
  EXPECT_TRUE(F().IsBlocked(u"GAME.exe", false));
}

TEST_F(AppTest, ListsReadCrLfLfAndCrLineEndsAndALastLineWithoutOne) {
  struct Case {
    const char* kind;
    const char* blocks;
  };
  for (const Case c : {Case{"CR LF", "calc.exe=1\r\ngame.exe=0\r\ntool.exe=1\r\n"},
                       Case{"LF", "calc.exe=1\ngame.exe=0\ntool.exe=1\n"},
                       Case{"CR", "calc.exe=1\rgame.exe=0\rtool.exe=1\r"},
                       Case{"mixed, none after the last", "calc.exe=1\r\ngame.exe=0\n\ntool.exe=1"}}) {
    WriteFile("Blocks.txt", c.blocks);
    WriteFile("Exclamations.txt", "firefox.exe=1\nvlc.exe=0\r");
    ASSERT_TRUE(Start());
    ASSERT_EQ(F().lstBlock->ListCount(), 3) << c.kind;
    const std::array<std::pair<StringView, bool>, 3> want = {
        {{u"calc.exe", true}, {u"game.exe", false}, {u"tool.exe", true}}};
    for (std::int32_t i = 0; i < 3; ++i) {
      EXPECT_EQ(F().lstBlock->List(i), want[static_cast<std::size_t>(i)].first) << c.kind;
      EXPECT_EQ(F().lstBlock->ListChecked(i), want[static_cast<std::size_t>(i)].second) << c.kind;
    }
    ASSERT_EQ(F().lstEXEList->ListCount(), 2) << c.kind;
    EXPECT_TRUE(F().lstEXEList->ListChecked(0)) << c.kind;
    EXPECT_EQ(F().lstEXEList->List(1), u"vlc.exe") << c.kind;
    F().cmdOK_Click();
    EXPECT_EQ(ReadFile("Blocks.txt"), "calc.exe=1\r\ngame.exe=0\r\ntool.exe=1\r\n") << "written back with CR LF";
    form_.reset();
  }
}

TEST_F(AppTest, BlockPageAddsDeletesAndSaves) {
  WriteFile("Exclamations.txt", "notepad.exe=0\r\n");
  WriteFile("Options.cfg", "Enabled=False\r\n");
  ASSERT_TRUE(Start());
  auto& list = *F().lstBlock;
  struct Case {
    const char16_t* typed;
    const char16_t* balloon;  // nullptr: none
  };
  F().chkBlock_Active->SetValue(1);
  for (const Case c : {Case{u"  calc.exe ", msg::kAddedBlock}, Case{u"CALC.EXE", msg::kAlreadyListed},
                       Case{u"Notepad.exe", msg::kInExceptions}, Case{u"   ", nullptr}}) {
    const std::size_t before = BalloonCount();
    F().txtBlock->SetText(c.typed);
    F().cmdBlock_Add->Click.Raise();
    if (c.balloon == nullptr) {
      EXPECT_EQ(BalloonCount(), before);
    } else {
      EXPECT_EQ(p_.tray().Balloons().back().text, c.balloon) << text::ToUtf8(c.typed);
    }
  }
  ASSERT_EQ(list.ListCount(), 1);
  EXPECT_EQ(list.List(0), u"calc.exe");
  EXPECT_TRUE(list.ListChecked(0));
  EXPECT_EQ(F().TrayIconId(), 102);
  p_.loop().Advance(3500);
  EXPECT_EQ(F().TrayIconId(), 104) << "the disabled icon comes back";

  for (const char16_t* n : {u"a.exe", u"b.exe", u"c.exe", u"d.exe"}) list.AddItem(n);
  list.SetListIndex(4);
  list.SetSelected(3, true);
  F().cmdBlock_Delete->Click.Raise();
  EXPECT_EQ(list.ListCount(), 3);
  EXPECT_EQ(list.ListIndex(), 2);
  F().cmdBlock_EnableAll[1]->Click.Raise();
  F().cmdOK_Click();
  EXPECT_EQ(ReadFile("Blocks.txt"), "calc.exe=0\r\na.exe=0\r\nb.exe=0\r\n");

  F().lstEXEList->Clear();
  F().cmdOK_Click();
  EXPECT_EQ(ReadFile("Exclamations.txt"), "") << "an empty list is a zero-length file";
}

// On Linux a process name may hold "<": entries are names, never markup.
TEST_F(AppTest, ListEntriesShowAsTheyAreAndStayPlainNames) {
  WriteFile("Exclamations.txt", "<b>a.exe=1\r\n");
  WriteFile("Options.cfg", "Enabled=False\r\n");
  ASSERT_TRUE(Start());
  F().txtBlock->SetText(u"<i>b<br>.exe");
  F().cmdBlock_Add->Click.Raise();
  for (const controls::XP_ListBox* list : {F().lstEXEList.get(), F().lstBlock.get()}) {
    ASSERT_EQ(list->ListCount(), 1);
    const controls::ListItem& item = list->ItemAt(0);
    EXPECT_EQ(item.PlainText, item.ItemText) << "shown as stored";
    for (const controls::TextRun& run : item.Runs) EXPECT_FALSE(run.Bold || run.Italic);
  }
  EXPECT_EQ(F().lstBlock->List(0), u"<i>b<br>.exe");
  EXPECT_TRUE(F().IsException(u"<B>A.exe", false));
  EXPECT_TRUE(F().IsBlocked(u"<i>b<br>.exe", true));
  F().cmdOK_Click();
  EXPECT_EQ(ReadFile("Exclamations.txt"), "<b>a.exe=1\r\n");
  EXPECT_EQ(ReadFile("Blocks.txt"), "<i>b<br>.exe=0\r\n");
}

// The text box and Ctrl+Alt+click (the process page goes through the text
// box's action) refuse a name that the list file could not hold.
TEST_F(AppTest, NamesTheListFilesCannotHoldAreRefusedWhenAdded) {
  WriteFile("Options.cfg", "Enabled=True\r\n");
  ASSERT_TRUE(Start());
  F().Show();
  for (const StringView name : {u"a=b.exe", u"[x].exe", u"bad\nname.exe", u"[x.exe"}) {
    const bool storable = name == u"[x.exe";
    for (const bool hotKey : {false, true}) {
      if (hotKey) {
        const ProcessId id = RunInFront(u"C:/apps/" + String(name));
        Chord(platform::vk::kLButton);
        p_.processes().End(id);
      } else {
        F().txtBlock->SetText(name);
        F().cmdBlock_Add->Click.Raise();
      }
      const auto& shown = p_.tray().Balloons().back();
      EXPECT_EQ(shown.title, name);
      EXPECT_EQ(shown.text == msg::kCannotStore, !storable) << text::ToUtf8(name) << " hot key " << hotKey;
      EXPECT_EQ((hotKey ? *F().lstEXEList : *F().lstBlock).ListCount(), storable ? 1 : 0) << text::ToUtf8(name);
      F().lstBlock->Clear();
      F().lstEXEList->Clear();
    }
  }
}

// Which names are leftovers is the file port's (tests/contract/FilesContract).
TEST_F(AppTest, StartRemovesWhatInterruptedSavesOfOurOwnFilesLeftNothingElse) {
  auto& files = p_.files();
  files.InterruptWrites(true);
  for (const char* name : {"Options.cfg", "Exclamations.txt", "Blocks.txt", "Notes.txt"}) {
    EXPECT_FALSE(files.WriteFileAtomic(dir_.File(name), "x")) << "a crash ends the save: " << name;
  }
  files.InterruptWrites(false);
  WriteFile("Blocks.txt.bak", "x");
  ASSERT_TRUE(Exists("Blocks.txt.tmp~"));
  ASSERT_TRUE(Start());
  for (const char* name : {"Options.cfg.tmp~", "Exclamations.txt.tmp~", "Blocks.txt.tmp~"}) {
    EXPECT_FALSE(Exists(name)) << name;
  }
  EXPECT_TRUE(Exists("Notes.txt.tmp~")) << "not one of the program's files";
  EXPECT_TRUE(Exists("Blocks.txt.bak"));
  EXPECT_FALSE(Exists("Blocks.txt")) << "the interrupted save never replaced the file";
}

}  // namespace
}  // namespace pd::app::test
