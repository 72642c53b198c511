// Unix stream sockets to a compositor, with deadlines: a compositor that
// hangs costs the program a bounded wait, never the session.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/types.h"

namespace pd::x11 {

// A connected, non-blocking, close-on-exec socket; -1 when the path cannot
// be reached.
int UnixConnect(const std::string& path);
// The process at the other end of a connected socket; 0 when unknown.
ProcessId PeerProcess(int fd);
// Writes all of data within timeoutMs.
bool WriteAll(int fd, std::string_view data, int timeoutMs);
// Reads exactly n bytes within timeoutMs.
std::optional<std::string> ReadExact(int fd, std::size_t n, int timeoutMs);
// Reads until the peer closes, within timeoutMs, at most limit bytes.
std::optional<std::string> ReadToEnd(int fd, int timeoutMs, std::size_t limit);
// Appends what can be read now without waiting; false when the peer closed
// or the socket failed.
bool ReadAvailable(int fd, std::string& into);

}  // namespace pd::x11
