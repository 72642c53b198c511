// The executable's folder and name, the data folder and the single instance.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/app.h"

namespace pd::x11 {

class X11Loop;

class X11App final : public platform::AppInfo {
 public:
  // exePath stands for the executable's path (tests); empty means
  // readlink(/proc/self/exe). loop serves the show requests (none without).
  explicit X11App(std::string exePath = {}, X11Loop* loop = nullptr);
  ~X11App() override;
  X11App(const X11App&) = delete;
  X11App& operator=(const X11App&) = delete;

  String Folder() override;
  String ExeName() override;
  String ExeFileName() override;
  String OwnPath() override;
  // The executable's folder when writable and not a folder of the system's
  // programs (/usr/..., /bin, /sbin); otherwise
  // $XDG_CONFIG_HOME/ProcessDrovak (default ~/.config/ProcessDrovak),
  // created when missing.
  String DataFolder() override;
  char16_t PathSeparator() override { return u'/'; }
  // An exclusive flock on ProcessDrovak.lock in $XDG_RUNTIME_DIR (or in
  // /tmp/ProcessDrovak-UID, made private to the user), held while this
  // object lives. The holder listens on the unix socket ProcessDrovak.sock
  // beside it (made anew at the claim: no other holder can own it); a
  // later start that finds the lock held connects to it, and that
  // connection is the request to show the window. The second never waits
  // for the first: a holder that does not accept (hung, or not listening
  // yet) misses the request.
  bool PrevInstance() override;
  // Connections from processes of other users are refused.
  void SetShowRequest(std::function<void()> handler) override { showRequest_ = std::move(handler); }

  // The lock file PrevInstance uses, and the socket beside it.
  static std::string LockPath();
  static std::string SocketPath();

 private:
  class Listener;
  void Listen();

  std::string exe_;     // full path, UTF-8
  std::string folder_;  // without a trailing '/'
  std::string file_;
  X11Loop* loop_;
  int lockFd_ = -1;
  std::unique_ptr<Listener> listener_;
  std::function<void()> showRequest_;
};

}  // namespace pd::x11
