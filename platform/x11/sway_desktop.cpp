#include "platform/x11/sway_desktop.h"

#include <unistd.h>

#include <cstring>

#include "platform/x11/unix_socket.h"

namespace pd::x11 {

namespace i3ipc {

std::string Frame(std::uint32_t type, std::string_view payload) {
  std::string out(kMagic);
  const auto length = static_cast<std::uint32_t>(payload.size());
  out.append(reinterpret_cast<const char*>(&length), 4);
  out.append(reinterpret_cast<const char*>(&type), 4);
  out.append(payload);
  return out;
}

bool TakeMessages(std::string& buffer, std::vector<Message>& out) {
  std::size_t at = 0;
  while (buffer.size() - at >= kHeader) {
    if (std::string_view(buffer).substr(at, kMagic.size()) != kMagic) return false;
    std::uint32_t length = 0;
    std::uint32_t type = 0;
    std::memcpy(&length, buffer.data() + at + 6, 4);
    std::memcpy(&type, buffer.data() + at + 10, 4);
    if (length > kMaxPayload) return false;
    if (buffer.size() - at - kHeader < length) break;
    out.push_back(Message{type, buffer.substr(at + kHeader, length)});
    at += kHeader + length;
  }
  buffer.erase(0, at);
  return true;
}

namespace {
const JsonValue* FindFocused(const JsonValue& node, int depth) {
  if (node.type != JsonValue::Type::kObject || depth > kMaxJsonDepth) return nullptr;
  if (node.IsTrue("focused")) return &node;
  for (const char* list : {"nodes", "floating_nodes"}) {
    const JsonValue* children = node.Get(list);
    if (children == nullptr || children->type != JsonValue::Type::kArray) continue;
    for (const JsonValue& child : children->items) {
      if (const JsonValue* f = FindFocused(child, depth + 1)) return f;
    }
  }
  return nullptr;
}
}  // namespace

ProcessId FocusedPid(const JsonValue& tree) {
  const JsonValue* focused = FindFocused(tree, 0);
  if (focused == nullptr) return 0;
  const std::string_view type = focused->Text("type");
  if (type != "con" && type != "floating_con") return 0;
  return focused->PositiveId("pid");
}

}  // namespace i3ipc

std::unique_ptr<SwayDesktop> SwayDesktop::Connect(X11Loop& loop, const std::string& socketPath) {
  const int fd = UnixConnect(socketPath);
  if (fd < 0) return nullptr;
  return std::unique_ptr<SwayDesktop>(new SwayDesktop(loop, socketPath, fd));
}

SwayDesktop::SwayDesktop(X11Loop& loop, std::string socketPath, int commandFd)
    : socketPath_(std::move(socketPath)),
      commandFd_(commandFd),
      shell_(PeerProcess(commandFd)),
      tag_("ProcessDrovak-" + std::to_string(getpid())),
      events_(loop, [this](std::string& inbox, int& presses) { return TakePresses(inbox, presses); }) {}

SwayDesktop::~SwayDesktop() {
  UnwatchChord();
  if (commandFd_ >= 0) close(commandFd_);
}

std::optional<JsonValue> SwayDesktop::Request(std::uint32_t type, std::string_view payload) {
  if (commandFd_ < 0) commandFd_ = UnixConnect(socketPath_);
  if (commandFd_ < 0) return std::nullopt;
  std::optional<std::string> header;
  std::optional<std::string> body;
  if (WriteAll(commandFd_, i3ipc::Frame(type, payload), kTimeoutMs) &&
      (header = ReadExact(commandFd_, i3ipc::kHeader, kTimeoutMs))) {
    std::string buffer = *header;
    std::uint32_t length = 0;
    std::memcpy(&length, buffer.data() + 6, 4);
    if (buffer.compare(0, 6, i3ipc::kMagic) == 0 && length <= i3ipc::kMaxPayload &&
        (body = ReadExact(commandFd_, length, kTimeoutMs))) {
      if (auto json = ParseJson(*body)) return json;
    }
  }
  // A late or broken answer would be read as the next one's: start anew.
  close(commandFd_);
  commandFd_ = -1;
  return std::nullopt;
}

// RUN_COMMAND answers one result per command, SUBSCRIBE a single one.
bool SwayDesktop::Succeeded(const std::optional<JsonValue>& answer) {
  if (!answer) return false;
  if (answer->type == JsonValue::Type::kArray) {
    if (answer->items.empty()) return false;
    for (const JsonValue& r : answer->items) {
      if (!r.IsTrue("success")) return false;
    }
    return true;
  }
  return answer->IsTrue("success");
}

bool SwayDesktop::WatchChord(std::function<void()> pressed) {
  UnwatchChord();
  const int fd = UnixConnect(socketPath_);
  bool ok = fd >= 0 && WriteAll(fd, i3ipc::Frame(i3ipc::kSubscribe, R"(["binding"])"), kTimeoutMs);
  if (ok) {
    // The subscription's answer comes first, before any event.
    auto header = ReadExact(fd, i3ipc::kHeader, kTimeoutMs);
    std::uint32_t length = 0;
    if (header) std::memcpy(&length, header->data() + 6, 4);
    auto body = header && header->compare(0, 6, i3ipc::kMagic) == 0 && length <= i3ipc::kMaxPayload
                    ? ReadExact(fd, length, kTimeoutMs)
                    : std::nullopt;
    ok = body && Succeeded(ParseJson(*body));
  }
  if (ok) {
    bound_ = Succeeded(Request(i3ipc::kRunCommand, "bindsym --release " + std::string(kChordKeys) + " nop " + tag_));
    ok = bound_;
  }
  if (!ok) {
    if (fd >= 0) close(fd);
    return false;
  }
  events_.Open(fd, std::move(pressed));
  return true;
}

void SwayDesktop::UnwatchChord() {
  if (bound_) {
    Request(i3ipc::kRunCommand, "unbindsym --release " + std::string(kChordKeys));
    bound_ = false;
  }
  events_.Close();
}

String SwayDesktop::ChordName() { return bound_ ? u"Ctrl+Alt+WIN" : u""; }

ProcessId SwayDesktop::ForegroundProcess() {
  const auto tree = Request(i3ipc::kGetTree, "");
  return tree ? i3ipc::FocusedPid(*tree) : 0;
}

// The user's own bindings fire too: only the program's tag counts.
bool SwayDesktop::TakePresses(std::string& inbox, int& presses) const {
  std::vector<i3ipc::Message> messages;
  const bool whole = i3ipc::TakeMessages(inbox, messages);
  const std::string command = "nop " + tag_;
  for (const auto& m : messages) {
    if (m.type != i3ipc::kBindingEvent) continue;
    const auto event = ParseJson(m.payload);
    if (!event || event->Text("change") != "run") continue;
    const JsonValue* binding = event->Get("binding");
    if (binding != nullptr && binding->Text("command") == command) ++presses;
  }
  return whole;
}

}  // namespace pd::x11
