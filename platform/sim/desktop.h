// The simulated desktop: plays each kind of session. The test chooses the
// kind, sets the focused process and presses the chord; a refusing
// compositor binds nothing.
#pragma once

#include <functional>

#include "platform/desktop.h"

namespace pd::sim {

class SimDesktop final : public platform::Desktop {
 public:
  platform::DesktopKind Kind() override { return kind_; }
  bool WatchChord(std::function<void()> pressed) override;
  void UnwatchChord() override;
  String ChordName() override;
  ProcessId ForegroundProcess() override { return ++foregroundQueries_, foreground_; }
  ProcessId ShellProcess() override { return shell_; }

  // ---- The test's side.
  void SetKind(platform::DesktopKind kind) { kind_ = kind; }
  // The compositor refuses the binding (WatchChord fails).
  void SetRefusesBinding(bool refuses) { refuses_ = refuses; }
  void SetForeground(ProcessId id) { foreground_ = id; }
  void SetShell(ProcessId id) { shell_ = id; }
  // The user presses the chord: reported while it is bound; false when
  // nothing was bound to see it.
  bool PressChord();
  [[nodiscard]] bool Bound() const { return static_cast<bool>(pressed_); }
  [[nodiscard]] int ForegroundQueries() const { return foregroundQueries_; }

 private:
  platform::DesktopKind kind_ = platform::DesktopKind::kPlatform;
  bool refuses_ = false;
  ProcessId foreground_ = 0;
  ProcessId shell_ = 0;
  int foregroundQueries_ = 0;
  std::function<void()> pressed_;
};

}  // namespace pd::sim
