#include "platform/sim/backend.h"

namespace pd::sim {

std::optional<int> SimDialogs::PopupMenu(WindowHandle /*owner*/, std::span<const platform::MenuItem> items,
                                         Point screen) {
  Shown shown{.at = screen};
  for (const platform::MenuItem& item : items) {
    if (!shown.text.empty()) shown.text += u'|';
    shown.text += item.separator ? String(u"-") : item.caption;
  }
  history_.push_back(std::move(shown));
  if (menuAnswers_.empty()) return std::nullopt;
  const int id = menuAnswers_.front();
  menuAnswers_.pop_front();
  return id;
}

std::optional<int> SimDialogs::MessageBox(WindowHandle /*owner*/, StringView text, StringView title,
                                          unsigned flags) {
  history_.push_back(Shown{.text = String(text), .title = String(title), .flags = flags});
  if (boxAnswers_.empty()) return std::nullopt;
  const int id = boxAnswers_.front();
  boxAnswers_.pop_front();
  return id;
}

}  // namespace pd::sim
