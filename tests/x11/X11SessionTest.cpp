// The session's end and a second start on Linux: real signals to the test
// process, a second process claiming the single-instance lock, and an X
// server that goes away under the loop.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/x11/app.h"
#include "platform/x11/connection.h"
#include "platform/x11/loop.h"
#include "test_util.h"
#include "x11/X11TestUtil.h"

namespace pd::x11 {
namespace {

using test::EnvVar;
using test::TempFolder;

bool Blocked(int sig) {
  sigset_t now;
  pthread_sigmask(SIG_SETMASK, nullptr, &now);
  return sigismember(&now, sig) == 1;
}

// Runs the loop until done() or ms passed; done() at the end.
bool RunUntil(X11Loop& loop, const std::function<bool()>& done, int ms = 2000) {
  auto tick = loop.CreateTimer([] {});
  tick->SetInterval(50);
  tick->SetEnabled(true);
  const std::uint64_t until = loop.TickCount() + static_cast<std::uint64_t>(ms);
  loop.RunModal([&] { return done() || loop.TickCount() > until; });
  return done();
}

TEST(X11Session, EachSignalThatEndsTheSessionReachesTheHandlerThroughTheLoop) {
  for (const int sig : {SIGTERM, SIGHUP, SIGINT}) {
    ASSERT_FALSE(Blocked(sig));
    X11Loop loop;
    int calls = 0;
    loop.SetEndRequest([&] { ++calls; });
    EXPECT_TRUE(Blocked(sig)) << "read from the loop, never by a handler of the signal";
    kill(getpid(), sig);
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(RunUntil(loop, [&] { return calls == 1; })) << strsignal(sig);
    loop.SetEndRequest(nullptr);
    EXPECT_FALSE(Blocked(sig)) << "the mask as it was before";
  }
}

// The holder of the lock listens beside it; a second process that finds
// the lock held asks the holder to show its window and ends at once.
TEST(X11App, ASecondStartAsksTheHolderToShowItsWindow) {
  TempFolder runtime;
  EnvVar xdg("XDG_RUNTIME_DIR", runtime.Path().string());
  const std::string socket = X11App::SocketPath();
  EXPECT_EQ(socket, (runtime.Path() / "ProcessDrovak.sock").string());
  // What a holder that was killed left behind.
  { std::ofstream(socket) << "stale"; }
  X11Loop loop;
  int shows = 0;
  {
    X11App first({}, &loop);
    first.SetShowRequest([&] { ++shows; });
    ASSERT_FALSE(first.PrevInstance());
    struct stat st {};
    ASSERT_EQ(lstat(socket.c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode)) << "made anew over what was left";
    EXPECT_EQ(st.st_mode & 077, 0U) << "for the user only";

    for (int start = 1; start <= 2; ++start) {
      const pid_t pid = fork();
      if (pid == 0) {
        X11App second;
        _exit(second.PrevInstance() ? 1 : 0);
      }
      int status = 0;
      waitpid(pid, &status, 0);
      EXPECT_EQ(WEXITSTATUS(status), 1) << "start " << start << " finds the holder";
      EXPECT_TRUE(RunUntil(loop, [&] { return shows == start; })) << "start " << start;
    }
    first.SetShowRequest(nullptr);
    const pid_t pid = fork();
    if (pid == 0) _exit(X11App().PrevInstance() ? 1 : 0);
    waitpid(pid, nullptr, 0);
    RunUntil(loop, [] { return false; }, 200);
    EXPECT_EQ(shows, 2) << "no handler, no show";
  }
  EXPECT_FALSE(std::filesystem::exists(socket)) << "the socket goes with its holder";
}

// An X server of the test's own, reporting its display number.
class Server {
 public:
  Server() {
    std::array<int, 2> ends{};
    if (pipe(ends.data()) != 0) return;
    server_ = std::make_unique<test::Child>(
        std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(ends[1]), "-nolisten", "tcp"});
    close(ends[1]);
    std::array<char, 16> buf{};
    const ssize_t n = server_->Pid() > 0 ? read(ends[0], buf.data(), buf.size() - 1) : -1;
    close(ends[0]);
    std::string number = n > 0 ? std::string(buf.data(), static_cast<std::size_t>(n)) : std::string();
    while (!number.empty() && (number.back() < '0' || number.back() > '9')) number.pop_back();
    if (!number.empty()) display_ = ":" + number;
  }
  [[nodiscard]] const std::string& Display() const { return display_; }
  void Kill() {
    kill(server_->Pid(), SIGKILL);
    server_->Reap();
  }
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;
  ~Server() = default;

 private:
  std::unique_ptr<test::Child> server_;
  std::string display_;
};

// With a handler the loss is the session's end, told once; without one the
// loop ends by itself (and the program with it).
TEST(X11Session, TheLossOfTheDisplayEndsTheSessionOnce) {
  for (const bool handled : {true, false}) {
    Server server;
    if (server.Display().empty()) GTEST_SKIP() << "Xvfb could not be started";
    EnvVar display("DISPLAY", server.Display());
    std::string error;
    auto x = XConnection::Open(error);
    ASSERT_NE(x, nullptr) << error;
    X11Loop loop(x.get());
    int calls = 0;
    if (handled) {
      loop.SetEndRequest([&] {
        ++calls;
        loop.Quit();
      });
    }
    auto guard = loop.CreateTimer([&] {
      ADD_FAILURE() << "the loop did not see the loss";
      loop.Quit();
    });
    guard->SetInterval(5000);
    guard->SetEnabled(true);
    server.Kill();
    loop.Run();
    EXPECT_TRUE(x->Lost());
    EXPECT_EQ(calls, handled ? 1 : 0);
    guard->SetEnabled(false);
    // Requests on the lost connection do nothing; nothing more is told.
    std::vector<unsigned long> values;
    x->ReadLongs(x->Root(), x->GetAtom("_NET_ACTIVE_WINDOW"), 33 /* WINDOW */, values);
    loop.DoEvents();
    RunUntil(loop, [] { return false; }, 200);
    EXPECT_EQ(calls, handled ? 1 : 0);
  }
}

}  // namespace
}  // namespace pd::x11
