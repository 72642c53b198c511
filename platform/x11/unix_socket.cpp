#include "platform/x11/unix_socket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/x11/loop.h"

namespace pd::x11 {

namespace {

// Waits for events on fd until the deadline; false when it passed.
bool WaitFor(int fd, short events, std::int64_t deadline) {
  for (;;) {
    const std::int64_t left = deadline - MonotonicMs();
    if (left <= 0) return false;
    pollfd p{fd, events, 0};
    const int n = poll(&p, 1, static_cast<int>(left));
    if (n > 0) return true;
    if (n < 0 && errno != EINTR) return false;
  }
}

}  // namespace

int UnixConnect(const std::string& path) {
  sockaddr_un addr{};
  if (path.empty() || path.size() >= sizeof(addr.sun_path)) return -1;
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.data(), path.size());
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  // Connecting to a local socket does not wait; the socket turns
  // non-blocking afterwards.
  if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) != 0 ||
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

ProcessId PeerProcess(int fd) {
  ucred cred{};
  socklen_t len = sizeof(cred);
  if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || cred.pid <= 0) return 0;
  return static_cast<ProcessId>(cred.pid);
}

bool WriteAll(int fd, std::string_view data, int timeoutMs) {
  const std::int64_t deadline = MonotonicMs() + timeoutMs;
  while (!data.empty()) {
    const ssize_t n = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (n > 0) {
      data.remove_prefix(static_cast<std::size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!WaitFor(fd, POLLOUT, deadline)) return false;
    } else {
      return false;
    }
  }
  return true;
}

std::optional<std::string> ReadExact(int fd, std::size_t n, int timeoutMs) {
  const std::int64_t deadline = MonotonicMs() + timeoutMs;
  std::string out(n, '\0');
  std::size_t got = 0;
  while (got < n) {
    const ssize_t r = recv(fd, out.data() + got, n - got, 0);
    if (r > 0) {
      got += static_cast<std::size_t>(r);
    } else if (r < 0 && errno == EINTR) {
      continue;
    } else if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!WaitFor(fd, POLLIN, deadline)) return std::nullopt;
    } else {
      return std::nullopt;
    }
  }
  return out;
}

std::optional<std::string> ReadToEnd(int fd, int timeoutMs, std::size_t limit) {
  const std::int64_t deadline = MonotonicMs() + timeoutMs;
  std::string out;
  char buf[4096];
  for (;;) {
    const ssize_t r = recv(fd, buf, sizeof(buf), 0);
    if (r > 0) {
      out.append(buf, static_cast<std::size_t>(r));
      if (out.size() > limit) return std::nullopt;
    } else if (r == 0) {
      return out;
    } else if (errno == EINTR) {
      continue;
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (!WaitFor(fd, POLLIN, deadline)) return std::nullopt;
    } else {
      return std::nullopt;
    }
  }
}

bool ReadAvailable(int fd, std::string& into) {
  char buf[4096];
  for (;;) {
    const ssize_t r = recv(fd, buf, sizeof(buf), 0);
    if (r > 0) {
      into.append(buf, static_cast<std::size_t>(r));
    } else if (r == 0) {
      return false;
    } else if (errno == EINTR) {
      continue;
    } else {
      return errno == EAGAIN || errno == EWOULDBLOCK;
    }
  }
}

}  // namespace pd::x11
