// ControlHost: the window-and-component framework the program lives in.
//
// One per program, over the platform. It takes every raw event the host
// port reports and hands it to the form of that window, keeps the list of
// forms, answers "which control is under this point of the screen" and
// "which control holds the capture" (the questions the hover watches of
// the skinned controls ask), runs modal loops, and shows popup menus,
// message boxes and the save dialog: the platform's own where it has them,
// else its own.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "platform/dialogs.h"
#include "platform/host.h"
#include "platform/platform.h"

namespace pd::forms {

class Control;
class Form;

class ControlHost final : public platform::HostEventSink {
 public:
  explicit ControlHost(platform::Platform& platform);
  ~ControlHost() override;
  ControlHost(const ControlHost&) = delete;
  ControlHost& operator=(const ControlHost&) = delete;

  [[nodiscard]] platform::Platform& GetPlatform() const { return platform_; }

  void OnHostEvent(const platform::HostEvent& event) override;

  // The form of a window of ours; nullptr for any other.
  [[nodiscard]] Form* FormOf(WindowHandle window) const;
  [[nodiscard]] const std::vector<Form*>& Forms() const { return forms_; }

  // The control (its hWnd) or form (its window) under a point of the screen
  // in pixels; 0 when the window in front there is not one of ours (another
  // program's covers it, or the desktop).
  [[nodiscard]] WindowHandle WindowFromPoint(Point screen) const;
  // The control (its hWnd) holding the mouse capture, 0 for none.
  [[nodiscard]] WindowHandle GetCapture() const;
  // The one pointer capture of the program, kept here as the platform keeps
  // one for the whole desktop: the control holding it, whichever form it is
  // on (a menu opened during a press on a form takes it from that form).
  [[nodiscard]] Control* CaptureControl() const { return capture_; }
  // Whether the holder took it by SetCapture (kept past the last button).
  [[nodiscard]] bool CaptureExplicit() const { return captureExplicit_; }
  // Gives the capture to a control, or releases it (nullptr); the control
  // that held it hears OnCaptureLost, its form ends its press.
  void SetCaptureTo(Control* control, bool explicitly = false);
  // The control of a handle, nullptr when it names none (any more).
  [[nodiscard]] Control* ControlOf(WindowHandle handle) const;

  // Runs a modal loop until ended() (see platform::EventLoop::RunModal).
  // With a form (a menu, a message box, a dialog), the loop holds the
  // program while that form shows: the form of the innermost such loop is
  // the only one that takes mouse and key input, and every other form of
  // ours (the owner first of all) takes none. Each backend refuses input to
  // them (Host::EnableInput) and the host drops whatever reaches it anyway.
  bool RunModal(const std::function<bool()>& ended, Form* modal = nullptr);
  // The form that holds the program now; nullptr when no modal loop does.
  [[nodiscard]] Form* ModalForm() const;

  // A popup menu at a point of the screen (pixels); the chosen id, 0 when
  // dismissed.
  int PopupMenu(Form* owner, std::span<const platform::MenuItem> items, Point screen);
  // A message box (platform::mb flags); the mb::kId answer.
  int MessageBox(Form* owner, StringView text, StringView title, unsigned flags);
  // The save dialog with the record (its hwndOwner names the owner form):
  // nonzero when a file was chosen and written into the record.
  std::int32_t GetSaveFileName(platform::OpenFileName& record);

  // The screen and its work area, in twips.
  [[nodiscard]] int ScreenWidth() const;
  [[nodiscard]] int ScreenHeight() const;
  [[nodiscard]] Rect WorkArea() const;

  // ---- Used by forms and controls ----
  void Register(Form& form);
  void Unregister(Form& form);
  WindowHandle NewHandle(Control& control);
  void ReleaseHandle(WindowHandle handle);
  // The platform ended the capture of the form's window (another window or
  // program took the pointer).
  void CaptureEnded(Form& form);
  // A control leaves its form: the capture goes with it, unannounced.
  void Forget(const Control& control);
  // A form shows or hides: which form holds the program may change (a
  // modal form gives the input back before it leaves the screen, so that
  // the window manager activates its owner, not another program).
  void InputHolderChanged() { UpdateInput(); }

  // How the host draws its own menus and boxes (forms/PopupMenu.cpp,
  // forms/MessageBox.cpp); replaced in tests only.
  using MenuRunner = std::function<int(ControlHost&, Form*, std::span<const platform::MenuItem>, Point)>;
  using BoxRunner = std::function<int(ControlHost&, Form*, StringView, StringView, unsigned)>;
  void SetOwnDialogs(MenuRunner menu, BoxRunner box);
  // How the host shows its own save dialog (forms/SaveFileDialog.cpp).
  using SaveRunner = std::function<std::int32_t(ControlHost&, Form*, platform::OpenFileName&)>;
  void SetOwnSaveDialog(SaveRunner save) { ownSave_ = std::move(save); }

 private:
  // Enables and disables the forms' windows to match ModalForm().
  void UpdateInput();

  platform::Platform& platform_;
  std::vector<Form*> forms_;
  std::vector<Form*> modal_;     // the forms of the running modal loops, innermost last
  std::vector<Form*> disabled_;  // forms whose windows take no input now
  std::vector<std::pair<WindowHandle, Control*>> handles_;  // sorted by handle
  WindowHandle nextHandle_;
  Control* capture_ = nullptr;
  bool captureExplicit_ = false;
  MenuRunner ownMenu_;
  BoxRunner ownBox_;
  SaveRunner ownSave_;
};

}  // namespace pd::forms
