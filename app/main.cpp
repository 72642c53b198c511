// ProcessDrovak: picks the platform of its OS, creates the main window and
// runs the loop until "Выход" (or the session's end) unloads the window. A
// second copy ends at once.
#include <cstdio>

#include "app/frmMain.h"
#include "forms/ControlHost.h"
#include "platform/platform.h"
#include "platform/text.h"

int main() {
  pd::String error;
  auto platform = pd::platform::CreatePlatform(error);
  if (!platform) {
    std::fprintf(stderr, "ProcessDrovak: %s\n", pd::text::ToUtf8(error).c_str());
    return 1;
  }
  pd::forms::ControlHost host(*platform);
  pd::app::frmMain form(host);
  if (!form.Load()) return 0;
  platform->loop().Run();
  return 0;
}
