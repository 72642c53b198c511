// KDE Plasma's KWin on the session bus: the desktop contract against a KWin
// of the test's own, which owns org.kde.KWin on the private bus of ctest's
// x11_kwin and speaks what KWin's scripting does (recorded here):
//   /Scripting org.kde.kwin.Scripting loadScript(s file, s plugin) -> i id
//     (-1 while a script of that plugin is loaded), unloadScript(s) -> b;
//   /Scripting/ScriptN (KWin 6) or /N (KWin 5) org.kde.kwin.Script run();
// and, as the script it ran would, calls Chord(s pid) and Active(s pid) on
// the program's connection. The script itself runs under node with KWin's
// objects played (kwin_script_check.js).
#include <dbus/dbus.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "contract/DesktopContract.h"
#include "platform/x11/desktop.h"
#include "platform/x11/kwin_desktop.h"
#include "test_util.h"
#include "x11/FakeBusService.h"

namespace pd::x11 {
namespace {

using platform::DesktopKind;

bool OnPrivateBus() {
  const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  return std::getenv("PD_PRIVATE_BUS") != nullptr && bus != nullptr && *bus != '\0';
}

class FakeKWin final : public test::FakeBusService {
 public:
  // generation 5 or 6 (where scripts are served; any other runs none);
  // stale: a script of the plugin is loaded already and goes a request
  // after it is unloaded. KWin holds the desktop's shortcut service too.
  FakeKWin(int generation, bool stale)
      : FakeBusService({KWinDesktop::kService, "org.kde.kglobalaccel"}), generation_(generation), stale_(stale) {
    if (stale_) plugin_ = KWinDesktop::kPlugin;
    Start();
  }
  ~FakeKWin() override { Stop(); }

  // The window of process id is activated: the script reports it (as 0
  // where it has no local process).
  void Focus(ProcessId id) {
    const std::lock_guard lock(mutex_);
    focus_ = id == test::DesktopSession::kNoLocalProcess ? 0 : id;
    if (running_) outbox_.push_back({"Active", focus_});
  }
  // The chord is pressed while the window of process id is active.
  void Press() {
    const std::lock_guard lock(mutex_);
    if (running_) outbox_.push_back({"Chord", focus_});
  }
  void PressAt(ProcessId id) {
    const std::lock_guard lock(mutex_);
    if (running_) outbox_.push_back({"Chord", id});
  }
  bool Running() {
    const std::lock_guard lock(mutex_);
    return running_;
  }
  bool Answered() {
    const std::lock_guard lock(mutex_);
    return outbox_.empty() && unanswered_ == 0;
  }
  // The file of the script run last, and whether it was there at the run.
  std::string ScriptFile() {
    const std::lock_guard lock(mutex_);
    return scriptFile_;
  }
  // The keys the shortcut service gives the script's action (none: another
  // action holds them).
  void SetKeys(std::vector<dbus_int32_t> keys) {
    const std::lock_guard lock(mutex_);
    keys_ = std::move(keys);
  }
  bool Unloaded() {
    const std::lock_guard lock(mutex_);
    return plugin_.empty();
  }
  std::string Client() {
    const std::lock_guard lock(mutex_);
    return client_;
  }
  std::string ScriptText() {
    const std::lock_guard lock(mutex_);
    return scriptText_;
  }

 private:
  struct Report {
    const char* method;
    ProcessId pid;
  };

  // The script's calls, in order.
  void Tick() override {
    const std::lock_guard lock(mutex_);
    while (!outbox_.empty()) {
      const Report r = outbox_.front();
      outbox_.pop_front();
      DBusMessage* call = dbus_message_new_method_call(client_.c_str(), KWinDesktop::kPath,
                                                       KWinDesktop::kInterface, r.method);
      const std::string pid = std::to_string(r.pid);
      const char* text = pid.c_str();
      dbus_message_append_args(call, DBUS_TYPE_STRING, &text, DBUS_TYPE_INVALID);
      ++unanswered_;
      SendAway(call);
    }
  }

  void Handle(DBusMessage* m) override {
    const int type = dbus_message_get_type(m);
    const std::lock_guard lock(mutex_);
    if (type == DBUS_MESSAGE_TYPE_METHOD_RETURN || type == DBUS_MESSAGE_TYPE_ERROR) {
      if (unanswered_ > 0) --unanswered_;
      return;
    }
    if (type != DBUS_MESSAGE_TYPE_METHOD_CALL) return;
    const std::string path = dbus_message_get_path(m);
    const char* a = nullptr;
    const char* b = nullptr;
    if (path == "/Scripting" && dbus_message_is_method_call(m, "org.kde.kwin.Scripting", "loadScript") != 0 &&
        dbus_message_get_args(m, nullptr, DBUS_TYPE_STRING, &a, DBUS_TYPE_STRING, &b, DBUS_TYPE_INVALID) != 0) {
      dbus_int32_t id = -1;
      if (plugin_.empty()) {
        plugin_ = b;
        scriptFile_ = a;
        client_ = dbus_message_get_sender(m);
        id = ++lastId_;
      }
      DBusMessage* reply = dbus_message_new_method_return(m);
      dbus_message_append_args(reply, DBUS_TYPE_INT32, &id, DBUS_TYPE_INVALID);
      SendAway(reply);
    } else if (path == "/kglobalaccel" && dbus_message_is_method_call(m, "org.kde.KGlobalAccel", "shortcut") != 0) {
      DBusMessage* reply = dbus_message_new_method_return(m);
      const dbus_int32_t* keys = keys_.data();
      dbus_message_append_args(reply, DBUS_TYPE_ARRAY, DBUS_TYPE_INT32, &keys, static_cast<int>(keys_.size()),
                               DBUS_TYPE_INVALID);
      SendAway(reply);
    } else if (path == "/Scripting" &&
               dbus_message_is_method_call(m, "org.kde.kwin.Scripting", "unloadScript") != 0 &&
               dbus_message_get_args(m, nullptr, DBUS_TYPE_STRING, &a, DBUS_TYPE_INVALID) != 0) {
      const dbus_bool_t found = plugin_ == a ? TRUE : FALSE;
      // KWin deletes the script later: a stale one still holds its name
      // for the next request.
      if (found != 0 && stale_) {
        stale_ = false;
        releaseLater_ = true;
      } else if (found != 0) {
        plugin_.clear();
        running_ = false;
      }
      DBusMessage* reply = dbus_message_new_method_return(m);
      dbus_message_append_args(reply, DBUS_TYPE_BOOLEAN, &found, DBUS_TYPE_INVALID);
      SendAway(reply);
      return;
    } else if (path == (generation_ == 6 ? "/Scripting/Script" : generation_ == 5 ? "/" : "/nowhere/") + std::to_string(lastId_) &&
               dbus_message_is_method_call(m, "org.kde.kwin.Script", "run") != 0 && !plugin_.empty()) {
      std::ifstream in(scriptFile_);
      std::stringstream text;
      text << in.rdbuf();
      scriptText_ = text.str();
      running_ = !scriptText_.empty();
      SendAway(dbus_message_new_method_return(m));
      // The script reports the window active when it starts.
      if (running_) outbox_.push_back({"Active", focus_});
    } else {
      SendAway(dbus_message_new_error(m, DBUS_ERROR_UNKNOWN_OBJECT, "no such object"));
    }
    if (releaseLater_ && !(dbus_message_is_method_call(m, "org.kde.kwin.Scripting", "unloadScript") != 0)) {
      releaseLater_ = false;
      plugin_.clear();
    }
  }

  const int generation_;
  bool stale_;
  bool releaseLater_ = false;
  std::string plugin_;
  std::string client_;
  std::string scriptFile_;
  std::string scriptText_;
  int lastId_ = 0;
  bool running_ = false;
  ProcessId focus_ = 0;
  std::deque<Report> outbox_;
  std::vector<dbus_int32_t> keys_{0x0D000011};  // Ctrl+Alt+End
  int unanswered_ = 0;
};

class KWinSession final : public test::DesktopSession {
 public:
  KWinSession(int generation, bool stale) : fake_(generation, stale) {
    if (!fake_.Owned()) std::abort();
    desktop_ = KWinDesktop::Connect(loop_);
    if (!desktop_) std::abort();
  }
  platform::Desktop& Desktop() override { return *desktop_; }
  platform::EventLoop& Loop() override { return loop_; }
  void Focus(ProcessId id) override { fake_.Focus(id); }
  void PressChord() override { fake_.Press(); }
  bool Bound() override { return fake_.Running(); }
  ProcessId Compositor() override { return static_cast<ProcessId>(getpid()); }
  bool FocusReported() override { return fake_.Answered(); }
  FakeKWin& Fake() { return fake_; }

 private:
  FakeKWin fake_;
  X11Loop loop_;
  std::unique_ptr<KWinDesktop> desktop_;
};

test::DesktopBackend KWin(const char* name, int generation, bool stale) {
  return test::DesktopBackend{name, DesktopKind::kKWin,
                              [=]() -> std::unique_ptr<test::DesktopSession> {
                                if (!OnPrivateBus()) return nullptr;
                                return std::make_unique<KWinSession>(generation, stale);
                              },
                              u"Ctrl+Alt+End"};
}

using test::DesktopContract;

// The desktop contract, unchanged, on both generations and past a script
// left loaded by a copy of the program that did not end cleanly (skipped off
// the private bus).
INSTANTIATE_TEST_SUITE_P(KWin, DesktopContract,
                         testing::Values(KWin("kwin6", 6, false), KWin("kwin5", 5, false),
                                         KWin("kwin6_stale", 6, true)),
                         [](const auto& param) { return param.param.name; });

TEST(X11KWin, APressNamesTheWindowOfItsMomentAndOnlyKWinIsHeard) {
  if (!OnPrivateBus()) GTEST_SKIP() << "this owns KWin's name: it runs only on a private session bus (x11_kwin)";
  KWinSession s(6, false);
  auto& d = s.Desktop();
  std::vector<ProcessId> seen;  // the foreground at each press
  ASSERT_TRUE(d.WatchChord([&] { seen.push_back(d.ForegroundProcess()); }));
  EXPECT_EQ(d.ChordName(), u"Ctrl+Alt+End");

  // The script: in a file of this user's alone, naming this connection.
  const std::string file = s.Fake().ScriptFile();
  struct stat st {};
  ASSERT_EQ(stat(file.c_str(), &st), 0) << file;
  EXPECT_EQ(st.st_mode & 0777, 0600U);
  EXPECT_NE(s.Fake().ScriptText().find("registerShortcut("), std::string::npos);

  s.Focus(100);
  s.Fake().PressAt(200);  // activated and pressed before the loop ran
  s.Focus(300);
  test::ServeUntil(s.Loop(), [&] { return s.FocusReported(); }, 2000);
  EXPECT_EQ(seen, std::vector<ProcessId>{200}) << "the press sees its own moment's window";
  EXPECT_EQ(d.ForegroundProcess(), 300U);

  // Another client of the bus calling the same method is refused.
  DBusConnection* stranger = dbus_bus_get_private(DBUS_BUS_SESSION, nullptr);
  ASSERT_NE(stranger, nullptr);
  DBusMessage* call = dbus_message_new_method_call(s.Fake().Client().c_str(), KWinDesktop::kPath,
                                                   KWinDesktop::kInterface, "Chord");
  const char* pid = "1";
  dbus_message_append_args(call, DBUS_TYPE_STRING, &pid, DBUS_TYPE_INVALID);
  DBusPendingCall* pending = nullptr;
  dbus_connection_send_with_reply(stranger, call, &pending, 2000);
  dbus_message_unref(call);
  test::ServeUntil(
      s.Loop(),
      [&] {
        dbus_connection_read_write_dispatch(stranger, 0);
        return dbus_pending_call_get_completed(pending) != 0;
      },
      2000);
  DBusMessage* reply = dbus_pending_call_steal_reply(pending);
  ASSERT_NE(reply, nullptr);
  EXPECT_STREQ(dbus_message_get_error_name(reply), DBUS_ERROR_ACCESS_DENIED);
  dbus_message_unref(reply);
  dbus_pending_call_unref(pending);
  dbus_connection_close(stranger);
  dbus_connection_unref(stranger);
  EXPECT_EQ(seen.size(), 1U);
  EXPECT_EQ(d.ForegroundProcess(), 300U);

  d.UnwatchChord();
  EXPECT_FALSE(s.Bound());
  EXPECT_NE(stat(file.c_str(), &st), 0) << "the script's file goes with it";
  EXPECT_EQ(d.ChordName(), u"");
}

// The keys named are those the shortcut service holds; a KWin that runs no
// script, or whose service gave the keys to another action, leaves nothing
// behind.
TEST(X11KWin, NamesTheKeysKWinHoldsOrBindsNothing) {
  if (!OnPrivateBus()) GTEST_SKIP() << "this owns KWin's name: it runs only on a private session bus (x11_kwin)";
  struct Case {
    int generation;
    std::vector<dbus_int32_t> keys;
    String name;  // "": refused
  };
  const Case cases[] = {
      {6, {0x0D000011}, u"Ctrl+Alt+End"},
      {6, {0x1400004B, 0x0D000011}, u"Ctrl+WIN+K"},  // the user's choice first
      {5, {0x0E000000 | 0x01000030}, u"Ctrl+Alt+Shift+F1"},
      {6, {}, u""},   // another action holds them
      {0, {0x0D000011}, u""},  // the script never ran
  };
  for (const Case& c : cases) {
    KWinSession s(c.generation, false);
    s.Fake().SetKeys(c.keys);
    EXPECT_EQ(s.Desktop().WatchChord([] {}), !c.name.empty());
    EXPECT_EQ(s.Desktop().ChordName(), c.name);
    EXPECT_EQ(s.Fake().Unloaded(), c.name.empty());
    struct stat st {};
    EXPECT_EQ(stat(s.Fake().ScriptFile().c_str(), &st) == 0, !c.name.empty()) << s.Fake().ScriptFile();
  }
  for (const auto& [code, name] : {std::pair{0x0C000000 | 0x41, u"Ctrl+Alt+A"}, std::pair{0x10000020, u"WIN+Space"},
                                   std::pair{0x04000000 | 0x01000052, u"Ctrl+F35"},
                                   std::pair{0x08000000 | 0x01001234, u"Alt+#16781876"}}) {
    EXPECT_EQ(KWinDesktop::KeyName(code), name);
  }
}

// The script under node, as KWin 5 and KWin 6 would run it; and no name but
// a bus's unique one is ever written into it.
TEST(X11KWinScript, ReportsTheActiveWindowOnBothGenerations) {
  EXPECT_EQ(KWinDesktop::Script("\"); evil(); \""), "");
  EXPECT_EQ(KWinDesktop::Script("org.kde.KWin"), "");
  const char* source = std::getenv("PD_SOURCE_DIR");
  if (source == nullptr || std::system("command -v node >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "needs node and PD_SOURCE_DIR (ctest's x11_kwin)";
  }
  test::TempFolder folder;
  const std::string file = folder.Path().string() + "/script.js";
  std::ofstream(file) << KWinDesktop::Script(":1.42");
  const std::string command =
      "node " + std::string(source) + "/tests/x11/kwin_script_check.js " + file + " :1.42";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

}  // namespace
}  // namespace pd::x11
