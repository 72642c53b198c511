// frmMain: the exceptions and block lists, their files and page commands;
// the sweep of leftover temporary files; the warnings about these files.
#include <utility>
#include <vector>

#include "app/frmMain.h"
#include "platform/text.h"

namespace pd::app {

namespace {

constexpr char16_t kExceptionsFile[] = u"Exclamations.txt";
constexpr char16_t kBlocksFile[] = u"Blocks.txt";

bool InList(const controls::XP_ListBox& list, StringView name, bool countDisabled) {
  const String lower = text::LowerCase(name);
  for (std::int32_t i = 0; i < list.ListCount(); ++i) {
    if (text::LowerCase(list.List(i)) == lower) return list.ListChecked(i) || countDisabled;
  }
  return false;
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

String Trim(StringView s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return String(s);
}

}  // namespace

// ---- Membership ----

bool frmMain::IsException(StringView name, bool countDisabled) const {
  if (text::LowerCase(name) == u"explorer.exe") return true;
  return InList(*lstEXEList, name, countDisabled);
}

bool frmMain::IsBlocked(StringView name, bool countDisabled) const { return InList(*lstBlock, name, countDisabled); }

bool frmMain::KeepBlockedNames() {
  std::size_t k = 0;
  bool same = true;
  for (std::int32_t i = 0; i < lstBlock->ListCount() && same; ++i) {
    const controls::ListItem& item = lstBlock->ItemAt(i);
    if (!item.Checked) continue;
    same = k < blockNames_.size() && text::SameLowered(item.ItemText, blockNames_[k]);
    ++k;
  }
  if (same && k == blockNames_.size()) return true;
  blockNames_.clear();
  for (std::int32_t i = 0; i < lstBlock->ListCount(); ++i) {
    if (lstBlock->ListChecked(i)) blockNames_.push_back(text::LowerCase(lstBlock->List(i)));
  }
  return false;
}

bool frmMain::AnyBlockOn() const {
  for (std::int32_t i = 0; i < lstBlock->ListCount(); ++i) {
    if (lstBlock->ListChecked(i)) return true;
  }
  return false;
}

// ---- Files ----

String frmMain::DataPath(StringView name) {
  auto& app = platform_.app();
  return platform::JoinPath(app, app.DataFolder(), name);
}

bool frmMain::Unread(StringView file) const {
  for (const String& f : unread_) {
    if (f == file) return true;
  }
  return false;
}

void frmMain::LoadList(controls::XP_ListBox& list, StringView file) {
  ini::clsINI doc(platform_.codec());
  if (doc.OpenDataFile(platform_.files(), DataPath(file)) == ini::clsINI::FileRead::kUnreadable) {
    // Never written over in this run: what it holds was not seen.
    unread_.emplace_back(file);
    Warn(file, msg::kListUnreadable);
    return;
  }
  std::int32_t i = 0;
  for (std::int32_t j = 0; j < doc.Enum_GetKeyCount(0); ++j) {
    const String name = doc.Enum_GetKeyName(0, j);
    if (name.empty() || IsException(name, true)) continue;
    list.AddItem(name);
    list.SetListChecked(i, doc.Enum_GetKeyValue(0, j) == u"1");
    ++i;
  }
  doc.Clean();
}

void frmMain::SaveList(const controls::XP_ListBox& list, StringView file) {
  RemoveLeftoverTemps();
  if (Unread(file)) return;
  ini::clsINI doc(platform_.codec());
  for (std::int32_t i = 0; i < list.ListCount(); ++i) {
    doc.SetKeyValue(u"", list.List(i), list.ListChecked(i) ? u"1" : u"0");
  }
  if (!doc.SaveFile(platform_.files(), DataPath(file))) ReportSaveFailure(file);
  doc.Clean();
}

void frmMain::ReportSaveFailure(StringView file) {
  // The old file stays whole and the edits stay in the controls: the next
  // save writes them, unless the program is ending.
  Warn(file, exiting_ ? msg::kSaveFailedAtExit : msg::kSaveFailed);
}

void frmMain::Warn(StringView file, const char16_t* text) {
  for (const Warning& w : warnings_) {
    if (w.file == file && w.text == text) return;
  }
  warnings_.push_back({String(file), text});
  if (warningHolds_ == 0) ReleaseWarnings();
}

void frmMain::ReleaseWarnings() {
  if (warningHolds_ > 0) --warningHolds_;
  // Before AddIcon a balloon would be lost: kept for the end of start-up.
  if (warningHolds_ > 0 || warnings_.empty() || !TrayIcon->Wanted()) return;
  // Title: every file named. Text: the one message, or each message after
  // the files it is about.
  String title;
  std::vector<std::pair<const char16_t*, String>> texts;
  for (const Warning& w : warnings_) {
    if (!title.empty()) title += u", ";
    title += w.file;
    auto it = texts.begin();
    while (it != texts.end() && it->first != w.text) ++it;
    if (it == texts.end()) {
      texts.emplace_back(w.text, w.file);
    } else {
      it->second.append(u", ").append(w.file);
    }
  }
  String text;
  for (const auto& [message, files] : texts) {
    if (texts.size() == 1) {
      text = message;
      break;
    }
    if (!text.empty()) text += u"\r\n";
    text += files + u": " + message;
  }
  warnings_.clear();
  TrayIcon->ShowBallon(title, text, platform::niif::kWarning);
}

bool frmMain::RefuseUnstorable(StringView name) {
  if (ini::clsINI::CanStoreDataKey(name, u"1")) return false;
  ShowEntryBalloon(name, msg::kCannotStore, platform::niif::kWarning);
  return true;
}

void frmMain::LoadExceptions() { LoadList(*lstEXEList, kExceptionsFile); }
void frmMain::SaveExceptions() { SaveList(*lstEXEList, kExceptionsFile); }
void frmMain::LoadBlocks() { LoadList(*lstBlock, kBlocksFile); }
void frmMain::SaveBlocks() { SaveList(*lstBlock, kBlocksFile); }

int frmMain::RemoveLeftoverTemps() {
  int removed = 0;
  for (const StringView file : {StringView(kOptionsFile), StringView(kExceptionsFile), StringView(kBlocksFile)}) {
    removed += platform_.files().RemoveLeftoverTemps(DataPath(file));
  }
  return removed;
}

// ---- Page commands ----

void frmMain::DeleteSelected(controls::XP_ListBox& list) {
  const std::int32_t remembered = list.ListIndex();
  std::int32_t i = 0;
  while (i < list.ListCount()) {
    if (list.Selected(i)) {
      list.RemoveItem(i);
    } else {
      ++i;
    }
  }
  if (list.ListCount() > 0) list.SetListIndex(remembered >= list.ListCount() ? list.ListCount() - 1 : remembered);
}

void frmMain::EnableAll(controls::XP_ListBox& list, bool on) {
  for (std::int32_t i = 0; i < list.ListCount(); ++i) list.SetListChecked(i, on);
}

void frmMain::cmdList_Add_Click() {
  TrayIcon->ShowBallon(msg::kAddHelpTitle, msg::kAddHelpText, platform::niif::kInfo);
}

void frmMain::cmdBlock_Add_Click() {
  const String name = Trim(txtBlock->Text());
  if (IsException(name, true)) {
    ShowEntryBalloon(name, msg::kInExceptions, platform::niif::kWarning);
  } else if (IsBlocked(name, true)) {
    ShowEntryBalloon(name, msg::kAlreadyListed, platform::niif::kWarning);
  } else if (!name.empty() && !RefuseUnstorable(name)) {
    tmrIconChanger().SetEnabled(false);
    lstBlock->AddItem(name);
    lstBlock->SetListChecked(lstBlock->ListCount() - 1, chkBlock_Active->Value() == 1);
    ShowEntryBalloon(name, msg::kAddedBlock, platform::niif::kInfo, platform::res::kIconSuccess);
  }
}

}  // namespace pd::app
