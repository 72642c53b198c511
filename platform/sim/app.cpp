#include "platform/sim/backend.h"

namespace pd::sim {

String SimApp::Folder() { return folder_; }
String SimApp::ExeName() { return u"ProcessDrovak"; }
String SimApp::ExeFileName() { return ExeName() + u".exe"; }
String SimApp::OwnPath() { return platform::JoinPath(*this, folder_, ExeFileName()); }
String SimApp::DataFolder() { return folder_; }
char16_t SimApp::PathSeparator() { return u'/'; }
bool SimApp::PrevInstance() { return otherInstance_; }

}  // namespace pd::sim
