// The Windows platform is the backend of the Windows build.
#include "platform/win32/platform.h"

namespace pd::platform {

std::unique_ptr<Platform> CreatePlatform(String& error) {
  if (win32::Win32Loop::TimerWindow() == 0) {
    error = u"Win32: cannot create the timer window";
    return nullptr;
  }
  return std::make_unique<win32::Win32Platform>();
}

}  // namespace pd::platform
