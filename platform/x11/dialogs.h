// The save dialog through the desktop portal.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "platform/loop.h"

namespace pd::x11 {

class X11Host;

// X11 has no popup menu or message box of its own: the control host shows
// its own (those calls answer std::nullopt).
//
// The save dialog is the desktop's file chooser through the XDG desktop
// portal (org.freedesktop.portal.FileChooser.SaveFile over the session
// bus, libdbus-1), transient for the owner, with the filters, the current
// filter, folder and name. The answer is awaited in a nested loop (timers
// keep firing; the bus is read every kPollMs); the reply's file:// URI
// becomes the path, with DefaultExt added to a name without an extension.
// std::nullopt, at once, where no session bus is set
// ($DBUS_SESSION_BUS_ADDRESS: libdbus would otherwise start a bus of its
// own) or no portal is there to answer, and where the portal fails (its
// FileChooser version cannot be read within kCallTimeoutMs): the control
// host then shows its own dialog. Every call has an explicit time limit.
class X11Dialogs final : public platform::Dialogs {
 public:
  static constexpr int kCallTimeoutMs = 3000;
  static constexpr int kPollMs = 20;

  X11Dialogs(platform::EventLoop& loop, X11Host& host);
  ~X11Dialogs() override;
  X11Dialogs(const X11Dialogs&) = delete;
  X11Dialogs& operator=(const X11Dialogs&) = delete;

  std::optional<int> PopupMenu(WindowHandle owner, std::span<const platform::MenuItem> items, Point screen) override;
  std::optional<int> MessageBox(WindowHandle owner, StringView text, StringView title, unsigned flags) override;
  std::optional<std::int32_t> GetSaveFileName(platform::OpenFileName& record) override;
  // opendir/readdir; names in UTF-8 on disk.
  std::optional<std::vector<platform::FolderEntry>> ListFolder(StringView folder) override;
  // $HOME, else the password database's.
  String HomeFolder() override;
  // XDG_DOCUMENTS_DIR in $XDG_CONFIG_HOME/user-dirs.dirs (default
  // ~/.config), "$HOME/..." or an absolute path, where that folder exists;
  // else home.
  String DocumentsFolder() override;
  // access(W_OK | X_OK), and not SystemProgramFolder.
  bool MaySaveIn(StringView folder) override;

  // Why the latest save dialog went to the control host ("" when the
  // portal answered), for tests: "X11: no portal on the session bus".
  [[nodiscard]] const std::string& LastError() const { return lastError_; }

 private:
  struct Bus;
  // The session bus connection, opened on first use; nullptr without one.
  Bus* SessionBus();

  platform::EventLoop& loop_;
  X11Host& host_;
  std::unique_ptr<Bus> bus_;
  std::string lastError_;
  unsigned requests_ = 0;
};

}  // namespace pd::x11
