#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/sim/dialogs.h"
#include "platform/text.h"

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

std::optional<std::int32_t> SimDialogs::GetSaveFileName(platform::OpenFileName& record) {
  saveRequests_.push_back(record);
  if (saveAnswers_.empty()) return std::nullopt;
  const std::optional<String> path = saveAnswers_.front();
  saveAnswers_.pop_front();
  if (!path) return 0;
  return platform::StoreChosenFile(record, *path, u"/\\") ? 1 : 0;
}

std::optional<std::vector<platform::FolderEntry>> SimDialogs::ListFolder(StringView folder) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::directory_iterator it(fs::path(String(folder)), error);
  if (error) return std::nullopt;
  std::vector<platform::FolderEntry> entries;
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (error) break;
    entries.push_back({.name = it->path().filename().u16string(), .folder = it->is_directory(error)});
  }
  return entries;
}

bool SimDialogs::MaySaveIn(StringView folder) {
  std::error_code error;
  return std::find(readOnly_.begin(), readOnly_.end(), folder) == readOnly_.end() &&
         std::filesystem::is_directory(std::filesystem::path(String(folder)), error);
}

}  // namespace pd::sim
