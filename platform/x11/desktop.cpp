#include "platform/x11/desktop.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "platform/x11/hyprland_desktop.h"
#include "platform/x11/kwin_desktop.h"
#include "platform/x11/sway_desktop.h"

namespace pd::x11 {

using platform::DesktopKind;

namespace {
std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? v : "";
}
// Whether a colon-separated list of desktop names (XDG_CURRENT_DESKTOP)
// holds name.
bool NamesDesktop(std::string_view list, std::string_view name) {
  for (std::size_t at = 0; at <= list.size();) {
    const std::size_t end = std::min(list.find(':', at), list.size());
    if (list.substr(at, end - at) == name) return true;
    at = end + 1;
  }
  return false;
}
bool IsSocket(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}
}  // namespace

SessionEnv SessionEnv::FromEnvironment() {
  SessionEnv env;
  env.waylandDisplay = Env("WAYLAND_DISPLAY");
  env.currentDesktop = Env("XDG_CURRENT_DESKTOP");
  env.swaySock = Env("SWAYSOCK");
  if (env.swaySock.empty()) env.swaySock = Env("I3SOCK");
  env.hyprSignature = Env("HYPRLAND_INSTANCE_SIGNATURE");
  env.runtimeDir = Env("XDG_RUNTIME_DIR");
  return env;
}

DesktopKind ChooseDesktopKind(const SessionEnv& env) {
  if (env.waylandDisplay.empty()) return DesktopKind::kPlatform;
  if (!env.hyprSignature.empty()) return DesktopKind::kHyprland;
  if (!env.swaySock.empty()) return DesktopKind::kSway;
  if (NamesDesktop(env.currentDesktop, "KDE")) return DesktopKind::kKWin;
  return DesktopKind::kUnsupported;
}

std::string HyprlandFolder(const SessionEnv& env) {
  // The signature names a folder: it may hold no path of its own.
  if (env.hyprSignature.find('/') != std::string::npos || env.hyprSignature == "..") return {};
  for (const std::string& base : {env.runtimeDir.empty() ? std::string() : env.runtimeDir + "/hypr",
                                  std::string("/tmp/hypr")}) {
    if (base.empty()) continue;
    const std::string folder = base + "/" + env.hyprSignature;
    if (IsSocket(folder + "/.socket.sock")) return folder;
  }
  return {};
}

X11Desktop::X11Desktop(X11Loop& loop, const SessionEnv& env) : kind_(ChooseDesktopKind(env)) {
  switch (kind_) {
    case DesktopKind::kSway:
      compositor_ = SwayDesktop::Connect(loop, env.swaySock);
      break;
    case DesktopKind::kHyprland: {
      const std::string folder = HyprlandFolder(env);
      if (!folder.empty()) compositor_ = HyprlandDesktop::Connect(loop, folder);
      break;
    }
    case DesktopKind::kKWin:
      compositor_ = KWinDesktop::Connect(loop);
      break;
    default:
      break;
  }
  if (kind_ != DesktopKind::kPlatform && kind_ != DesktopKind::kUnsupported && !compositor_) {
    kind_ = DesktopKind::kUnsupported;
  }
}

X11Desktop::~X11Desktop() = default;

bool X11Desktop::WatchChord(std::function<void()> pressed) {
  return compositor_ && compositor_->WatchChord(std::move(pressed));
}

void X11Desktop::UnwatchChord() {
  if (compositor_) compositor_->UnwatchChord();
}

String X11Desktop::ChordName() { return compositor_ ? compositor_->ChordName() : String(); }

ProcessId X11Desktop::ForegroundProcess() { return compositor_ ? compositor_->ForegroundProcess() : 0; }

ProcessId X11Desktop::ShellProcess() { return compositor_ ? compositor_->ShellProcess() : 0; }

}  // namespace pd::x11
