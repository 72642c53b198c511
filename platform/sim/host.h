// The simulated windows of the program.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "platform/host.h"

namespace pd::soft {
class SoftGraphics;
}  // namespace pd::soft

namespace pd::sim {

class SimProcesses;

// Windows of the program: what the backend keeps of each, the events a
// test delivers to them, and what they show.
class SimHost final : public platform::Host {
 public:
  SimHost(SimProcesses& procs, soft::SoftGraphics& graphics) : procs_(procs), graphics_(graphics) {}

  void SetEventSink(platform::HostEventSink* sink) override { sink_ = sink; }
  WindowHandle CreateForm(StringView caption, platform::WindowKind kind = platform::WindowKind::Form,
                          WindowHandle owner = 0) override;
  void DestroyForm(WindowHandle form) override;
  void SetCaption(WindowHandle form, StringView caption) override;
  void SetBounds(WindowHandle form, const Rect& r) override;
  Rect Bounds(WindowHandle form) override;
  void ShowForm(WindowHandle form, bool visible) override;
  bool IsVisible(WindowHandle form) override;
  bool IsForm(WindowHandle form) override { return Find(form) != nullptr; }
  // Deliver then refuses the user's input to the window (keys go to the
  // modal window it owns), and a press on it activates that window.
  void EnableInput(WindowHandle form, bool enabled) override;
  // A software surface whose Present copies the frame to the form's screen.
  std::unique_ptr<platform::Surface> CreateFormSurface(WindowHandle form, int width, int height) override;
  void SetCapture(WindowHandle form) override;
  void ReleaseCapture() override;
  WindowHandle Capture() override { return capture_; }
  Rect ScreenRect() override { return screen_; }
  Rect WorkArea() override { return workArea_; }
  String ClipboardText() override { return clipboard_; }
  void SetClipboardText(StringView text) override { clipboard_ = String(text); }

  // ---- For tests ----
  // Delivers a raw event to the sink, as a backend reports one.
  void Deliver(const platform::HostEvent& event);
  // The window with the keyboard focus, as a window manager keeps it: a
  // shown Form or Dialog takes it; when the active window is hidden or
  // destroyed, the window active before it (still shown) gets it back. Activate moves it as the user does
  // (FocusOut to the old window, FocusIn to the new one).
  void Activate(WindowHandle form);
  [[nodiscard]] WindowHandle Active() const { return active_; }
  // The user minimises a shown window (its minimise box): it leaves the
  // screen and the focus, and IsVisible is false until ShowForm(true)
  // restores it, as a window that is hidden and shown again.
  void Minimize(WindowHandle form);
  [[nodiscard]] bool Minimized(WindowHandle form) const;
  [[nodiscard]] String Caption(WindowHandle form) const;
  [[nodiscard]] platform::WindowKind Kind(WindowHandle form) const;
  [[nodiscard]] WindowHandle Owner(WindowHandle form) const;
  [[nodiscard]] bool InputEnabled(WindowHandle form) const;
  // Our live windows in creation order.
  [[nodiscard]] std::vector<WindowHandle> Forms() const;
  // What the form's window shows: the pixels of the latest frame presented
  // on it, row by row (empty before the first), and how many presents came.
  [[nodiscard]] const std::vector<Colour>& Screen(WindowHandle form) const;
  [[nodiscard]] int Presents(WindowHandle form) const;
  // The screen is 1280 x 1024 with a 40-pixel task bar at the bottom.
  void SetScreen(const Rect& screen, const Rect& workArea) {
    screen_ = screen;
    workArea_ = workArea;
  }

 private:
  struct Window {
    String caption;
    platform::WindowKind kind = platform::WindowKind::Form;
    WindowHandle owner = 0;
    Rect bounds{0, 0, 100, 100};
    bool visible = false;
    bool enabled = true;
    bool minimized = false;
    std::vector<Colour> screen;
    int screenWidth = 0;
    int presents = 0;
  };
  Window* Find(WindowHandle form);
  const Window* Find(WindowHandle form) const;
  void ActivateLast();
  // The newest shown, enabled window owned by form, directly or through
  // others; 0 for none.
  [[nodiscard]] WindowHandle ModalOf(WindowHandle form) const;

  SimProcesses& procs_;
  soft::SoftGraphics& graphics_;
  platform::HostEventSink* sink_ = nullptr;
  std::map<WindowHandle, Window> windows_;
  std::vector<WindowHandle> order_;
  WindowHandle capture_ = 0;
  WindowHandle active_ = 0;
  std::vector<WindowHandle> activeHistory_;
  Rect screen_{0, 0, 1280, 1024};
  Rect workArea_{0, 0, 1280, 984};
  String clipboard_;
};

}  // namespace pd::sim
