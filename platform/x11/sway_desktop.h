// sway and i3-compatible compositors, over their IPC socket ($SWAYSOCK,
// $I3SOCK).
//
// A message is "i3-ipc", the payload's length and the message type (both
// 32-bit, the host's byte order), then the payload (JSON). The chord is a
// binding the program adds at run time, a release binding whose command
// does nothing but carry a tag of this process; the compositor reports it
// as a "binding" event on a second connection, subscribed to those events
// only and served by the loop. The foreground process is the pid of the
// focused node of the tree. The binding is taken back at UnwatchChord and
// when the desktop is destroyed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/desktop.h"
#include "platform/x11/chord_events.h"
#include "platform/x11/json.h"
#include "platform/x11/loop.h"

namespace pd::x11 {

namespace i3ipc {
inline constexpr std::uint32_t kRunCommand = 0;
inline constexpr std::uint32_t kSubscribe = 2;
inline constexpr std::uint32_t kGetTree = 4;
inline constexpr std::uint32_t kBindingEvent = 0x80000005;
inline constexpr std::string_view kMagic = "i3-ipc";
inline constexpr std::size_t kHeader = 14;
// A larger payload is taken as a broken stream.
inline constexpr std::uint32_t kMaxPayload = 64u << 20;

std::string Frame(std::uint32_t type, std::string_view payload);
struct Message {
  std::uint32_t type = 0;
  std::string payload;
};
// Takes the complete messages off the front of buffer; false when the
// stream is broken (a wrong magic or an oversized payload).
bool TakeMessages(std::string& buffer, std::vector<Message>& out);
// The pid of the focused window in a tree answer; 0 when the focus is on
// no window (an empty workspace) or the window has no local process.
ProcessId FocusedPid(const JsonValue& tree);
}  // namespace i3ipc

class SwayDesktop final : public platform::Desktop {
 public:
  // nullptr when the socket cannot be reached.
  static std::unique_ptr<SwayDesktop> Connect(X11Loop& loop, const std::string& socketPath);
  ~SwayDesktop() override;
  SwayDesktop(const SwayDesktop&) = delete;
  SwayDesktop& operator=(const SwayDesktop&) = delete;

  platform::DesktopKind Kind() override { return platform::DesktopKind::kSway; }
  bool WatchChord(std::function<void()> pressed) override;
  void UnwatchChord() override;
  String ChordName() override;
  ProcessId ForegroundProcess() override;
  ProcessId ShellProcess() override { return shell_; }

  // The binding the program adds (sway's command syntax).
  static constexpr std::string_view kChordKeys = "Ctrl+Mod1+Super_L";

 private:
  SwayDesktop(X11Loop& loop, std::string socketPath, int commandFd);
  // One request on the command connection and its answer; nullopt when the
  // compositor did not answer in time (the connection is then closed).
  std::optional<JsonValue> Request(std::uint32_t type, std::string_view payload);
  static bool Succeeded(const std::optional<JsonValue>& answer);
  // Counts the program's binding events among the messages in inbox.
  bool TakePresses(std::string& inbox, int& presses) const;

  static constexpr int kTimeoutMs = 1000;
  std::string socketPath_;
  int commandFd_ = -1;
  ProcessId shell_ = 0;
  std::string tag_;
  bool bound_ = false;
  ChordEvents events_;
};

}  // namespace pd::x11
