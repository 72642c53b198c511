// The executable's folder and name, and the single-instance mutex.
//
// Names no Windows type: it can be included without <windows.h>.
#pragma once

#include <functional>

#include "platform/app.h"

namespace pd::win32 {

class Win32App final : public platform::AppInfo {
 public:
  static constexpr const char16_t* kInstanceToken = u"Local\\ProcessDrovak.SingleInstance";

  // token: the name of the single-instance mutex.
  explicit Win32App(String token = kInstanceToken);
  ~Win32App() override;
  Win32App(const Win32App&) = delete;
  Win32App& operator=(const Win32App&) = delete;

  String Folder() override { return folder_; }
  String ExeName() override { return exeName_; }
  String ExeFileName() override { return exeName_ + u".exe"; }
  String OwnPath() override { return platform::JoinPath(*this, folder_, ExeFileName()); }
  String DataFolder() override { return folder_; }
  char16_t PathSeparator() override { return u'\\'; }
  // A named mutex: true when it already existed. The first call decides;
  // later calls give the same answer and the handle is kept until this
  // object goes. The holder keeps a message-only window of the class
  // kInstanceClass named after the token; a later start posts
  // kShowMessage to it (allowing its process to take the foreground) and
  // does not wait.
  bool PrevInstance() override;
  void SetShowRequest(std::function<void()> handler) override { showRequest_ = std::move(handler); }

  static constexpr const wchar_t* kInstanceClass = L"ProcessDrovak.Instance";
  static constexpr unsigned kShowMessage = 0x8000 + 0x50;  // WM_APP + 0x50
  // The holder's window of the token (0: none found).
  static WindowHandle InstanceWindow(const String& token);

 private:
  friend struct InstanceProcedure;
  String token_;
  String folder_;
  String exeName_;
  void* mutex_ = nullptr;
  void* window_ = nullptr;  // HWND of the holder
  bool claimed_ = false;
  bool previous_ = false;
  std::function<void()> showRequest_;
};

}  // namespace pd::win32
