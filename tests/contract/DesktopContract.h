// The contract of the desktop port, run unchanged on every desktop that
// reports the chord: the simulation, and the Linux desktop against
// compositors that speak sway's, Hyprland's and KWin's protocols.
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
  // Whether the desktop has been told of the latest focus change (a
  // compositor that reports changes as they happen tells it through the
  // loop; one that is asked at the call has nothing to tell).
  virtual bool FocusReported() { return true; }
  static constexpr ProcessId kNoLocalProcess = 0xFFFFFFFF;
};

// Serves loop until done() or waitMs passed (on the loop's clock), looking
// at done() at least every 10 ms.
void ServeUntil(platform::EventLoop& loop, const std::function<bool()>& done, int waitMs);

struct DesktopBackend {
  std::string name;
  platform::DesktopKind kind;
  std::function<std::unique_ptr<DesktopSession>()> make;  // nullptr: not here
  // The keys it reports as the chord once bound.
  String chord = u"Ctrl+Alt+WIN";
  friend void PrintTo(const DesktopBackend& b, std::ostream* os) { *os << b.name; }
};

class DesktopContract : public testing::TestWithParam<DesktopBackend> {
 protected:
  // A backend that cannot be played here makes no session: its cases are
  // skipped, with its name.
  void SetUp() override {
    session_ = GetParam().make();
    if (!session_) GTEST_SKIP() << GetParam().name << " cannot be played here (see where it is instantiated)";
  }
  void TearDown() override { session_.reset(); }
  DesktopSession& S() { return *session_; }
  // Serves the loop until n presses were reported, or waitMs passed (on
  // the loop's clock); the presses reported.
  int AwaitPresses(int n, int waitMs = 2000);
  // Serves the loop until the desktop was told of the focus (at most 2 s).
  void AwaitFocusReported();

  std::unique_ptr<DesktopSession> session_;
  int presses_ = 0;
};

}  // namespace pd::test
