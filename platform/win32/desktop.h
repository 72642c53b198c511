// The Windows desktop: the system's own key state and foreground window
// serve the double press, so this desktop reports nothing itself.
#pragma once

#include "platform/desktop.h"

namespace pd::win32 {

class Win32Desktop final : public platform::Desktop {
 public:
  platform::DesktopKind Kind() override { return platform::DesktopKind::kPlatform; }
  bool WatchChord(std::function<void()> pressed) override;
  void UnwatchChord() override {}
  String ChordName() override { return {}; }
  ProcessId ForegroundProcess() override { return 0; }
  ProcessId ShellProcess() override;
};

}  // namespace pd::win32
