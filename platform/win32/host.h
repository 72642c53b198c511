// The program's windows as top-level windows of user32.
//
// Names no Windows type: it can be included without <windows.h>.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "platform/host.h"

namespace pd::win32 {

// Forms are top-level windows of the Unicode class "ProcessDrovak.Form";
// what happens to them is reported to the sink (mouse, keys, WM_CHAR text,
// focus, show, paint, size, close and the session's end, a lost capture).
// Form: caption, system menu and minimise box, not resizable; Dialog: caption
// and close button with the dialog frame; Popup: no frame, topmost, never
// activated. Every kind is owned (by the given owner, else a hidden window of
// the host), which keeps it out of the task list.
class Win32Host final : public platform::Host {
 public:
  explicit Win32Host(platform::Graphics& graphics) : graphics_(graphics) {}
  // Destroys the forms still open.
  ~Win32Host() override;
  Win32Host(const Win32Host&) = delete;
  Win32Host& operator=(const Win32Host&) = delete;

  void SetEventSink(platform::HostEventSink* sink) override;
  WindowHandle CreateForm(StringView caption, platform::WindowKind kind = platform::WindowKind::Form,
                          WindowHandle owner = 0) override;
  void DestroyForm(WindowHandle form) override;
  void SetCaption(WindowHandle form, StringView caption) override;
  // SetWindowPos with the frame from AdjustWindowRectEx around r.
  void SetBounds(WindowHandle form, const Rect& r) override;
  Rect Bounds(WindowHandle form) override;
  void ShowForm(WindowHandle form, bool visible) override;
  bool IsVisible(WindowHandle form) override;
  // A live window created by this host.
  bool IsForm(WindowHandle form) override;
  // EnableWindow: the system itself then refuses the input, keeps the focus
  // off the window and answers a click with the modal window it owns.
  void EnableInput(WindowHandle form, bool enabled) override;
  std::unique_ptr<platform::Surface> CreateFormSurface(WindowHandle form, int width, int height) override;
  void SetCapture(WindowHandle form) override;
  void ReleaseCapture() override;
  WindowHandle Capture() override;
  // SM_CXSCREEN x SM_CYSCREEN; SPI_GETWORKAREA.
  Rect ScreenRect() override;
  Rect WorkArea() override;
  // CF_UNICODETEXT; opening the clipboard is tried a few times while
  // another program holds it.
  String ClipboardText() override;
  void SetClipboardText(StringView text) override;

  // The hidden window that owns the forms and the clipboard; created on
  // first use, 0 when it cannot be.
  WindowHandle OwnerWindow();

 private:
  friend struct FormProcedure;
  struct Form {
    platform::WindowKind kind = platform::WindowKind::Form;
    int width = 0;  // the client size last reported
    int height = 0;
    bool sessionAsked = false;  // WM_QUERYENDSESSION came and WM_ENDSESSION not yet
  };
  void Report(const platform::HostEvent& event);
  std::intptr_t OnMessage(WindowHandle form, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);

  platform::Graphics& graphics_;
  platform::HostEventSink* sink_ = nullptr;
  std::map<WindowHandle, Form> forms_;
  WindowHandle owner_ = 0;
  bool releasing_ = false;  // inside ReleaseCapture: the capture's end is ours
  char16_t pendingSurrogate_ = 0;
};

}  // namespace pd::win32
