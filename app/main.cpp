// ProcessDrovak: picks the platform of its OS and runs the program.
//
// Until the main window exists this is a provisional console program: it
// lists the running processes, then terminates the foreground application
// when Ctrl+Alt+WIN is pressed twice within a second (never explorer.exe
// nor itself), printing what it did. Ctrl+C ends it.
#include <cstdio>
#include <string>

#include "app/modMain.h"
#include "forms/ControlHost.h"
#include "forms/Form.h"
#include "hotkeys/HotKeys.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace {

void Print(pd::StringView s) { std::puts(pd::text::ToUtf8(s).c_str()); }

}  // namespace

int main() {
  pd::String error;
  auto platform = pd::platform::CreatePlatform(error);
  if (!platform) {
    std::fprintf(stderr, "ProcessDrovak: %s\n", pd::text::ToUtf8(error).c_str());
    return 1;
  }
  pd::app::modMain services(*platform);
  int count = 0;
  services.ForEachProcess([&](const pd::platform::ProcessEntry& e) {
    const pd::app::ProcessRecord r(e);
    Print(pd::text::FromAscii(std::to_string(e.th32ProcessID)) + u"  " + r.ExeFile() + u"  " +
          services.GetProcessPath(e.th32ProcessID));
    ++count;
  });
  std::printf("%d processes. Ctrl+Alt+WIN twice terminates the foreground application.\n", count);
  std::fflush(stdout);

  pd::forms::ControlHost host(*platform);
  pd::forms::Form form(host, u"frmMain", u"ProcessDrovak");
  pd::hotkeys::HotKeys keys(form);
  keys.AddHotKey(pd::platform::vk::kControl, pd::platform::vk::kMenu, pd::platform::vk::kLWin);

  int presses = 0;
  auto unPresser = platform->loop().CreateTimer([&] { presses = 0; });
  unPresser->SetInterval(1000);
  unPresser->SetEnabled(true);
  keys.HKPress.Connect([&](std::int32_t) {
    if (++presses < 2) return;
    presses = 0;
    const auto target = services.GetWindowProcess(platform->input().ForegroundWindow());
    const pd::String name = target.ExeFile();
    if (target.th32ProcessID == 0 || pd::text::EqualsIgnoreCase(name, u"explorer.exe")) {
      Print(u"Nothing to terminate: " + name);
      return;
    }
    services.KillProcess(target.th32ProcessID);
    Print(u"Terminated: " + name);
    std::fflush(stdout);
  });
  keys.StartHK();
  platform->loop().Run();
  return 0;
}
