// The save dialog on a real X server, used with xdotool as a person would:
// the control host's own dialog where no desktop portal answers, and the
// desktop's file chooser through the portal where one does (a private
// session bus that D-Bus activation starts the portal on). These run in the
// private session ctest's x11_savedialog test starts (scripts/with-xvfb,
// dbus-run-session); elsewhere they are skipped.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "X11TestUtil.h"
#include "forms/ControlHost.h"
#include "forms/Form.h"
#include "platform/x11/dialogs.h"
#include "platform/x11/host.h"
#include "platform/x11/loop.h"
#include "shell/SaveDialog.h"
#include "test_util.h"

namespace pd::x11 {
namespace {

using test::Child;
using test::EnvVar;

constexpr std::int64_t kGiveUpMs = 20000;

class X11SaveDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0' || std::getenv("PD_X11_PRIVATE_DISPLAY") == nullptr) {
      GTEST_SKIP() << "these tests type into windows: they run only in a private X session "
                      "(ctest's x11_savedialog test, scripts/with-xvfb)";
    }
    std::ofstream(folder_.Path() / "old.txt") << "x";
  }

  // A platform, a shown owner form and the component, with or without the
  // session bus (and so the portal).
  void Start(bool withBus) {
    if (!withBus) noBus_.emplace("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
    String error;
    platform_ = platform::CreatePlatform(error);
    ASSERT_TRUE(platform_) << text::ToUtf8(error);
    host_ = std::make_unique<forms::ControlHost>(*platform_);
    owner_ = std::make_unique<forms::Form>(*host_, u"frmMain", u"ProcessDrovak");
    owner_->Move(200 * kTwipsPerPixel, 150 * kTwipsPerPixel, 460 * kTwipsPerPixel, 300 * kTwipsPerPixel);
    owner_->Show();
    dlg_ = std::make_unique<shell::SaveDialog>(*owner_);
    dlg_->SetFilter(u"Текстовый файл (*.txt)|*.txt|Все файлы|*.*");
    dlg_->SetFilterIndex(1);
    dlg_->SetFlags(2);
    dlg_->SetInitDir(folder_.Str());
  }

  [[nodiscard]] X11Dialogs& Dialogs() const { return dynamic_cast<X11Dialogs&>(platform_->dialogs()); }

  // Shows the dialog titled title while script (sh) acts on it; a dialog
  // still open after kGiveUpMs is closed so that the test fails, not hangs.
  bool ShowWhile(const std::string& title, const std::string& script) {
    dlg_->SetDialogTitle(text::FromUtf8(title));
    Child user({"sh", "-c", script});
    const std::int64_t start = MonotonicMs();
    gaveUp_ = false;
    auto guard = platform_->loop().CreateTimer([&] {
      if (gaveUp_ || MonotonicMs() - start < kGiveUpMs) return;
      gaveUp_ = true;
      for (forms::Form* f : host_->Forms()) {
        if (f != owner_.get() && f->Visible()) f->Unload();
      }
      std::system("timeout 5 xdotool key Escape");
    });
    guard->SetInterval(100);
    guard->SetEnabled(true);
    ownerHeld_ = false;
    auto watch = platform_->loop().CreateTimer([&] {
      ownerHeld_ = ownerHeld_ || !dynamic_cast<X11Host&>(platform_->host()).InputEnabled(owner_->Window());
    });
    watch->SetInterval(50);
    watch->SetEnabled(true);
    const bool chosen = dlg_->Show();
    watch->SetEnabled(false);
    guard->SetEnabled(false);
    user.Reap();
    return chosen;
  }

  // Shell: waits (at most 10 s) for the visible window named exactly
  // name, focuses it and leaves its id in $w.
  static std::string FocusWindow(const std::string& name) {
    return "w=; for i in $(seq 200); do w=$(xdotool search --onlyvisible --name '^" + name +
           "$' 2>/dev/null | head -n 1); [ -n \"$w\" ] && break; sleep 0.05; done; "
           "timeout 5 xdotool windowactivate --sync $w 2>/dev/null; timeout 5 xdotool windowfocus --sync $w; "
           "sleep 0.2; ";
  }
  static std::string Shot(const std::string& name) {
    const char* dir = std::getenv("PD_X11_SHOTS");
    return dir != nullptr ? "import -window root '" + std::string(dir) + "/" + name + ".png'; " : "";
  }

  test::TempFolder folder_;
  std::optional<EnvVar> noBus_;
  std::unique_ptr<platform::Platform> platform_;
  std::unique_ptr<forms::ControlHost> host_;
  std::unique_ptr<forms::Form> owner_;
  std::unique_ptr<shell::SaveDialog> dlg_;
  bool gaveUp_ = false;
  bool ownerHeld_ = false;  // the owner took no input at some moment of the dialog
};

TEST_F(X11SaveDialog, OwnDialogTakesATypedNameEscapeAndTheOverwriteQuestion) {
  Start(false);
  struct Case {
    const char* what;
    std::string keys;  // after the dialog has the focus
    bool chosen;
    const char* name;  // the chosen file in the folder
  };
  const std::string question = FocusWindow("Подтвердить сохранение как");
  const std::vector<Case> cases = {
      // Latin: xdotool types Cyrillic by remapping a spare key code for a
      // moment, which a busy program may read after it is gone (the host
      // contract types Cyrillic through a Russian layout instead).
      {"a name and Enter", Shot("own-dialog") + "xdotool type --delay 30 'report'; xdotool key Return", true,
       "report.txt"},
      {"Escape", "xdotool type --delay 30 'другой'; xdotool key Escape", false, nullptr},
      {"an existing file: No, then Yes",
       "xdotool type --delay 30 old.txt; xdotool key Return; " + question + Shot("own-question") +
           "xdotool key Escape; " + FocusWindow("PD own") + "xdotool key Return; " + question + "xdotool key Return",
       true, "old.txt"},
  };
  dlg_->SetDefaultExt(u"txt");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const bool chosen = ShowWhile("PD own", FocusWindow("PD own") + c.keys);
    EXPECT_FALSE(gaveUp_) << "the keys never closed the dialog";
    EXPECT_EQ(Dialogs().LastError(), "X11: no session bus ($DBUS_SESSION_BUS_ADDRESS is not set)");
    ASSERT_EQ(chosen, c.chosen);
    EXPECT_TRUE(ownerHeld_) << "the dialog held its owner";
    if (c.chosen) {
      EXPECT_EQ(dlg_->FileName(), folder_.File(c.name));
      EXPECT_EQ(dlg_->FileTitle(), text::FromUtf8(c.name));
    }
  }
}

TEST_F(X11SaveDialog, DesktopPortalChooserReturnsThePathOrACancel) {
  const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (bus == nullptr || *bus == '\0') GTEST_SKIP() << "no session bus: run under dbus-run-session (ctest does)";
  if (!std::filesystem::exists("/usr/libexec/xdg-desktop-portal-gtk")) {
    GTEST_SKIP() << "xdg-desktop-portal-gtk is not installed (scripts/install-deps installs it)";
  }
  Start(true);
  // The chooser's name field has the focus and holds current_name: the
  // Cyrillic name goes there and comes back in the uri (typing it into the
  // chooser loses keys on a busy machine). The chooser needs a moment
  // before Return saves.
  dlg_->SetFileName(u"список.txt");
  const std::string title = "PD portal";
  const bool chosen = ShowWhile(title, FocusWindow(title) + Shot("portal-dialog") + "sleep 0.5; " +
                                           Shot("portal-typed") + "xdotool key Return");
  ASSERT_TRUE(Dialogs().LastError().empty()) << Dialogs().LastError();
  EXPECT_FALSE(gaveUp_);
  ASSERT_TRUE(chosen);
  EXPECT_EQ(dlg_->FileName(), folder_.File("список.txt")) << "the folder given, the uri turned into a path";
  EXPECT_EQ(dlg_->FileTitle(), u"список.txt");
  EXPECT_TRUE(ownerHeld_) << "the chooser held the owner";
  EXPECT_TRUE(dynamic_cast<X11Host&>(platform_->host()).InputEnabled(owner_->Window())) << "and gave it back";

  dlg_->SetCancelError(true);
  EXPECT_FALSE(ShowWhile(title, FocusWindow(title) + "xdotool key Escape"));
  EXPECT_TRUE(Dialogs().LastError().empty());
  EXPECT_EQ(dlg_->ErrNumber(), shell::SaveDialog::kCdlCancel);
  EXPECT_EQ(dlg_->FileName(), folder_.File("список.txt"));
}

// The packaged program lives in /usr/bin, where no report can be saved:
// the dialog opens in the user's documents folder (the XDG user dirs)
// instead, the control host's own and the portal's chooser alike. InitDir
// stands for the program's folder (this test runs from the build tree).
TEST_F(X11SaveDialog, AProgramInstalledInUsrBinOpensTheDocumentsFolder) {
  const std::filesystem::path documents = folder_.Path() / "Документы";
  std::filesystem::create_directories(documents);
  std::filesystem::create_directories(folder_.Path() / "config");
  std::ofstream(folder_.Path() / "config" / "user-dirs.dirs")
      << "# written by a test\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"" << documents.string() << "\"\n";
  EnvVar config("XDG_CONFIG_HOME", (folder_.Path() / "config").string());
  const bool portal = std::getenv("DBUS_SESSION_BUS_ADDRESS") != nullptr &&
                      std::filesystem::exists("/usr/libexec/xdg-desktop-portal-gtk");
  for (const bool withBus : {false, true}) {
    if (withBus && !portal) continue;
    SCOPED_TRACE(withBus ? "the portal's chooser" : "the own dialog");
    noBus_.reset();
    Start(withBus);
    EXPECT_FALSE(Dialogs().MaySaveIn(u"/usr/bin"));
    EXPECT_EQ(Dialogs().DocumentsFolder(), text::FromUtf8(documents.string()));
    dlg_->SetInitDir(u"/usr/bin");
    dlg_->SetDefaultExt(u"txt");
    dlg_->SetFileName(u"report.txt");
    const std::string title = withBus ? "PD portal docs" : "PD own docs";
    // The name box holds the name and the focus: Return saves it (again
    // while the window stays: a chooser just started may miss the first).
    ASSERT_TRUE(ShowWhile(title, FocusWindow(title) + "for i in $(seq 10); do sleep 0.5; xdotool key Return; "
                                                      "sleep 1; xdotool search --onlyvisible --name '^" + title +
                                                      "$' >/dev/null || break; xdotool windowfocus $w; done"));
    EXPECT_EQ(dlg_->Record().lpstrInitialDir, u"/usr/bin") << "the record as ever";
    EXPECT_EQ(dlg_->FileName(), text::FromUtf8((documents / "report.txt").string()));
    dlg_.reset();
    owner_.reset();
    host_.reset();
    platform_.reset();
  }
}

}  // namespace
}  // namespace pd::x11
