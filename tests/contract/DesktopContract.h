// The contract of the desktop port, run unchanged on every desktop that
// reports the chord: the simulation, and the Linux desktop against
// compositors that speak sway's and Hyprland's protocols.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "platform/desktop.h"
#include "platform/loop.h"

namespace pd::test {

// A desktop with the compositor behind it, which the test drives as the
// user would.
class DesktopSession {
 public:
  virtual ~DesktopSession() = default;
  virtual platform::Desktop& Desktop() = 0;
  virtual platform::EventLoop& Loop() = 0;
  // A window of process id gets the focus; 0: no window has it (an empty
  // workspace); kNoLocalProcess: a window without a local process.
  virtual void Focus(ProcessId id) = 0;
  // The user presses the chord once.
  virtual void PressChord() = 0;
  // Whether the compositor holds the program's binding now.
  virtual bool Bound() = 0;
  // The compositor's process.
  virtual ProcessId Compositor() = 0;
  static constexpr ProcessId kNoLocalProcess = 0xFFFFFFFF;
};

struct DesktopBackend {
  std::string name;
  platform::DesktopKind kind;
  std::function<std::unique_ptr<DesktopSession>()> make;
  friend void PrintTo(const DesktopBackend& b, std::ostream* os) { *os << b.name; }
};

class DesktopContract : public testing::TestWithParam<DesktopBackend> {
 protected:
  void SetUp() override { session_ = GetParam().make(); }
  void TearDown() override { session_.reset(); }
  DesktopSession& S() { return *session_; }
  // Serves the loop until n presses were reported, or waitMs passed (on
  // the loop's clock); the presses reported.
  int AwaitPresses(int n, int waitMs = 2000);

  std::unique_ptr<DesktopSession> session_;
  int presses_ = 0;
};

}  // namespace pd::test
