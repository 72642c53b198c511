// The system's menus, message boxes and save dialog.
//
// Names no Windows type: it can be included without <windows.h>.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/dialogs.h"

namespace pd::win32 {

// The system's own menu and message box, each in the system's modal loop
// (WM_TIMER is dispatched there, so timers keep firing). Text goes through
// the ANSI code page (CP_ACP).
class Win32Dialogs final : public platform::Dialogs {
 public:
  Win32Dialogs() = default;
  ~Win32Dialogs() override;
  Win32Dialogs(const Win32Dialogs&) = delete;
  Win32Dialogs& operator=(const Win32Dialogs&) = delete;

  // CreatePopupMenu + AppendMenuA, SetForegroundWindow(owner),
  // TrackPopupMenu(TPM_RETURNCMD ...) and a WM_NULL posted to the owner
  // afterwards (the rules of a menu opened from the tray). Without an owner
  // a hidden window of its own stands in. std::nullopt only when the menu
  // could not be made.
  std::optional<int> PopupMenu(WindowHandle owner, std::span<const platform::MenuItem> items, Point screen) override;
  // MessageBoxA with the mb:: flags (plus MB_SETFOREGROUND); std::nullopt
  // when the box could not be shown.
  std::optional<int> MessageBox(WindowHandle owner, StringView text, StringView title, unsigned flags) override;
  // GetSaveFileNameA with the record in the system's OPENFILENAME layout
  // of the ANSI version-4 form (76 bytes in a 32-bit build, 136 with the
  // 8-byte pointers of a 64-bit one), strings in CP_ACP; hInstance is the
  // executable's module. Always answers: the system's dialog exists.
  std::optional<std::int32_t> GetSaveFileName(platform::OpenFileName& record) override;
  // FindFirstFileW / FindNextFileW.
  std::optional<std::vector<platform::FolderEntry>> ListFolder(StringView folder) override;
  // %USERPROFILE%.
  String HomeFolder() override;
  // SHGetFolderPathW(CSIDL_PERSONAL).
  String DocumentsFolder() override;
  // A folder without the read-only attribute.
  bool MaySaveIn(StringView folder) override;

 private:
  WindowHandle MenuOwner();
  WindowHandle menuOwner_ = 0;
};

}  // namespace pd::win32
