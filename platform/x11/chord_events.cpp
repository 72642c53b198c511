#include "platform/x11/chord_events.h"

#include <unistd.h>

#include "platform/x11/unix_socket.h"

namespace pd::x11 {

ChordEvents::~ChordEvents() { Close(); }

void ChordEvents::Open(int fd, std::function<void()> pressed) {
  Close();
  fd_ = fd;
  pressed_ = std::move(pressed);
  loop_.AddSource(this);
}

void ChordEvents::Close() {
  if (fd_ >= 0) {
    loop_.RemoveSource(this);
    close(fd_);
    fd_ = -1;
  }
  inbox_.clear();
  pressed_ = nullptr;
}

bool ChordEvents::Prepare(std::vector<LoopSource::Fd>& fds) {
  if (fd_ >= 0) fds.push_back(LoopSource::Fd{fd_, POLLIN, 0});
  return false;
}

void ChordEvents::Dispatch(const std::vector<LoopSource::Fd>& fds) {
  if (fd_ < 0 || fds.empty() || fds.front().revents == 0) return;
  const bool open = ReadAvailable(fd_, inbox_);
  int presses = 0;
  const bool whole = reader_(inbox_, presses);
  const std::weak_ptr<bool> alive = alive_;
  for (int i = 0; i < presses && pressed_; ++i) {
    auto pressed = pressed_;
    pressed();
    if (alive.expired()) return;
  }
  if (!open || !whole) Close();
}

}  // namespace pd::x11
