#include "platform/x11/hyprland_desktop.h"

#include <unistd.h>

#include "platform/x11/json.h"
#include "platform/x11/unix_socket.h"

namespace pd::x11 {

std::unique_ptr<HyprlandDesktop> HyprlandDesktop::Connect(X11Loop& loop, const std::string& folder) {
  const int fd = UnixConnect(folder + "/.socket.sock");
  if (fd < 0) return nullptr;
  const ProcessId shell = PeerProcess(fd);
  close(fd);
  return std::unique_ptr<HyprlandDesktop>(new HyprlandDesktop(loop, folder, shell));
}

HyprlandDesktop::HyprlandDesktop(X11Loop& loop, std::string folder, ProcessId shell)
    : loop_(loop), folder_(std::move(folder)), shell_(shell), tag_("ProcessDrovak-" + std::to_string(getpid())) {}

HyprlandDesktop::~HyprlandDesktop() {
  *alive_ = false;
  UnwatchChord();
}

std::optional<std::string> HyprlandDesktop::Request(std::string_view request) {
  const int fd = UnixConnect(folder_ + "/.socket.sock");
  if (fd < 0) return std::nullopt;
  std::optional<std::string> answer;
  if (WriteAll(fd, request, kTimeoutMs)) answer = ReadToEnd(fd, kTimeoutMs, 16u << 20);
  close(fd);
  return answer;
}

bool HyprlandDesktop::WatchChord(std::function<void()> pressed) {
  UnwatchChord();
  eventFd_ = UnixConnect(folder_ + "/.socket2.sock");
  if (eventFd_ >= 0) {
    const auto answer = Request("keyword bindr " + std::string(kChordKeys) + ",event," + tag_);
    bound_ = answer && *answer == "ok";
  }
  if (!bound_) {
    CloseEvents();
    return false;
  }
  pressed_ = std::move(pressed);
  loop_.AddSource(this);
  return true;
}

void HyprlandDesktop::CloseEvents() {
  if (eventFd_ >= 0) {
    loop_.RemoveSource(this);
    close(eventFd_);
    eventFd_ = -1;
  }
  inbox_.clear();
  pressed_ = nullptr;
}

void HyprlandDesktop::UnwatchChord() {
  if (bound_) {
    Request("keyword unbind " + std::string(kChordKeys));
    bound_ = false;
  }
  CloseEvents();
}

String HyprlandDesktop::ChordName() { return bound_ ? u"Ctrl+Alt+WIN" : u""; }

ProcessId HyprlandDesktop::ForegroundProcess() {
  const auto answer = Request("j/activewindow");
  if (!answer) return 0;
  const auto window = ParseJson(*answer);
  return window ? window->PositiveId("pid") : 0;
}

int HyprlandDesktop::TakePresses(std::string& buffer, std::string_view tag) {
  int presses = 0;
  std::size_t at = 0;
  for (std::size_t end; (end = buffer.find('\n', at)) != std::string::npos; at = end + 1) {
    const std::string_view line = std::string_view(buffer).substr(at, end - at);
    if (line.substr(0, 8) == "custom>>" && line.substr(8) == tag) ++presses;
  }
  buffer.erase(0, at);
  return presses;
}

bool HyprlandDesktop::Prepare(std::vector<LoopSource::Fd>& fds) {
  if (eventFd_ >= 0) fds.push_back(LoopSource::Fd{eventFd_, POLLIN, 0});
  return false;
}

void HyprlandDesktop::Dispatch(const std::vector<LoopSource::Fd>& fds) {
  if (eventFd_ < 0 || fds.empty() || fds.front().revents == 0) return;
  const bool open = ReadAvailable(eventFd_, inbox_);
  const int presses = TakePresses(inbox_, tag_);
  // A line without its end this long is no event of this stream.
  const bool sane = inbox_.size() < (1u << 20);
  const std::weak_ptr<bool> alive = alive_;
  for (int i = 0; i < presses && pressed_; ++i) {
    auto pressed = pressed_;
    pressed();
    if (alive.expired()) return;
  }
  if ((!open || !sane) && eventFd_ >= 0) CloseEvents();
}

}  // namespace pd::x11
