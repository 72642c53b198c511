// The notification area through Shell_NotifyIconA.
//
// Names no Windows type: it can be included without <windows.h>.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "platform/tray.h"

namespace pd::win32 {

// Shell_NotifyIconA. The record's fields go into the system's NOTIFYICONDATAA
// with the size of its same fields (488 bytes in a 32-bit program; 504 in a
// 64-bit one, whose handles are 64 bits: a 64-bit shell takes a 488-byte
// record for the oldest form and drops the balloon). The report windows are
// hidden top-level windows (a message-only window misses the broadcast
// TaskbarCreated); the callback message arrives there with the mouse
// message in lParam (the version-0 form). The shell is present while its
// desktop window ("Progman", "Program Manager") or its task bar window
// ("Shell_TrayWnd") exists: not every shell has the first (Wine has only
// the second). Each TaskbarCreated (the task bar came, again) raises the
// generation. Icons are made from the pictures with CreateIconIndirect.
class Win32Tray final : public platform::Tray {
 public:
  Win32Tray() = default;
  ~Win32Tray() override;
  Win32Tray(const Win32Tray&) = delete;
  Win32Tray& operator=(const Win32Tray&) = delete;

  std::uint32_t CreateReportWindow(Report report) override;
  void DestroyReportWindow(std::uint32_t window) override;
  std::uint32_t IconHandle(const std::shared_ptr<const platform::Picture>& picture) override;
  bool Notify(std::uint32_t message, const platform::NotifyIconRecord& record) override;
  // The task bar always exists: an icon is shown, or put back by the
  // restore timer when the shell restarts.
  bool IconShown(std::uint32_t /*window*/, std::uint32_t /*id*/) override { return true; }
  // Balloons belong to their icon here.
  bool BalloonWithoutIcon(const platform::NotifyIconRecord& /*record*/) override { return false; }
  bool ShellPresent() override;
  std::uint64_t ShellGeneration() override { return generation_; }
  // Windows says when a task bar came, never when the shell went: refused,
  // so the restore timer polls as it always did.
  int WatchShell(std::function<void()> /*changed*/) override { return 0; }
  void UnwatchShell(int /*watch*/) override {}

  // Called by the report windows' procedure.
  std::intptr_t OnMessage(WindowHandle window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);

 private:
  struct Icon {
    void* hicon = nullptr;
    std::shared_ptr<const platform::Picture> picture;
  };
  std::map<std::uint32_t, Report> reports_;
  std::map<std::uint32_t, std::uint32_t> callbackMessages_;  // window -> its record's callback message
  std::map<std::uint32_t, Icon> icons_;
  std::uint32_t nextIcon_ = 1;
  std::uint64_t generation_ = 1;
};

}  // namespace pd::win32
