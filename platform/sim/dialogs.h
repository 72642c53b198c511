// Simulated menus, message boxes and save dialogs, answered by the test.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "platform/dialogs.h"

namespace pd::sim {

// Answers the test queued, in order; with none queued, std::nullopt (the
// control host then shows its own menu, message box or save dialog).
// Folders are the real ones of the test's file system ('/' between names).
class SimDialogs final : public platform::Dialogs {
 public:
  std::optional<int> PopupMenu(WindowHandle owner, std::span<const platform::MenuItem> items, Point screen) override;
  std::optional<int> MessageBox(WindowHandle owner, StringView text, StringView title, unsigned flags) override;
  // Records the record as it came; a queued path is chosen (written into
  // the record; 0 when it does not fit), a queued cancel answers 0.
  std::optional<std::int32_t> GetSaveFileName(platform::OpenFileName& record) override;
  std::optional<std::vector<platform::FolderEntry>> ListFolder(StringView folder) override;
  String HomeFolder() override { return home_; }
  String DocumentsFolder() override { return documents_; }
  // Every folder, except those the test made read-only.
  bool MaySaveIn(StringView folder) override;

  void QueueMenuAnswer(int id) { menuAnswers_.push_back(id); }
  void QueueMessageBoxAnswer(int id) { boxAnswers_.push_back(id); }
  // The user of the next save dialog chooses path, or cancels (nullopt).
  void QueueSaveFileAnswer(std::optional<String> path) { saveAnswers_.push_back(std::move(path)); }
  // Every save dialog asked for, as the record came in.
  [[nodiscard]] const std::vector<platform::OpenFileName>& SaveRequests() const { return saveRequests_; }
  void SetHomeFolder(String home) { home_ = std::move(home); }
  void SetDocumentsFolder(String documents) { documents_ = std::move(documents); }
  // Saving in folder fails from now on (MaySaveIn answers false).
  void SetReadOnlyFolder(String folder) { readOnly_.push_back(std::move(folder)); }

  struct Shown {
    String text;  // the message, or the menu's captions joined by '|'
    String title;
    unsigned flags = 0;
    Point at;
  };
  // Every menu and message box asked for, answered here or not.
  [[nodiscard]] const std::vector<Shown>& History() const { return history_; }

 private:
  std::deque<int> menuAnswers_;
  std::deque<int> boxAnswers_;
  std::vector<Shown> history_;
  std::deque<std::optional<String>> saveAnswers_;
  std::vector<platform::OpenFileName> saveRequests_;
  String home_;
  String documents_;
  std::vector<String> readOnly_;
};

}  // namespace pd::sim
