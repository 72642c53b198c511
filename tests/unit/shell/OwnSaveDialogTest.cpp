// The control host's own save dialog on the simulation, driven as a user
// would: the SaveDialog component shows it when the platform offers none
// (nothing queued), over real folders of a test folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "forms/ControlHost.h"
#include "forms/FolderList.h"
#include "forms/Form.h"
#include "forms/SaveFileDialog.h"
#include "forms/TextBox.h"
#include "platform/sim/platform.h"
#include "platform/text.h"
#include "shell/SaveDialog.h"
#include "test_util.h"

namespace pd::shell {
namespace {

namespace mb = platform::mb;
namespace vk = platform::vk;
using Step = std::function<void(WindowHandle)>;

class OwnSaveDialogTest : public ::testing::Test {
 protected:
  OwnSaveDialogTest() {
    for (const char* name : {"a.txt", "b.log", "Zeta.TXT", ".hidden.txt"}) std::ofstream(folder_.Path() / name) << "x";
    std::filesystem::create_directory(folder_.Path() / "sub");
    std::filesystem::create_directory(folder_.Path() / std::filesystem::path(u8"Альфа"));
    owner_.SetFont(platform::Font{.face = platform::kFixedFace});
    owner_.Move(100 * kTwipsPerPixel, 100 * kTwipsPerPixel, 300 * kTwipsPerPixel, 200 * kTwipsPerPixel);
    owner_.Show();
    dlg_.SetFilter(u"Текстовый файл (*.txt)|*.txt|Все файлы|*.*");
    dlg_.SetFilterIndex(1);
    dlg_.SetFlags(2);
    // The program always has a timer running (the hot keys' poll): the
    // simulated user always gets another turn.
    ticker_->SetInterval(50);
    ticker_->SetEnabled(true);
  }

  // The user takes one step each time a modal loop waits for them, at any
  // depth, on the newest window that shows.
  void Steps(std::vector<Step> steps) {
    sim_.loop().SetUser([this, steps = std::move(steps), next = std::size_t{0}](int /*depth*/) mutable {
      if (next < steps.size()) steps[next++](Newest());
    });
  }
  WindowHandle Newest() {
    auto forms = sim_.host().Forms();
    for (auto it = forms.rbegin(); it != forms.rend(); ++it) {
      if (sim_.host().IsVisible(*it)) return *it;
    }
    return 0;
  }
  template <typename T>
  T* Find(WindowHandle dialog, StringView name) {
    for (forms::Control* c : host_.FormOf(dialog)->Controls()) {
      if (c->Name() == name) return dynamic_cast<T*>(c);
    }
    return nullptr;
  }
  Step TypeAndEnter(StringView name) {
    return [this, name = String(name)](WindowHandle w) {
      sim_.Type(w, name);
      sim_.PressKey(w, vk::kReturn);
    };
  }
  Step Key(int key) {
    return [this, key](WindowHandle w) { sim_.PressKey(w, key); };
  }
  String Path(const char* name) const { return folder_.File(name); }

  test::TempFolder folder_;
  sim::SimPlatform sim_{folder_.Str()};
  forms::ControlHost host_{sim_};
  forms::Form owner_{host_, u"frmMain", u"ProcessDrovak"};
  SaveDialog dlg_{owner_, u"SaveDialog"};
  std::unique_ptr<platform::Timer> ticker_ = sim_.loop().CreateTimer([] {});
};

TEST_F(OwnSaveDialogTest, ANameTypedAndEnterChoosesItEscapeCancels) {
  std::vector<String> listed;
  String title;
  Steps({[&](WindowHandle w) {
           title = sim_.host().Caption(w);
           EXPECT_EQ(sim_.host().Kind(w), platform::WindowKind::Dialog);
           for (const auto& e : Find<forms::FolderList>(w, u"lstFiles")->Entries()) listed.push_back(e.name);
         },
         TypeAndEnter(u"отчёт.txt")});
  ASSERT_TRUE(dlg_.Show());
  EXPECT_EQ(dlg_.FileName(), Path("отчёт.txt"));
  EXPECT_EQ(dlg_.FileTitle(), u"отчёт.txt");
  EXPECT_EQ(title, u"Сохранить как");
  // Folders first, then the files the filter takes, each sorted without case; hidden ones left out.
  EXPECT_EQ(listed, (std::vector<String>{u"sub", u"Альфа", u"a.txt", u"Zeta.TXT"}));

  dlg_.SetCancelError(true);
  Steps({[&](WindowHandle w) { sim_.Type(w, u"другой.txt"); }, Key(vk::kEscape)});
  EXPECT_FALSE(dlg_.Show());
  EXPECT_EQ(dlg_.FileName(), Path("отчёт.txt")) << "a cancel leaves the name";
  EXPECT_EQ(dlg_.ErrNumber(), SaveDialog::kCdlCancel);
}

TEST_F(OwnSaveDialogTest, AnExistingFileAsksBeforeItIsReplaced) {
  struct Case {
    const char* what;
    std::int32_t flags;
    std::vector<int> answers;  // keys pressed on each question, in turn
    int questions;
  };
  const std::vector<Case> cases = {
      {"No keeps the dialog open; Yes replaces", 2, {vk::kEscape, vk::kReturn}, 2},
      {"without flag 2 nothing is asked", 0, {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dlg_.SetFlags(c.flags);
    const std::size_t before = sim_.dialogs().History().size();
    std::vector<Step> steps;
    for (int key : c.answers) {
      steps.push_back(TypeAndEnter(u"a.txt"));
      steps.push_back([this, key](WindowHandle box) {
        EXPECT_NE(host_.FormOf(box)->Caption(), u"Сохранить как") << "the question is a box of its own";
        sim_.PressKey(box, key);
      });
    }
    if (c.answers.empty()) steps.push_back(TypeAndEnter(u"a.txt"));
    Steps(steps);
    ASSERT_TRUE(dlg_.Show());
    EXPECT_EQ(dlg_.FileName(), Path("a.txt"));
    const auto& history = sim_.dialogs().History();
    ASSERT_EQ(history.size() - before, static_cast<std::size_t>(c.questions));
    for (std::size_t i = before; i < history.size(); ++i) {
      EXPECT_EQ(history[i].text, u"a.txt уже существует.\r\nЗаменить его?");
      EXPECT_EQ(history[i].flags, mb::kYesNo | mb::kIconExclamation);
    }
  }
}

TEST_F(OwnSaveDialogTest, FoldersOpenAndTheNameIsCompleted) {
  // Into "sub" by its name, up again with the parent button, into "sub"
  // from the list, and a name without extension gets DefaultExt.
  dlg_.SetDefaultExt(u"txt");
  String shownFolder;
  Steps({TypeAndEnter(u"sub"),
         [&](WindowHandle w) {
           shownFolder = Find<forms::TextBox>(w, u"txtFolder")->Text();
           EXPECT_TRUE(Find<forms::TextBox>(w, u"txtFileName")->Text().empty());
           forms::Control* up = Find<forms::Control>(w, u"cmdUp");
           const Rect r = up->FormRect();
           sim_.Click(w, Point{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
         },
         [&](WindowHandle w) {
           auto* list = Find<forms::FolderList>(w, u"lstFiles");
           list->SetFocus();
           sim_.PressKey(w, vk::kHome);  // "sub", the first folder
           sim_.PressKey(w, vk::kReturn);
         },
         [&](WindowHandle w) {
           const Rect r = Find<forms::Control>(w, u"txtFileName")->FormRect();
           sim_.Click(w, Point{r.left + 5, r.top + 5});
           TypeAndEnter(u"отчёт")(w);
         }});
  ASSERT_TRUE(dlg_.Show());
  EXPECT_EQ(shownFolder, Path("sub"));
  EXPECT_EQ(dlg_.FileName(), Path("sub") + u"/отчёт.txt");
  EXPECT_EQ(dlg_.FileTitle(), u"отчёт.txt");

  // A folder that does not exist and a path too long are refused in a box.
  const String tooLong(260, u'д');
  Steps({TypeAndEnter(u"нет/такой.txt"), Key(vk::kReturn), TypeAndEnter(tooLong), Key(vk::kReturn), Key(vk::kEscape)});
  EXPECT_FALSE(dlg_.Show());
  const auto& history = sim_.dialogs().History();
  ASSERT_GE(history.size(), 2u);
  EXPECT_NE(history[history.size() - 2].text.find(u"Путь не найден"), String::npos);
  EXPECT_NE(history.back().text.find(u"слишком длинное"), String::npos);
}

// A program installed where nothing can be saved (its folder read-only)
// opens the dialog in the user's documents folder.
TEST_F(OwnSaveDialogTest, AnUnwritableProgramFolderOpensTheDocumentsFolder) {
  sim_.dialogs().SetReadOnlyFolder(folder_.Str());
  sim_.dialogs().SetDocumentsFolder(Path("sub"));
  String shownFolder;
  Steps({[&](WindowHandle w) { shownFolder = Find<forms::TextBox>(w, u"txtFolder")->Text(); },
         TypeAndEnter(u"отчёт.txt")});
  ASSERT_TRUE(dlg_.Show());
  EXPECT_EQ(dlg_.Record().lpstrInitialDir, folder_.Str()) << "the record names the program's folder, as ever";
  EXPECT_EQ(shownFolder, Path("sub"));
  EXPECT_EQ(dlg_.FileName(), Path("sub") + u"/отчёт.txt");
}

TEST(SaveStartFolder, TheInitialFolderWhereOneMaySaveElseDocuments) {
  struct Case {
    const char16_t* initial;
    bool writable;
    const char16_t* documents;
    const char16_t* expected;
  };
  const Case cases[] = {
      {u"/opt/pd", true, u"/home/u/Документы", u"/opt/pd"},
      {u"/usr/bin", false, u"/home/u/Документы", u"/home/u/Документы"},
      {u"/usr/bin", false, u"", u"/usr/bin"},  // nowhere better: the dialog says why a save fails
      {u"", false, u"/home/u/Документы", u""},  // no initial folder: the dialog's own choice
  };
  for (const Case& c : cases) {
    int asked = 0;
    const String got = platform::SaveStartFolder(
        c.initial,
        [&](StringView f) {
          EXPECT_EQ(f, StringView(c.initial));
          return c.writable;
        },
        [&] {
          ++asked;
          return String(c.documents);
        });
    EXPECT_EQ(got, c.expected) << text::ToUtf8(c.initial);
    EXPECT_EQ(asked, !c.writable && *c.initial != u'\0' ? 1 : 0) << "documents looked up only when needed";
  }
}

TEST_F(OwnSaveDialogTest, TimersKeepFiringWhileItIsOpen) {
  int ticks = 0;
  auto timer = sim_.loop().CreateTimer([&] { ++ticks; });
  timer->SetInterval(100);
  timer->SetEnabled(true);
  bool typed = false;
  sim_.loop().SetUser([&](int depth) {
    if (depth == 1 && !typed && sim_.loop().Now() >= 2500) {
      typed = true;
      sim_.Type(Newest(), u"b.txt");
      sim_.PressKey(Newest(), vk::kReturn);
    }
  });
  ASSERT_TRUE(dlg_.Show());
  EXPECT_GE(ticks, 24) << "one tick every 100 ms of the 2.5 s the dialog was open";
  EXPECT_EQ(dlg_.FileName(), Path("b.txt"));
}

TEST(SaveFileDialogPaths, ParentAndJoinByThePlatformsSeparator) {
  struct Case {
    const char16_t* folder;
    char16_t sep;
    const char16_t* parent;
  };
  const Case cases[] = {
      {u"/home/user", u'/', u"/home"}, {u"/home", u'/', u"/"},      {u"/", u'/', u"/"},
      {u"/home/user/", u'/', u"/home"}, {u"C:\\Work\\A", u'\\', u"C:\\Work"}, {u"C:\\Work", u'\\', u"C:\\"},
      {u"C:\\", u'\\', u"C:\\"},       {u"C:", u'\\', u"C:\\"},
  };
  for (const Case& c : cases) EXPECT_EQ(forms::ParentFolder(c.folder, c.sep), c.parent) << text::ToUtf8(c.folder);
  EXPECT_EQ(forms::JoinFolder(u"/", u"a", u'/'), u"/a");
  EXPECT_EQ(forms::JoinFolder(u"C:\\W", u"a", u'\\'), u"C:\\W\\a");
  EXPECT_TRUE(forms::IsFullPath(u"/a"));
  EXPECT_TRUE(forms::IsFullPath(u"D:\\a"));
  EXPECT_FALSE(forms::IsFullPath(u"a/b"));
}

}  // namespace
}  // namespace pd::shell
