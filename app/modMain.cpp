#include "app/modMain.h"

#include "platform/text.h"

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

platform::ProcessIdentity modMain::Identify(ProcessId id, StringView listedName) {
  if (id == 0) return {};
  auto& procs = platform_.processes();
  platform::ProcessIdentity who = procs.Identify(id);
  if (who || listedName.empty()) return who;
  const std::uint64_t started = procs.StartTime(id);
  if (started == 0) return {};
  return {.id = id, .started = started, .name = String(listedName), .path = {}};
}

platform::ProcessIdentity modMain::WindowProcess(WindowHandle hwnd) {
  const ProcessId owner = platform_.processes().WindowOwner(hwnd);
  if (owner == 0) return {};
  if (platform::ProcessIdentity who = platform_.processes().Identify(owner)) return who;
  // Not readable whole: the name the system lists it by.
  const ProcessRecord rec = GetWindowProcess(hwnd);
  return rec.th32ProcessID == owner ? Identify(owner, rec.ExeFile()) : platform::ProcessIdentity{};
}

bool modMain::SameIdentity(const platform::ProcessIdentity& seen, const platform::ProcessIdentity& now) {
  if (!seen || !now || seen.id != now.id) return false;
  if (seen.started != 0) return now.started == seen.started;
  return now.started == 0 && now.name == seen.name && now.path == seen.path;
}

bool modMain::SameProcess(const platform::ProcessIdentity& seen) {
  if (!seen) return false;
  auto& procs = platform_.processes();
  // The start time alone is one small read where the platform tells it.
  if (seen.started != 0) return procs.StartTime(seen.id) == seen.started;
  return SameIdentity(seen, procs.Identify(seen.id));
}

bool modMain::IsOwnProgram(const platform::ProcessIdentity& who) {
  if (who.id != 0 && who.id == platform_.processes().CurrentProcess()) return true;
  if (who.path.empty()) return false;
  // The executable's path does not change while the program runs.
  if (ownPathLowered_.empty()) ownPathLowered_ = text::LowerCase(platform_.app().OwnPath());
  return text::SameLowered(who.path, ownPathLowered_);
}

KillOutcome modMain::KillProcess(const platform::ProcessIdentity& seen) {
  auto& procs = platform_.processes();
  if (!seen || seen.id == procs.CurrentProcess() || !SameProcess(seen)) return KillOutcome::kNotRunning;
  if (procs.Terminate(seen.id)) return KillOutcome::kAsked;
  // A process that ended between the look and the request was not refused.
  return SameProcess(seen) ? KillOutcome::kRefused : KillOutcome::kNotRunning;
}

KillOutcome modMain::KillProcess(ProcessId id) { return KillProcess(Identify(id)); }

String modMain::TrimNull(StringView s) {
  const auto p = s.find(u'\0');
  if (p == StringView::npos || p == 0) return {};
  return String(s.substr(0, p));
}

bool modMain::FileExists(StringView path) { return !path.empty() && platform_.files().FileExists(path); }

}  // namespace pd::app
