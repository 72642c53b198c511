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
    : folder_(std::move(folder)),
      shell_(shell),
      tag_("ProcessDrovak-" + std::to_string(getpid())),
      events_(loop, [this](std::string& inbox, int& presses) {
        presses = TakePresses(inbox, tag_);
        // A line without its end this long is no event of this stream.
        return inbox.size() < (1u << 20);
      }) {}

HyprlandDesktop::~HyprlandDesktop() {
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
  const int fd = UnixConnect(folder_ + "/.socket2.sock");
  if (fd >= 0) {
    const auto answer = Request("keyword bindr " + std::string(kChordKeys) + ",event," + tag_);
    bound_ = answer && *answer == "ok";
  }
  if (!bound_) {
    if (fd >= 0) close(fd);
    return false;
  }
  events_.Open(fd, std::move(pressed));
  return true;
}

void HyprlandDesktop::UnwatchChord() {
  if (bound_) {
    Request("keyword unbind " + std::string(kChordKeys));
    bound_ = false;
  }
  events_.Close();
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

}  // namespace pd::x11
