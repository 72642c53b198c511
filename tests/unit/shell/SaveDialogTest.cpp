// The save dialog component on the simulation: the record Show hands to
// the platform, what comes back on a choice and on a cancel, and the
// stored properties. The platform's dialog is answered from the
// simulation's queue.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "forms/ControlHost.h"
#include "forms/Form.h"
#include "platform/sim/platform.h"
#include "shell/SaveDialog.h"
#include "test_util.h"

namespace pd::shell {
namespace {

using namespace std::string_literals;

class SaveDialogTest : public ::testing::Test {
 protected:
  // Shows the dialog with a cancel queued; the record as the platform got it.
  platform::OpenFileName RecordOfShow() {
    sim_.dialogs().QueueSaveFileAnswer(std::nullopt);
    EXPECT_FALSE(dlg_.Show());
    return sim_.dialogs().SaveRequests().back();
  }

  test::TempFolder folder_;
  sim::SimPlatform sim_{folder_.Str()};
  forms::ControlHost host_{sim_};
  forms::Form owner_{host_, u"frmMain", u"ProcessDrovak"};
  SaveDialog dlg_{owner_};
};

TEST_F(SaveDialogTest, TheRecordCarriesThePropertiesAsTheDialogTakesThem) {
  struct Case {
    const char* what;
    std::function<void(SaveDialog&)> set;
    std::function<void(const platform::OpenFileName&)> check;
  };
  const String longName(300, u'x');
  const std::vector<Case> cases = {
      {"the process page's set-up",
       [](SaveDialog& d) {
         d.SetFilter(u"Текстовый файл (*.txt)|*.txt");
         d.SetFilterIndex(1);
         d.SetFlags(2);
       },
       [&](const platform::OpenFileName& r) {
         EXPECT_EQ(r.lpstrFilter, u"Текстовый файл (*.txt)\0*.txt\0\0"s);
         EXPECT_EQ(r.nFilterIndex, 1u);
         EXPECT_EQ(r.Flags, 2u);
         EXPECT_EQ(r.lStructSize, 76u);
         EXPECT_EQ(r.hwndOwner, owner_.Window());
         EXPECT_EQ(r.lpstrInitialDir, sim_.app().Folder()) << "InitDir empty: the application's folder";
         EXPECT_EQ(r.lpstrFile, String(255, u'\0'));
         EXPECT_EQ(r.lpstrFileTitle, String(255, u'\0'));
         EXPECT_EQ(r.nMaxFile, 255u);
         EXPECT_EQ(r.nMaxFileTitle, 255u);
         EXPECT_TRUE(r.lpstrTitle.empty());
         EXPECT_TRUE(r.lpstrDefExt.empty());
       }},
      {"an empty filter is two NULs", [](SaveDialog& d) { d.SetFilter(u""); },
       [](const platform::OpenFileName& r) { EXPECT_EQ(r.lpstrFilter, String(2, u'\0')); }},
      {"every bar becomes a NUL",
       [](SaveDialog& d) { d.SetFilter(u"Текст|*.txt;*.log|Все файлы|*.*"); },
       [](const platform::OpenFileName& r) {
         EXPECT_EQ(r.lpstrFilter, u"Текст\0*.txt;*.log\0Все файлы\0*.*\0\0"s);
         const auto pairs = platform::FilterPairs(r.lpstrFilter);
         ASSERT_EQ(pairs.size(), 2u);
         EXPECT_EQ(pairs[1].first, u"Все файлы");
       }},
      {"hook and template bits are cleared", [](SaveDialog& d) { d.SetFlags(0x22); },
       [](const platform::OpenFileName& r) { EXPECT_EQ(r.Flags, 0x02u); }},
      {"only those three bits", [](SaveDialog& d) { d.SetFlags(-1); },
       [](const platform::OpenFileName& r) { EXPECT_EQ(r.Flags, 0xFFFFFF1Fu); }},
      {"title, folder, extension and name",
       [](SaveDialog& d) {
         d.SetDialogTitle(u"Отчёт");
         d.SetInitDir(u"/tmp/отчёты");
         d.SetDefaultExt(u"txt");
         d.SetFileName(u"список.txt");
       },
       [](const platform::OpenFileName& r) {
         EXPECT_EQ(r.lpstrTitle, u"Отчёт");
         EXPECT_EQ(r.lpstrInitialDir, u"/tmp/отчёты");
         EXPECT_EQ(r.lpstrDefExt, u"txt");
         EXPECT_EQ(r.lpstrFile.size(), 255u);
         EXPECT_EQ(platform::CutAtNul(r.lpstrFile), u"список.txt");
       }},
      {"a name of 300 characters is cut to 254 and still ends in a NUL",
       [&](SaveDialog& d) { d.SetFileName(longName); },
       [&](const platform::OpenFileName& r) {
         EXPECT_EQ(r.lpstrFile.size(), 255u);
         EXPECT_EQ(platform::CutAtNul(r.lpstrFile), longName.substr(0, 254));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SaveDialog d(owner_, u"SaveDialog", 1);
    c.set(d);
    sim_.dialogs().QueueSaveFileAnswer(std::nullopt);
    EXPECT_FALSE(d.Show());
    c.check(sim_.dialogs().SaveRequests().back());
  }

  // AppName and DialogPrompt change nothing the dialog sees.
  dlg_.SetFilter(u"a|*.a");
  const platform::OpenFileName before = RecordOfShow();
  dlg_.SetAppName(u"ProcessDrovak");
  dlg_.SetDialogPrompt(u"Куда?");
  const platform::OpenFileName after = RecordOfShow();
  EXPECT_EQ(after.lpstrFilter, before.lpstrFilter);
  EXPECT_EQ(after.lpstrTitle, before.lpstrTitle);
  EXPECT_EQ(after.lpstrFile, before.lpstrFile);
  EXPECT_EQ(after.Flags, before.Flags);
}

TEST_F(SaveDialogTest, FileNameAndFileTitleChangeOnlyWhenAFileIsChosen) {
  const String dir = folder_.Str();
  struct Case {
    const char* what;
    bool cancelError;
    std::optional<String> answer;  // nullopt: the user cancels
    bool shown;
    String fileName;  // afterwards
    String fileTitle;
    std::int32_t err;
  };
  const String name254 = dir + u"/" + String(253 - dir.size(), u'n');
  const String name255 = name254 + u"n";
  const std::vector<Case> cases = {
      {"a choice", false, dir + u"/отчёт.txt", true, dir + u"/отчёт.txt", u"отчёт.txt", 0},
      {"a cancel", false, std::nullopt, false, u"old.txt", u"old", 0},
      {"a cancel with CancelError", true, std::nullopt, false, u"old.txt", u"old", SaveDialog::kCdlCancel},
      {"a choice with CancelError", true, dir + u"/a.txt", true, dir + u"/a.txt", u"a.txt", 0},
      {"a path of 254 characters", false, name254, true, name254, name254.substr(dir.size() + 1), 0},
      {"a path of 255 does not fit: the dialog fails", true, name255, false, u"old.txt", u"old",
       SaveDialog::kCdlCancel},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dlg_.SetFileName(u"old.txt");
    dlg_.SetFileTitle(u"old");
    dlg_.SetFilterIndex(1);
    dlg_.SetCancelError(c.cancelError);
    sim_.dialogs().QueueSaveFileAnswer(c.answer);
    EXPECT_EQ(dlg_.Show(), c.shown);
    EXPECT_EQ(dlg_.FileName(), c.fileName);
    EXPECT_EQ(dlg_.FileTitle(), c.fileTitle);
    EXPECT_EQ(dlg_.ErrNumber(), c.err);
    EXPECT_EQ(dlg_.Result() > 0, c.shown);
    EXPECT_EQ(dlg_.FilterIndex(), 1) << "never read back from the dialog";
  }
}

TEST_F(SaveDialogTest, StoredPropertiesRoundTripAndDefaultsAreNotStored) {
  platform::PropertyBag empty;
  dlg_.WriteProperties(empty);
  EXPECT_EQ(empty.Size(), 0u) << "every property at its default";

  std::mt19937 random(7);
  auto text = [&] {
    String s;
    for (int n = static_cast<int>(random() % 8); n > 0; --n) s += static_cast<char16_t>(u'а' + random() % 32);
    return s;
  };
  for (int round = 0; round < 20; ++round) {
    SaveDialog a(owner_, u"A", round);
    a.SetAppName(text());
    a.SetCancelError(random() % 2 == 0);
    a.SetDefaultExt(text());
    a.SetDialogPrompt(text());
    a.SetDialogTitle(text());
    a.SetFileName(text());
    a.SetFileTitle(text());
    a.SetFilter(text());
    a.SetFilterIndex(static_cast<std::int32_t>(random() % 3));
    a.SetFlags(static_cast<std::int32_t>(random()));
    a.SetInitDir(text());
    platform::PropertyBag bag;
    a.WriteProperties(bag);
    SaveDialog b(owner_, u"B", round);
    b.ReadProperties(bag);
    EXPECT_EQ(b.AppName(), a.AppName());
    EXPECT_EQ(b.CancelError(), a.CancelError());
    EXPECT_EQ(b.DefaultExt(), a.DefaultExt());
    EXPECT_EQ(b.DialogPrompt(), a.DialogPrompt());
    EXPECT_EQ(b.DialogTitle(), a.DialogTitle());
    EXPECT_EQ(b.FileName(), a.FileName());
    EXPECT_EQ(b.FileTitle(), a.FileTitle());
    EXPECT_EQ(b.Filter(), a.Filter());
    EXPECT_EQ(b.FilterIndex(), a.FilterIndex());
    EXPECT_EQ(b.Flags(), a.Flags());
    EXPECT_EQ(b.InitDir(), a.InitDir());
  }

  // Built from the form's stored properties; the square kept.
  owner_.StoredProperties(u"SaveLog").WriteString(u"Filter", u"Текстовый файл (*.txt)|*.txt", u"");
  owner_.StoredProperties(u"SaveLog").WriteInt(u"Flags", 2, 0);
  SaveDialog stored(owner_, u"SaveLog");
  EXPECT_EQ(stored.Filter(), u"Текстовый файл (*.txt)|*.txt");
  EXPECT_EQ(stored.Flags(), 2);
  stored.Move(0, 0, 3000, 900);
  EXPECT_EQ(stored.Width(), 450);
  EXPECT_EQ(stored.Height(), 450);
  EXPECT_FALSE(stored.HasWindow());
}

TEST(SaveDialogFilter, ConvertedFiltersSplitBackIntoTheirPairs) {
  std::mt19937 random(11);
  auto part = [&] {
    String s;
    for (int n = 1 + static_cast<int>(random() % 6); n > 0; --n) s += u"ab*.;Тт "[random() % 8];
    return s;
  };
  for (int round = 0; round < 200; ++round) {
    std::vector<std::pair<String, String>> pairs;
    String filter;
    for (int n = static_cast<int>(random() % 4); n > 0; --n) {
      pairs.emplace_back(part(), part());
      filter += (filter.empty() ? u"" : u"|") + pairs.back().first + u"|" + pairs.back().second;
    }
    EXPECT_EQ(platform::FilterPairs(SaveDialog::ConvertFilter(filter)), pairs) << text::ToUtf8(filter);
  }
}

TEST(SaveDialogFilter, MasksMatchNamesWithoutCase) {
  struct Case {
    const char16_t* name;
    const char16_t* pattern;
    bool match;
  };
  const Case cases[] = {
      {u"report.txt", u"*.txt", true},   {u"REPORT.TXT", u"*.txt", true},   {u"report.txt.bak", u"*.txt", false},
      {u"report", u"*.*", true},         {u"a.log", u"*.txt; *.log", true}, {u"ОТЧЁТ.txt", u"отчёт.*", true},
      {u"ab.txt", u"?.txt", false},      {u"a.txt", u"?.txt", true},        {u"x", u"", false},
      {u"report.txt", u"rep*t.t?t", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::MatchesPattern(c.name, c.pattern), c.match)
        << text::ToUtf8(c.name) << " " << text::ToUtf8(c.pattern);
  }
}

}  // namespace
}  // namespace pd::shell
