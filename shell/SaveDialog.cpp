#include "shell/SaveDialog.h"

#include <type_traits>
#include <variant>

#include "forms/ControlHost.h"

namespace pd::shell {

// The stored properties in their order: name, field and default.
struct SaveDialog::Stored {
  const char16_t* name;
  std::variant<String SaveDialog::*, bool SaveDialog::*, std::int32_t SaveDialog::*> field;
  std::variant<const char16_t*, bool, std::int32_t> def;
};

const SaveDialog::Stored SaveDialog::kStored[] = {
    {u"AppName", &SaveDialog::appName_, u""},
    {u"CancelError", &SaveDialog::cancelError_, false},
    {u"DefaultExt", &SaveDialog::defaultExt_, u""},
    {u"DialogPrompt", &SaveDialog::dialogPrompt_, u""},
    {u"DialogTitle", &SaveDialog::dialogTitle_, u""},
    {u"FileName", &SaveDialog::fileName_, u""},
    {u"FileTitle", &SaveDialog::fileTitle_, u""},
    {u"Filter", &SaveDialog::filter_, u""},
    {u"FilterIndex", &SaveDialog::filterIndex_, std::int32_t{0}},
    {u"Flags", &SaveDialog::flags_, std::int32_t{0}},
    {u"InitDir", &SaveDialog::initDir_, u""},
};

SaveDialog::SaveDialog(forms::Container& parent, StringView name, int index) : Control(parent, name, index) {
  ReadProperties(GetSite().Properties());
  OnResize();
}

void SaveDialog::OnResize() {
  if (Width() != kExtentTwips || Height() != kExtentTwips) Move(Left(), Top(), kExtentTwips, kExtentTwips);
}

void SaveDialog::ReadProperties(platform::PropertyStore& store) {
  for (const Stored& p : kStored) {
    std::visit(
        [&](auto field) {
          using T = std::remove_reference_t<decltype(this->*field)>;
          if constexpr (std::is_same_v<T, String>) {
            this->*field = store.ReadString(p.name, std::get<const char16_t*>(p.def));
          } else if constexpr (std::is_same_v<T, bool>) {
            this->*field = store.ReadBool(p.name, std::get<bool>(p.def));
          } else {
            this->*field = store.ReadInt(p.name, std::get<std::int32_t>(p.def));
          }
        },
        p.field);
  }
}

void SaveDialog::WriteProperties(platform::PropertyStore& store) const {
  for (const Stored& p : kStored) {
    std::visit(
        [&](auto field) {
          using T = std::remove_cvref_t<decltype(this->*field)>;
          if constexpr (std::is_same_v<T, String>) {
            store.WriteString(p.name, this->*field, std::get<const char16_t*>(p.def));
          } else if constexpr (std::is_same_v<T, bool>) {
            store.WriteBool(p.name, this->*field, std::get<bool>(p.def));
          } else {
            store.WriteInt(p.name, this->*field, std::get<std::int32_t>(p.def));
          }
        },
        p.field);
  }
}

void SaveDialog::SetAppName(StringView value) {
  appName_ = String(value);
  Changed(u"AppName");
}
void SaveDialog::SetCancelError(bool value) {
  cancelError_ = value;
  Changed(u"CancelError");
}
void SaveDialog::SetDefaultExt(StringView value) {
  defaultExt_ = String(value);
  Changed(u"DefaultExt");
}
void SaveDialog::SetDialogPrompt(StringView value) {
  dialogPrompt_ = String(value);
  Changed(u"DialogPrompt");
}
void SaveDialog::SetDialogTitle(StringView value) {
  dialogTitle_ = String(value);
  Changed(u"DialogTitle");
}
void SaveDialog::SetFileName(StringView value) {
  fileName_ = String(value);
  Changed(u"FileName");
}
void SaveDialog::SetFileTitle(StringView value) {
  fileTitle_ = String(value);
  Changed(u"FileTitle");
}
void SaveDialog::SetFilter(StringView value) {
  filter_ = String(value);
  Changed(u"Filter");
}
void SaveDialog::SetFilterIndex(std::int32_t value) {
  filterIndex_ = value;
  Changed(u"FilterIndex");
}
void SaveDialog::SetFlags(std::int32_t value) {
  flags_ = value;
  Changed(u"Flags");
}
void SaveDialog::SetInitDir(StringView value) {
  initDir_ = String(value);
  Changed(u"InitDir");
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
                  ~(platform::ofn::kEnableHook | platform::ofn::kEnableTemplate |
                    platform::ofn::kEnableTemplateHandle);
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
