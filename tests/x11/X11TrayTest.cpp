// The tray icon on the Linux desktop, inside a private session that
// scripts/with-xvfb --tray --notify starts (Xvfb, openbox, tint2, dunst on a
// session bus of its own): the XEmbed icon docks in tint2, takes a click and
// shows its tooltip, comes back after tint2 restarts; balloons reach dunst,
// replace each other and are withdrawn; a StatusNotifierWatcher (Python)
// sees the item register and its Activate raises the mouse events; without
// a bus our own popup shows the balloon. X11NoTrayTest runs on a desktop
// with dunst and no tray (ctest's x11_notray). With PD_TRAY_SHOT=folder the
// screen is saved there as PNG files.
// GoogleTest first: Xlib's macros (None, Bool) would break its headers.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xatom.h>
// clang-format on
#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>

#include "X11TestUtil.h"
#include "forms/ControlHost.h"
#include "forms/Form.h"
#include "platform/x11/platform.h"
#include "shell/TrayIcon.h"
#include "test_util.h"

namespace pd::x11 {
namespace {

using test::Child;
constexpr int kWaitMs = 8000;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Capture(const std::string& command) {
  std::string out;
  if (FILE* p = popen(("timeout 10 " + command + " 2>/dev/null").c_str(), "r")) {
    char buf[256];
    while (std::fgets(buf, sizeof buf, p) != nullptr) out += buf;
    pclose(p);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

// One program on the display: the platform, a form and its tray icon, and
// what the icon raised.
struct Program {
  Program() {
    String error;
    platform = platform::CreatePlatform(error);
    if (!platform) return;
    x11 = dynamic_cast<X11Platform*>(platform.get());
    host = std::make_unique<forms::ControlHost>(*platform);
    form = std::make_unique<forms::Form>(*host, u"frmMain", u"frmMain");
    icon = std::make_unique<shell::TrayIcon>(*form);
    icon->MouseDown.Connect([this](std::int16_t b) { log.push_back("Down" + std::to_string(b)); });
    icon->MouseUp.Connect([this](std::int16_t b) { log.push_back("Up" + std::to_string(b)); });
    icon->SetIcon(platform->resources().LoadPicture(platform::res::kIconEnabled, 0));
    icon->SetTipText(u"Process Drovak 1.3");
  }
  X11Tray& tray() const { return x11->tray(); }
  Display* dpy() const { return x11->Connection().Dpy(); }
  // Serves the loop until pred holds or ms pass.
  template <typename Pred>
  bool Pump(Pred pred, int ms = kWaitMs) {
    return test::WaitFor(
        [&] {
          platform->loop().DoEvents();
          return pred();
        },
        ms);
  }
  bool Logged(const std::string& what) const { return std::find(log.begin(), log.end(), what) != log.end(); }
  // The window the icon window is docked in (0 while it is not).
  XWindow DockParent() const {
    const XWindow w = tray().IconWindow();
    if (w == 0) return 0;
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned n = 0;
    if (XQueryTree(dpy(), w, &root, &parent, &children, &n) == 0) return 0;
    if (children != nullptr) XFree(children);
    return parent == root ? 0 : parent;
  }
  XWindow Manager() const { return XGetSelectionOwner(dpy(), XInternAtom(dpy(), "_NET_SYSTEM_TRAY_S0", False)); }

  std::unique_ptr<platform::Platform> platform;
  X11Platform* x11 = nullptr;
  std::unique_ptr<forms::ControlHost> host;
  std::unique_ptr<forms::Form> form;
  std::unique_ptr<shell::TrayIcon> icon;
  std::vector<std::string> log;
};

class X11TrayTest : public ::testing::Test {
 protected:
  static void TearDownTestSuite() { tint2_.reset(); }

  void SetUp() override {
    if (std::getenv("PD_X11_PRIVATE_DISPLAY") == nullptr || std::getenv("DISPLAY") == nullptr) {
      GTEST_SKIP() << "these tests click and restart the tray: they run only in a private X session "
                      "(ctest's x11_tray test, scripts/with-xvfb --tray --notify)";
    }
    p_ = std::make_unique<Program>();
    ASSERT_NE(p_->x11, nullptr);
    ASSERT_TRUE(p_->Pump([&] { return p_->tray().ShellPresent(); }, 20'000)) << "no tray manager (tint2) came";
  }
  void NeedBus() {
    if (!p_->tray().HasBus()) GTEST_FAIL() << "no session bus: run under scripts/with-xvfb --notify";
  }
  void Shot(const char* name) {
    if (const char* dir = std::getenv("PD_TRAY_SHOT")) {
      std::system(("import -window root " + std::string(dir) + "/" + name + ".png").c_str());
    }
  }

  std::unique_ptr<Program> p_;
  static std::unique_ptr<Child> tint2_;  // the tray started by a test; lives to the suite's end
};

std::unique_ptr<Child> X11TrayTest::tint2_;

TEST_F(X11TrayTest, BalloonsReachTheServerReplaceEachOtherAndAreWithdrawn) {
  NeedBus();
  test::TempFolder folder;
  const std::string log = (folder.Path() / "monitor").string();
  Child monitor({"sh", "-c", "exec dbus-monitor --session \"interface='org.freedesktop.Notifications'\" >\"$0\"", log});
  ASSERT_TRUE(p_->Pump([&] { return ReadAll(log).find("NameAcquired") != std::string::npos; }));
  p_->icon->AddIcon();
  ASSERT_TRUE(p_->Pump([&] { return p_->DockParent() != 0; })) << "the icon did not dock";

  p_->icon->ShowBallon(u"notepad.exe", u"Было закрыто.", 1);
  ASSERT_TRUE(p_->Pump([&] { return p_->tray().NotificationId() != 0; })) << "no notification id came";
  const std::uint32_t id = p_->tray().NotificationId();
  EXPECT_TRUE(p_->Pump([&] { return Capture("dunstctl count displayed") == "1"; }));
  Shot("tray-balloon");

  p_->icon->ShowBallon(u"calc.exe", u"Процесс заблокирован", 2);
  ASSERT_TRUE(p_->Pump([&] { return ReadAll(log).find("Процесс заблокирован") != std::string::npos; }));
  p_->Pump([] { return false; }, 200);
  EXPECT_EQ(p_->tray().NotificationId(), id) << "the second balloon did not replace the first";
  EXPECT_EQ(Capture("dunstctl count displayed"), "1");

  p_->icon->ModifyIcon();  // clears the balloon fields: withdraws it
  EXPECT_EQ(p_->tray().NotificationId(), 0U);
  EXPECT_TRUE(p_->Pump([&] { return Capture("dunstctl count displayed") == "0"; }));
  EXPECT_TRUE(p_->Pump([&] { return ReadAll(log).find("CloseNotification") != std::string::npos; }));

  const std::string seen = ReadAll(log);
  EXPECT_NE(seen.find("string \"Было закрыто.\""), std::string::npos);
  EXPECT_NE(seen.find("uint32 " + std::to_string(id)), std::string::npos) << "replaces_id";
  EXPECT_EQ(seen.find("byte 2"), std::string::npos) << "a warning is no critical notification";
  EXPECT_NE(seen.find("int32 10000"), std::string::npos) << "a balloon's timeout";
}

TEST_F(X11TrayTest, WithoutABusOurOwnPopupShowsTheBalloon) {
  test::EnvVar noBus("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
  Program q;
  ASSERT_NE(q.x11, nullptr);
  q.icon->AddIcon();
  ASSERT_TRUE(q.Pump([&] { return q.DockParent() != 0; }));
  EXPECT_FALSE(q.tray().HasBus());
  q.icon->ShowBallon(u"notepad.exe - Что это?", u"Программа завершает активное приложение при нажатии Ctrl+Alt+WIN дважды.", 1);
  EXPECT_TRUE(q.tray().PopupShown());
  Shot("tray-popup");
  q.icon->SetIcon(q.platform->resources().LoadPicture(platform::res::kIconSuccess, 0));
  EXPECT_FALSE(q.tray().PopupShown());
}

TEST_F(X11TrayTest, StatusNotifierItemRegistersAndActivateRaisesMouseEvents) {
  NeedBus();
  test::TempFolder folder;
  const std::string out = (folder.Path() / "watcher").string();
  p_->icon->SetRestoreOnShellFail(true);
  p_->icon->AddIcon();
  ASSERT_TRUE(p_->Pump([&] { return p_->DockParent() != 0; }));
  {
    const char* source = std::getenv("PD_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    Child watcher({"sh", "-c", "exec /usr/bin/python3 \"$0\" >\"$1\" 2>&1",
                   std::string(source) + "/tests/x11/sni_watcher.py", out});
    // The watcher comes: the icon moves to it (restore tick), registers, and
    // the watcher's Activate arrives as a left click.
    ASSERT_TRUE(p_->Pump([&] { return ReadAll(out).find("activated") != std::string::npos; }))
        << ReadAll(out);
    EXPECT_EQ(p_->tray().IconMode(), X11Tray::Mode::kStatusNotifier);
    const std::string said = ReadAll(out);
    EXPECT_NE(said.find("registered " + p_->tray().ItemName()), std::string::npos) << said;
    EXPECT_NE(said.find("title Process Drovak 1.3"), std::string::npos) << said;
    EXPECT_NE(said.find("tooltip Process Drovak 1.3"), std::string::npos) << said;
    EXPECT_NE(said.find("pixmaps 1"), std::string::npos) << said;
    EXPECT_TRUE(p_->Pump([&] { return p_->Logged("Down1") && p_->Logged("Up1"); }));
    EXPECT_EQ(p_->log, (std::vector<std::string>{"Down1", "Up1"}));
  }
  // The watcher is gone: the icon goes back to the XEmbed tray.
  EXPECT_TRUE(p_->Pump([&] { return p_->tray().IconMode() == X11Tray::Mode::kXEmbed && p_->DockParent() != 0; }));
}

// A desktop with a notification server and no tray (stock GNOME without its
// extension): ctest's x11_notray test runs these under scripts/with-xvfb
// --notify alone. No icon can show; balloons still reach the server, as
// balloons (normal urgency, a 10 s timeout, whatever the icon), and NoTray
// comes once, kNoTrayMs after AddIcon.
class X11NoTrayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("PD_X11_PRIVATE_DISPLAY") == nullptr || std::getenv("PD_X11_NO_TRAY") == nullptr) {
      GTEST_SKIP() << "these need a desktop without a tray: ctest's x11_notray test "
                      "(scripts/with-xvfb --notify, without --tray)";
    }
  }
};

TEST_F(X11NoTrayTest, BalloonsReachTheServerAsBalloonsAndNoTrayComesOnce) {
  Program p;
  ASSERT_NE(p.x11, nullptr);
  ASSERT_TRUE(p.tray().HasBus()) << "no session bus: run under scripts/with-xvfb --notify";
  test::TempFolder folder;
  const std::string log = (folder.Path() / "monitor").string();
  Child monitor({"sh", "-c", "exec dbus-monitor --session \"interface='org.freedesktop.Notifications'\" >\"$0\"", log});
  ASSERT_TRUE(p.Pump([&] { return ReadAll(log).find("NameAcquired") != std::string::npos; }));
  int noTray = 0;
  p.icon->NoTray.Connect([&] { ++noTray; });
  const auto start = std::chrono::steady_clock::now();
  p.icon->SetRestoreOnShellFail(true);
  p.icon->AddIcon();
  EXPECT_FALSE(p.tray().ShellPresent());
  EXPECT_FALSE(p.icon->IconShown());

  // A warning, then an error and information replacing it: one bubble.
  for (const std::uint32_t flags : {platform::niif::kWarning, platform::niif::kError, platform::niif::kInfo}) {
    p.icon->ShowBallon(u"notepad.exe", u"Было закрыто " + String(1, static_cast<char16_t>(u'0' + flags)), flags);
    ASSERT_TRUE(p.Pump([&] { return p.tray().NotificationId() != 0 && !p.tray().NotifyInFlight(); }));
    EXPECT_TRUE(p.Pump([&] { return Capture("dunstctl count displayed") == "1"; }));
  }
  EXPECT_FALSE(p.tray().PopupShown());

  ASSERT_TRUE(p.Pump([&] { return noTray > 0; }, 8000)) << "NoTray never came";
  const auto after = std::chrono::steady_clock::now() - start;
  EXPECT_GE(after, std::chrono::milliseconds(shell::TrayIcon::kNoTrayMs));
  p.Pump([] { return false; }, 1000);
  EXPECT_EQ(noTray, 1);

  // What the server was told: every Notify with urgency normal (byte 1)
  // and an expire timeout of 10 s.
  const std::string seen = ReadAll(log);
  std::size_t notifies = 0;
  for (std::size_t at = seen.find("member=Notify"); at != std::string::npos; at = seen.find("member=Notify", at + 1)) {
    ++notifies;
    const std::size_t end = seen.find("method ", at + 1);
    const std::string call = seen.substr(at, end == std::string::npos ? std::string::npos : end - at);
    const std::size_t urgency = call.find("byte ", call.find("string \"urgency\""));
    EXPECT_EQ(urgency == std::string::npos ? "" : call.substr(urgency, 6), "byte 1") << call;
    EXPECT_NE(call.find("int32 10000"), std::string::npos) << call;
  }
  EXPECT_EQ(notifies, 3U);
  EXPECT_EQ(seen.find("byte 2"), std::string::npos) << "no critical urgency";
}

TEST_F(X11NoTrayTest, WithoutANotificationServerOurOwnPopupShowsTheBalloon) {
  test::EnvVar noBus("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
  Program q;
  ASSERT_NE(q.x11, nullptr);
  q.icon->AddIcon();
  EXPECT_FALSE(q.icon->IconShown());
  q.icon->ShowBallon(u"Process Drovak 1.3", u"Значок программы не может быть показан.", 1);
  EXPECT_TRUE(q.tray().PopupShown());
}

// Last: it replaces the session's tint2 with one of its own.
TEST_F(X11TrayTest, XEmbedIconDocksShowsItsTipTakesClicksAndComesBackAfterTheTrayRestarts) {
  p_->icon->SetRestoreOnShellFail(true);
  p_->icon->AddIcon();
  ASSERT_EQ(p_->tray().IconMode(), X11Tray::Mode::kXEmbed);
  ASSERT_TRUE(p_->Pump([&] { return p_->DockParent() != 0; })) << "the icon did not dock";
  const std::string w = std::to_string(p_->tray().IconWindow());

  ASSERT_EQ(std::system(("timeout 10 xdotool mousemove --window " + w + " 6 6").c_str()), 0);
  EXPECT_TRUE(p_->Pump([&] { return p_->tray().TooltipWindow() != 0; })) << "no tooltip";
  Shot("tray-tooltip");
  ASSERT_EQ(std::system(("timeout 10 xdotool mousemove --window " + w + " 6 6 click 3").c_str()), 0);
  EXPECT_TRUE(p_->Pump([&] { return p_->Logged("Up2"); }));
  EXPECT_EQ(p_->log, (std::vector<std::string>{"Down2", "Up2"}));
  EXPECT_EQ(p_->tray().TooltipWindow(), 0U) << "a click hides the tooltip";

  // tint2 ends: the icon is lost (Added false, Wanted true); a new tint2
  // comes: the icon docks in it without any call.
  const XWindow old = p_->Manager();
  const ProcessId pid = p_->platform->processes().WindowOwner(old);
  ASSERT_GT(pid, 1U);
  ASSERT_EQ(kill(static_cast<pid_t>(pid), SIGTERM), 0);
  ASSERT_TRUE(p_->Pump([&] { return !p_->tray().ShellPresent(); }));
  EXPECT_TRUE(p_->Pump([&] { return !p_->icon->Added() && p_->icon->Wanted(); }, 1000));
  tint2_ = std::make_unique<Child>(std::vector<std::string>{"sh", "-c", "exec tint2 >/dev/null 2>&1"});
  ASSERT_TRUE(p_->Pump([&] { return p_->DockParent() != 0; }, 20'000)) << "the icon did not come back";
  EXPECT_EQ(p_->platform->processes().WindowOwner(p_->Manager()), tint2_->Id());
  EXPECT_TRUE(p_->icon->Added());
}

}  // namespace
}  // namespace pd::x11
