// frmMain: the options, Options.cfg, and autostart through the Run value.
#include <memory>
#include <utility>

#include "app/frmMain.h"
#include "platform/text.h"

namespace pd::app {

namespace {

constexpr char16_t kRunKey[] = u"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char16_t kRunValue[] = u"ProcessDrovak";

}  // namespace

bool frmMain::TextToBool(StringView text) { return text::LowerCase(text) == u"true"; }
String frmMain::BoolToText(bool value) { return value ? u"True" : u"False"; }

void frmMain::LoadOptions() {
  const bool unread =
      optionsDoc_.OpenDataFile(platform_.files(), DataPath(kOptionsFile)) == ini::clsINI::FileRead::kUnreadable;
  firstRun_ = !unread && optionsDoc_.Enum_GetSectionCount() == 0;
  const std::pair<const char16_t*, controls::XP_CheckBox*> boxes[] = {
      {u"AutoStart", chkAutoStart.get()}, {u"ShowOnHotKey", chkHKShow.get()}, {u"TipNormal", chkTip_Good.get()},
      {u"TipIgnore", chkTip_Bad.get()},   {u"TipBlock", chkTip_Block.get()},
  };
  if (unread) {
    // The defaults, in memory only: the file is never written in this run.
    // Autostart stays as the Run value has it, so nothing changes there
    // unless the user changes it.
    unread_.emplace_back(kOptionsFile);
    for (const auto& [key, box] : boxes) box->SetValue(1);
    if (!registry_) registry_ = std::make_unique<clsReg>(platform_.registry(), platform_.codec());
    chkAutoStart->SetValue(registry_->Read(kRunKey, kRunValue) == AutoStartCommand() ? 1 : 0);
    enabled_ = true;
    Warn(kOptionsFile, msg::kOptionsUnreadable);
  } else if (!firstRun_) {
    for (const auto& [key, box] : boxes) {
      if (TextToBool(optionsDoc_.GetKeyValue(u"", key))) box->SetValue(1);
    }
    enabled_ = TextToBool(optionsDoc_.GetKeyValue(u"", u"Enabled"));
  } else {
    for (const auto& [key, box] : boxes) box->SetValue(1);
    enabled_ = true;
    SaveOptions();
  }
  ApplyAutoStart();
}

void frmMain::SaveOptions() {
  RemoveLeftoverTemps();
  const std::pair<const char16_t*, bool> keys[] = {
      {u"AutoStart", chkAutoStart->Value() == 1},
      {u"ShowOnHotKey", chkHKShow->Value() == 1},
      {u"Enabled", enabled_},
      {u"TipNormal", chkTip_Good->Value() == 1},
      {u"TipIgnore", chkTip_Bad->Value() == 1},
      {u"TipBlock", chkTip_Block->Value() == 1},
  };
  for (const auto& [key, on] : keys) optionsDoc_.SetKeyValue(u"", key, BoolToText(on));
  if (!Unread(kOptionsFile) && !optionsDoc_.SaveFile(platform_.files(), DataPath(kOptionsFile))) {
    ReportSaveFailure(kOptionsFile);
  }
  ApplyAutoStart();
}

String frmMain::AutoStartCommand() {
  // Appended, not concatenated: GCC 12 mistakes "x" + s for an overlapping copy.
  String command(u"\"");
  command.append(platform_.app().OwnPath()).push_back(u'"');
  return command;
}

void frmMain::ApplyAutoStart() {
  if (!registry_) registry_ = std::make_unique<clsReg>(platform_.registry(), platform_.codec());
  const String command = AutoStartCommand();
  if (chkAutoStart->Value() == 1) {
    registry_->WriteValue(kRunKey, kRunValue, command, 1);
  } else if (registry_->Read(kRunKey, kRunValue) == command) {
    registry_->DeleteValue(kRunKey, kRunValue);
  }
}

}  // namespace pd::app
