// The Linux desktop: the session's environment read into a kind, the
// compositors' framing and answers, and the desktop contract against fake
// compositors that speak sway's IPC and Hyprland's sockets (the messages
// they exchange are recorded below). A real sway runs in
// tests/e2e/sway_e2e.sh.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <random>
#include <thread>

#include "contract/DesktopContract.h"
#include "platform/x11/desktop.h"
#include "platform/x11/hyprland_desktop.h"
#include "platform/x11/sway_desktop.h"
#include "test_util.h"

namespace pd::x11 {
namespace {

using platform::DesktopKind;

TEST(X11DesktopKind, TheSessionNamesTheDesktop) {
  struct Case {
    SessionEnv env;
    DesktopKind kind;
  };
  const Case cases[] = {
      {{}, DesktopKind::kPlatform},
      {{.currentDesktop = "i3", .swaySock = "/run/i3.sock"}, DesktopKind::kPlatform},  // i3 on X11
      {{.waylandDisplay = "wayland-1", .currentDesktop = "sway", .swaySock = "/run/s.sock"}, DesktopKind::kSway},
      {{.waylandDisplay = "wayland-0", .currentDesktop = "Hyprland", .hyprSignature = "abc"},
       DesktopKind::kHyprland},
      {{.waylandDisplay = "wayland-0", .currentDesktop = "GNOME"}, DesktopKind::kUnsupported},
      {{.waylandDisplay = "wayland-0", .currentDesktop = "KDE"}, DesktopKind::kKWin},
      {{.waylandDisplay = "wayland-0", .currentDesktop = "openSUSE:KDE"}, DesktopKind::kKWin},
      {{.waylandDisplay = "wayland-0", .currentDesktop = "KDEX"}, DesktopKind::kUnsupported},
      {{.waylandDisplay = "wayland-0", .currentDesktop = "ubuntu:GNOME"}, DesktopKind::kUnsupported},
      {{.currentDesktop = "KDE"}, DesktopKind::kPlatform},  // Plasma on X11
  };
  for (const Case& c : cases) EXPECT_EQ(ChooseDesktopKind(c.env), c.kind) << c.env.currentDesktop;
  // A compositor that cannot be reached leaves an honest "no".
  X11Loop loop;
  X11Desktop gone(loop, {.waylandDisplay = "wayland-1", .swaySock = "/nonexistent/sway.sock"});
  EXPECT_EQ(gone.Kind(), DesktopKind::kUnsupported);
  EXPECT_FALSE(gone.WatchChord([] {}));
  EXPECT_EQ(gone.ForegroundProcess(), 0U);
  X11Desktop hyprGone(loop, {.waylandDisplay = "wayland-1", .hyprSignature = "../x", .runtimeDir = "/tmp"});
  EXPECT_EQ(hyprGone.Kind(), DesktopKind::kUnsupported);
}

// Frames cut anywhere arrive whole and in order; a wrong magic breaks the
// stream.
TEST(X11DesktopIpc, FramesSurviveEverySplit) {
  const std::string stream = i3ipc::Frame(i3ipc::kBindingEvent, R"({"change":"run"})") + i3ipc::Frame(0, "") +
                             i3ipc::Frame(4, std::string(300, 'x'));
  for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
    std::string buffer = stream.substr(0, cut);
    std::vector<i3ipc::Message> got;
    ASSERT_TRUE(i3ipc::TakeMessages(buffer, got));
    buffer += stream.substr(cut);
    ASSERT_TRUE(i3ipc::TakeMessages(buffer, got));
    ASSERT_EQ(got.size(), 3U) << cut;
    EXPECT_TRUE(buffer.empty());
    EXPECT_EQ(got[0].type, i3ipc::kBindingEvent);
    EXPECT_EQ(got[2].payload.size(), 300U);
  }
  std::string bad = "i3-IPC" + stream.substr(6);
  std::vector<i3ipc::Message> got;
  EXPECT_FALSE(i3ipc::TakeMessages(bad, got));
  std::string huge = i3ipc::Frame(0, "");
  const std::uint32_t big = i3ipc::kMaxPayload + 1;
  std::memcpy(huge.data() + 6, &big, 4);
  EXPECT_FALSE(i3ipc::TakeMessages(huge, got));
}

TEST(X11DesktopIpc, EventLinesSurviveEverySplit) {
  const std::string stream = "activewindow>>foot,x\ncustom>>T\ncustom>>T2\ncustom>>T\n";
  for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
    std::string buffer = stream.substr(0, cut);
    int n = HyprlandDesktop::TakePresses(buffer, "T");
    buffer += stream.substr(cut);
    n += HyprlandDesktop::TakePresses(buffer, "T");
    EXPECT_EQ(n, 2) << cut;
    EXPECT_TRUE(buffer.empty());
  }
}

// Trees of random shape: the focused node's pid is found wherever it sits;
// a focused workspace, or a window without a pid, gives 0.
TEST(X11DesktopIpc, TheFocusedNodeIsFoundAnywhereInTheTree) {
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    const int depth = 1 + static_cast<int>(rng() % 30);
    const int kind = static_cast<int>(rng() % 3);  // window with pid, without, workspace
    std::string json;
    for (int d = 0; d < depth; ++d) {
      json += R"({"type":"con","focused":false,"pid":)" + std::to_string(9000 + d) + R"(,"nodes":[{"type":"con","focused":false,"nodes":[]},)";
    }
    if (kind == 0) json += R"({"type":"floating_con","focused":true,"pid":4321,"name":"Ж\u0416\"x"})";
    if (kind == 1) json += R"({"type":"con","focused":true,"pid":0})";
    if (kind == 2) json += R"({"type":"workspace","focused":true})";
    for (int d = 0; d < depth; ++d) json += R"(],"floating_nodes":[]})";
    const auto tree = ParseJson(json);
    ASSERT_TRUE(tree) << json;
    EXPECT_EQ(i3ipc::FocusedPid(*tree), kind == 0 ? 4321U : 0U);
    // Cut short anywhere, the text is no tree.
    const std::size_t cut = rng() % json.size();
    EXPECT_FALSE(ParseJson(json.substr(0, cut))) << cut;
  }
  EXPECT_FALSE(ParseJson(std::string(kMaxJsonDepth + 2, '[') + std::string(kMaxJsonDepth + 2, ']')));
  const auto odd = ParseJson(R"({"pid": 12.5, "a": -3, "b": 1e3, "s": "\ud83d\ude00"})");
  ASSERT_TRUE(odd);
  EXPECT_EQ(odd->PositiveId("pid"), 0U);
  EXPECT_EQ(odd->PositiveId("a"), 0U);
  EXPECT_EQ(odd->PositiveId("b"), 1000U);
  EXPECT_EQ(odd->Text("s"), "\xF0\x9F\x98\x80");
}

// ---- Fake compositors ------------------------------------------------------------

// Listening sockets in a scratch folder, served by a thread of their own.
class FakeServer {
 public:
  FakeServer() = default;
  virtual ~FakeServer() { Stop(); }
  void Stop() {
    if (!thread_.joinable()) return;
    stop_ = true;
    thread_.join();
    for (int fd : listeners_) close(fd);
    for (auto& c : clients_) close(c.fd);
  }
  [[nodiscard]] std::string Path(const std::string& name) const { return dir_.Path().string() + "/" + name; }
  // A window of process id gets the focus (0: none).
  void Focus(ProcessId id) {
    std::lock_guard lock(mutex_);
    focus_ = id;
  }

 protected:
  struct Client {
    int fd;
    int listener;
    std::string in;
    bool subscribed = false;
  };
  void Listen(const std::string& name) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string path = Path(name);
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || listen(fd, 8) != 0) std::abort();
    listeners_.push_back(fd);
  }
  void Start() {
    thread_ = std::thread([this] { Serve(); });
  }
  // Handles what a client sent (under the lock); false closes it.
  virtual bool OnData(Client& c) = 0;
  static void Send(int fd, std::string_view data) {
    while (!data.empty()) {
      const ssize_t n = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
      if (n <= 0) return;
      data.remove_prefix(static_cast<std::size_t>(n));
    }
  }

  std::mutex mutex_;
  std::vector<Client> clients_;
  std::vector<std::string> log_;  // the requests, in order
  ProcessId focus_ = 0;

 private:
  void Serve() {
    while (!stop_) {
      std::vector<pollfd> fds;
      {
        std::lock_guard lock(mutex_);
        for (int fd : listeners_) fds.push_back({fd, POLLIN, 0});
        for (auto& c : clients_) fds.push_back({c.fd, POLLIN, 0});
      }
      if (poll(fds.data(), fds.size(), 10) <= 0) continue;
      std::lock_guard lock(mutex_);
      for (std::size_t i = 0; i < fds.size(); ++i) {
        if (fds[i].revents == 0) continue;
        if (i < listeners_.size()) {
          const int fd = accept4(fds[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
          if (fd >= 0) clients_.push_back(Client{fd, static_cast<int>(i)});
          continue;
        }
        auto it = std::find_if(clients_.begin(), clients_.end(), [&](const Client& c) { return c.fd == fds[i].fd; });
        if (it == clients_.end()) continue;
        char buf[4096];
        const ssize_t n = recv(it->fd, buf, sizeof(buf), 0);
        if (n > 0) it->in.append(buf, static_cast<std::size_t>(n));
        if (n <= 0 || !OnData(*it)) {
          close(it->fd);
          clients_.erase(it);
        }
      }
    }
  }

  test::TempFolder dir_;
  std::vector<int> listeners_;
  std::thread thread_;
  std::atomic<bool> stop_ = false;
};

// sway's IPC: RUN_COMMAND with "bindsym --release KEYS nop TAG" and
// "unbindsym --release KEYS" (answer [{"success": true}]), SUBSCRIBE
// ["binding"] (answer {"success": true}), GET_TREE (root > output >
// workspace > con with "pid"), and the binding event:
// {"change": "run", "binding": {"command": "nop TAG", "event_state_mask":
// ["Control", "Mod1"], "symbol": "Super_L", "input_type": "keyboard"}}.
class FakeSway final : public FakeServer {
 public:
  FakeSway() {
    Listen("sway-ipc.sock");
    Start();
  }
  void Press() {
    std::lock_guard lock(mutex_);
    const auto event = [](const std::string& command) {
      return i3ipc::Frame(i3ipc::kBindingEvent,
                          R"({"change": "run", "binding": {"command": ")" + command +
                              R"(", "event_state_mask": ["Control", "Mod1"], "symbol": "Super_L", "input_type": "keyboard"}})");
    };
    for (auto& c : clients_) {
      if (!c.subscribed) continue;
      // The user's own bindings fire too; only the program's tag counts.
      Send(c.fd, event("exec foot"));
      if (!command_.empty()) Send(c.fd, event(command_));
    }
  }
  bool Bound() {
    std::lock_guard lock(mutex_);
    return !command_.empty();
  }

 private:
  bool OnData(Client& c) override {
    std::vector<i3ipc::Message> messages;
    if (!i3ipc::TakeMessages(c.in, messages)) return false;
    for (const auto& m : messages) {
      log_.push_back(m.payload);
      const std::string keys = "--release " + std::string(SwayDesktop::kChordKeys);
      if (m.type == i3ipc::kRunCommand) {
        if (m.payload.rfind("bindsym " + keys + " nop ", 0) == 0) command_ = m.payload.substr(9 + keys.size());
        if (m.payload == "unbindsym " + keys) command_.clear();
        Send(c.fd, i3ipc::Frame(0, R"([{"success": true}])"));
      } else if (m.type == i3ipc::kSubscribe && m.payload == R"(["binding"])") {
        c.subscribed = true;
        Send(c.fd, i3ipc::Frame(2, R"({"success": true})"));
      } else if (m.type == i3ipc::kGetTree) {
        std::string con = focus_ == 0 ? R"({"type": "con", "focused": false, "pid": 55, "nodes": []})"
                                      : R"({"type": "con", "focused": true, "nodes": [])" +
                                            (focus_ == test::DesktopSession::kNoLocalProcess
                                                 ? std::string()
                                                 : ", \"pid\": " + std::to_string(focus_)) +
                                            "}";
        Send(c.fd, i3ipc::Frame(4, R"({"type": "root", "focused": false, "nodes": [{"type": "output", "nodes": [)"
                                       R"({"type": "workspace", "focused": )" +
                                       std::string(focus_ == 0 ? "true" : "false") + R"(, "nodes": [)" + con +
                                       "]}]}]}"));
      }
    }
    return true;
  }
  std::string command_;
};

// Hyprland: ".socket.sock" takes one request per connection and answers
// "ok" to "keyword bindr CTRL ALT SUPER,Super_L,event,TAG" and "keyword
// unbind CTRL ALT SUPER,Super_L", and to "j/activewindow" the window as
// JSON ({"address": ..., "pid": N, "class": ...}, "pid": -1 for one without
// a local process, {} for none); ".socket2.sock" streams "EVENT>>DATA"
// lines, the binding's as "custom>>TAG".
class FakeHyprland final : public FakeServer {
 public:
  FakeHyprland() {
    Listen(".socket.sock");
    Listen(".socket2.sock");
    Start();
  }
  void Press() {
    std::lock_guard lock(mutex_);
    for (auto& c : clients_) {
      if (c.listener != 1) continue;
      // A line may come in two pieces.
      Send(c.fd, "activewindow>>foot,~\ncust");
      Send(c.fd, tag_.empty() ? "om>>someone-else\n" : "om>>" + tag_ + "\n");
    }
  }
  bool Bound() {
    std::lock_guard lock(mutex_);
    return !tag_.empty();
  }

 private:
  bool OnData(Client& c) override {
    if (c.listener == 1) return true;
    const std::string request = c.in;
    log_.push_back(request);
    const std::string bind = "keyword bindr " + std::string(HyprlandDesktop::kChordKeys) + ",event,";
    std::string answer = "unknown request";
    if (request.rfind(bind, 0) == 0) {
      tag_ = request.substr(bind.size());
      answer = "ok";
    } else if (request == "keyword unbind " + std::string(HyprlandDesktop::kChordKeys)) {
      tag_.clear();
      answer = "ok";
    } else if (request == "j/activewindow") {
      answer = focus_ == 0 ? "{}"
                           : R"({"address": "0x55d0", "mapped": true, "class": "foot", "pid": )" +
                                 (focus_ == test::DesktopSession::kNoLocalProcess ? std::string("-1")
                                                                                  : std::to_string(focus_)) +
                                 "}";
    }
    Send(c.fd, answer);
    return false;  // one request per connection
  }
  std::string tag_;
};

template <typename Fake, typename Impl>
class FakeSession final : public test::DesktopSession {
 public:
  explicit FakeSession(std::unique_ptr<Impl> (*connect)(X11Loop&, const std::string&), const std::string& where)
      : desktop_(connect(loop_, fake_.Path(where))) {
    if (!desktop_) std::abort();
  }
  platform::Desktop& Desktop() override { return *desktop_; }
  platform::EventLoop& Loop() override { return loop_; }
  void Focus(ProcessId id) override { fake_.Focus(id); }
  void PressChord() override { fake_.Press(); }
  bool Bound() override { return fake_.Bound(); }
  ProcessId Compositor() override { return static_cast<ProcessId>(getpid()); }

 private:
  Fake fake_;
  X11Loop loop_;
  std::unique_ptr<Impl> desktop_;
};

std::unique_ptr<HyprlandDesktop> ConnectHyprland(X11Loop& loop, const std::string& socket) {
  return HyprlandDesktop::Connect(loop, socket.substr(0, socket.rfind('/')));
}

using test::DesktopContract;
INSTANTIATE_TEST_SUITE_P(
    Fake, DesktopContract,
    testing::Values(test::DesktopBackend{"sway", DesktopKind::kSway,
                                         [] {
                                           return std::make_unique<FakeSession<FakeSway, SwayDesktop>>(
                                               &SwayDesktop::Connect, "sway-ipc.sock");
                                         }},
                    test::DesktopBackend{"hyprland", DesktopKind::kHyprland,
                                         [] {
                                           return std::make_unique<FakeSession<FakeHyprland, HyprlandDesktop>>(
                                               &ConnectHyprland, ".socket.sock");
                                         }}),
    [](const auto& param) { return param.param.name; });

}  // namespace
}  // namespace pd::x11
