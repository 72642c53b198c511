#include "shell/SaveDialog.h"

#include "forms/ControlHost.h"

namespace pd::shell {

using Table_t = forms::PropertyTable<SaveDialog>;

// All stored, none with a default of its own: empty, 0 or false.
const Table_t& SaveDialog::Table() {
  static const Table_t table{
      {u"AppName", String(), &SaveDialog::appName_},
      {u"CancelError", false, &SaveDialog::cancelError_},
      {u"DefaultExt", String(), &SaveDialog::defaultExt_},
      {u"DialogPrompt", String(), &SaveDialog::dialogPrompt_},
      {u"DialogTitle", String(), &SaveDialog::dialogTitle_},
      {u"FileName", String(), &SaveDialog::fileName_},
      {u"FileTitle", String(), &SaveDialog::fileTitle_},
      {u"Filter", String(), &SaveDialog::filter_},
      {u"FilterIndex", std::int32_t{0}, &SaveDialog::filterIndex_},
      {u"Flags", std::int32_t{0}, &SaveDialog::flags_},
      {u"InitDir", String(), &SaveDialog::initDir_},
  };
  return table;
}

SaveDialog::SaveDialog(forms::Container& parent, StringView name, int index) : Control(parent, name, index) {
  ReadProperties(GetSite().Properties());
  OnResize();
}

void SaveDialog::OnResize() {
  if (Width() != kExtentTwips || Height() != kExtentTwips) Move(Left(), Top(), kExtentTwips, kExtentTwips);
}

void SaveDialog::InitProperties() { Table().Init(*this); }
void SaveDialog::ReadProperties(forms::PropertyStore& store) { Table().Read(*this, store); }
void SaveDialog::WriteProperties(forms::PropertyStore& store) const { Table().Write(*this, store); }

void SaveDialog::SetAppName(StringView value) {
  appName_ = String(value);
  Changed(&SaveDialog::appName_);
}
void SaveDialog::SetCancelError(bool value) {
  cancelError_ = value;
  Changed(&SaveDialog::cancelError_);
}
void SaveDialog::SetDefaultExt(StringView value) {
  defaultExt_ = String(value);
  Changed(&SaveDialog::defaultExt_);
}
void SaveDialog::SetDialogPrompt(StringView value) {
  dialogPrompt_ = String(value);
  Changed(&SaveDialog::dialogPrompt_);
}
void SaveDialog::SetDialogTitle(StringView value) {
  dialogTitle_ = String(value);
  Changed(&SaveDialog::dialogTitle_);
}
void SaveDialog::SetFileName(StringView value) {
  fileName_ = String(value);
  Changed(&SaveDialog::fileName_);
}
void SaveDialog::SetFileTitle(StringView value) {
  fileTitle_ = String(value);
  Changed(&SaveDialog::fileTitle_);
}
void SaveDialog::SetFilter(StringView value) {
  filter_ = String(value);
  Changed(&SaveDialog::filter_);
}
void SaveDialog::SetFilterIndex(std::int32_t value) {
  filterIndex_ = value;
  Changed(&SaveDialog::filterIndex_);
}
void SaveDialog::SetFlags(std::int32_t value) {
  flags_ = value;
  Changed(&SaveDialog::flags_);
}
void SaveDialog::SetInitDir(StringView value) {
  initDir_ = String(value);
  Changed(&SaveDialog::initDir_);
}

String SaveDialog::ConvertFilter(StringView filter) {
  String out;
  for (char16_t c : filter) out += c == u'|' ? u'\0' : c;
  out += u'\0';
  out += u'\0';
  return out;
}

bool SaveDialog::Show() {
  errNumber_ = 0;
  platform::Platform& platform = GetSite().GetPlatform();
  record_ = platform::OpenFileName{};
  record_.lStructSize = platform::ofn::kRecordSize;
  record_.hwndOwner = GetSite().HostWindow();
  record_.Flags = static_cast<std::uint32_t>(flags_) &
                  ~(platform::ofn::kEnableHook | platform::ofn::kEnableTemplate | platform::ofn::kEnableTemplateHandle);
  record_.lpstrDefExt = defaultExt_;
  record_.lpstrInitialDir = initDir_.empty() ? platform.app().Folder() : initDir_;
  record_.lpstrFile = fileName_.substr(0, kMaxFileName);
  record_.lpstrFile.resize(platform::ofn::kMaxFile, u'\0');
  record_.nMaxFile = platform::ofn::kMaxFile;
  record_.lpstrFileTitle.assign(platform::ofn::kMaxFile, u'\0');
  record_.nMaxFileTitle = platform::ofn::kMaxFile;
  record_.lpstrFilter = ConvertFilter(filter_);
  record_.nFilterIndex = static_cast<std::uint32_t>(filterIndex_);
  record_.lpstrTitle = dialogTitle_;

  result_ = GetSite().Host().GetSaveFileName(record_);
  if (result_ > 0) {
    fileTitle_ = platform::CutAtNul(record_.lpstrFileTitle);
    if (record_.lpstrFile.find(u'\0') != String::npos) fileName_ = platform::CutAtNul(record_.lpstrFile);
    return true;
  }
  if (cancelError_) errNumber_ = kCdlCancel;
  return false;
}

}  // namespace pd::shell
