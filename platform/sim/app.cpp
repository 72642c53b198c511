#include "platform/sim/app.h"
#include "platform/sim/loop.h"

namespace pd::sim {

String SimApp::Folder() { return folder_; }
String SimApp::ExeName() { return u"ProcessDrovak"; }
String SimApp::ExeFileName() { return ExeName() + u".exe"; }
String SimApp::OwnPath() { return platform::JoinPath(*this, folder_, ExeFileName()); }
String SimApp::DataFolder() { return folder_; }
char16_t SimApp::PathSeparator() { return u'/'; }
bool SimApp::PrevInstance() {
  if (otherInstance_ || (held_ && showRequest_)) {
    ++showRequestsSent_;
    if (!otherInstance_) RequestShow();
    return true;
  }
  held_ = true;
  return false;
}

void SimApp::SetShowRequest(std::function<void()> handler) {
  if (!handler) held_ = false;
  showRequest_ = std::move(handler);
}

// The handler in place when the pass comes runs: one that ended meanwhile
// is not called.
void SimApp::RequestShow() {
  loop_.Post([this] {
    if (showRequest_) showRequest_();
  });
}

}  // namespace pd::sim
