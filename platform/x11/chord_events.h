// A compositor's stream of events, served by the loop: what arrives is
// handed to a reader that counts the chord's presses among the complete
// records and takes them off; each press reaches the handler from the loop.
// A stream that closes or breaks is closed: nothing more is reported (the
// binding went with the compositor, or is taken back at the end).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/x11/loop.h"

namespace pd::x11 {

class ChordEvents final : private LoopSource {
 public:
  // Counts the presses among the complete records at the front of inbox
  // and takes those records off it; false when the stream is broken.
  using Reader = std::function<bool(std::string& inbox, int& presses)>;
  ChordEvents(X11Loop& loop, Reader reader) : loop_(loop), reader_(std::move(reader)) {}
  ~ChordEvents() override;
  ChordEvents(const ChordEvents&) = delete;
  ChordEvents& operator=(const ChordEvents&) = delete;

  // Serves fd (taken over) and reports each press to pressed.
  void Open(int fd, std::function<void()> pressed);
  void Close();

 private:
  bool Prepare(std::vector<LoopSource::Fd>& fds) override;
  void Dispatch(const std::vector<LoopSource::Fd>& fds) override;

  X11Loop& loop_;
  Reader reader_;
  int fd_ = -1;
  std::string inbox_;
  std::function<void()> pressed_;
  // Gone with this object: a handler may destroy the desktop that owns it.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace pd::x11
