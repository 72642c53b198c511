#include "platform/x11/backend.h"

namespace pd::x11 {

std::optional<int> X11Dialogs::PopupMenu(WindowHandle /*owner*/, std::span<const platform::MenuItem> /*items*/,
                                         Point /*screen*/) {
  return std::nullopt;
}

std::optional<int> X11Dialogs::MessageBox(WindowHandle /*owner*/, StringView /*text*/, StringView /*title*/,
                                          unsigned /*flags*/) {
  return std::nullopt;
}

}  // namespace pd::x11
