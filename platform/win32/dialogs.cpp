#include <windows.h>

#include "platform/win32/backend.h"

namespace pd::win32 {

std::optional<int> Win32Dialogs::PopupMenu(WindowHandle /*owner*/, std::span<const platform::MenuItem> /*items*/,
                                           Point /*screen*/) {
  return std::nullopt;
}

std::optional<int> Win32Dialogs::MessageBox(WindowHandle /*owner*/, StringView /*text*/, StringView /*title*/,
                                            unsigned /*flags*/) {
  return std::nullopt;
}

}  // namespace pd::win32
