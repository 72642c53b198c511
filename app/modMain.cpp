#include "app/modMain.h"

namespace pd::app {

String ProcessRecord::ExeFile() const {
  return modMain::TrimNull(StringView(szExeFile.data(), szExeFile.size()));
}

String modMain::GetProcessPath(ProcessId id) { return platform_.processes().ExecutablePath(id); }

ProcessRecord modMain::GetWindowProcess(WindowHandle hwnd) {
  ProcessRecord found;
  const ProcessId owner = platform_.processes().WindowOwner(hwnd);
  if (owner == 0) return found;
  platform_.processes().Walk([&](const platform::ProcessEntry& e) {
    if (e.th32ProcessID != owner) return true;
    found = ProcessRecord(e);
    return false;
  });
  return found;
}

void modMain::KillProcess(ProcessId id) {
  if (id == 0 || id == platform_.processes().CurrentProcess()) return;
  platform_.processes().Terminate(id);
}

String modMain::TrimNull(StringView s) {
  const auto p = s.find(u'\0');
  if (p == StringView::npos || p == 0) return {};
  return String(s.substr(0, p));
}

bool modMain::FileExists(StringView path) { return !path.empty() && platform_.files().FileExists(path); }

}  // namespace pd::app
