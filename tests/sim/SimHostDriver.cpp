// The simulation as a backend of the contract suites. Its host driver plays
// the desktop itself (which window is under the pointer, the capture,
// focus, double clicks) through SimPlatform's user calls, and everything
// arrives at once.
#include <cstdint>
#include <cstdlib>

#include "contract/HostContract.h"
#include "platform/sim/platform.h"

namespace pd::test {
namespace {

using platform::HostEvent;
using platform::HostEventKind;

class SimHostDriver final : public HostDriver {
 public:
  platform::Platform& Platform() override { return p_; }
  // Up to five seconds of simulated time, in steps of 10 ms.
  bool Pump(const std::function<bool()>& done) override {
    for (int step = 0; step < 500; ++step) {
      p_.loop().DoEvents();
      if (done()) return true;
      p_.loop().Advance(10);
    }
    return done();
  }

  void MoveToScreen(Point screen) override {
    pointer_ = screen;
    if (const WindowHandle w = Target()) p_.MouseMove(w, Client(w), shift_);
  }
  void ButtonDown(int button) override {
    const WindowHandle w = Target();
    if (w == 0) return;
    p_.MouseDown(w, Client(w), button, shift_);
    // The second press of a button in the same place soon after the first.
    const std::uint64_t now = p_.loop().TickCount();
    const bool twice = last_.window == w && last_.button == button && now - last_.tick <= 500 &&
                       std::abs(last_.pos.x - pointer_.x) <= 4 && std::abs(last_.pos.y - pointer_.y) <= 4;
    last_ = twice ? Press{} : Press{w, button, now, pointer_};
    if (twice) {
      p_.host().Deliver(HostEvent{
          .kind = HostEventKind::kDoubleClick, .window = w, .pos = Client(w), .button = button, .shift = shift_});
    }
  }
  void ButtonUp(int button) override {
    if (const WindowHandle w = Target()) p_.MouseUp(w, Client(w), button, shift_);
  }
  void Wheel(int notches) override {
    if (const WindowHandle w = Target()) p_.MouseWheel(w, Client(w), notches * 120, shift_);
  }
  void HoldShift(int shift, bool down) override { shift_ = down ? shift_ | shift : shift_ & ~shift; }
  void PressKey(int virtualKey, int shift) override {
    if (const WindowHandle w = p_.host().Active()) p_.PressKey(w, virtualKey, shift_ | shift);
  }
  void Type(StringView text) override {
    if (const WindowHandle w = p_.host().Active()) p_.Type(w, text);
  }
  void Activate(WindowHandle window) override { p_.host().Activate(window); }
  void Close(WindowHandle window) override {
    p_.host().Deliver(
        HostEvent{.kind = HostEventKind::kCloseRequest, .window = window, .unloadMode = platform::unload::kUser});
  }
  void ShowOtherWindow(const Rect& r) override {
    if (other_ == 0) other_ = p_.processes().OpenWindow(p_.processes().Start(u"C:\\Tools\\other.exe"));
    p_.host().PlaceForeignWindow(other_, r);
  }
  void HideOtherWindow() override { p_.host().RemoveForeignWindow(other_); }
  platform::PointerShape ShapeShown() override {
    const WindowHandle w = p_.host().TopWindowAt(pointer_);
    return p_.host().IsForm(w) ? p_.host().Cursor(w) : platform::PointerShape::kDefault;
  }
  // The simulated desktop has one clipboard, the program's.
  void SetOutsideClipboard(StringView text) override { p_.host().SetClipboardText(text); }
  String OutsideClipboard() override { return p_.host().ClipboardText(); }

 private:
  struct Press {
    WindowHandle window = 0;
    int button = 0;
    std::uint64_t tick = 0;
    Point pos;
  };
  // The capture's holder, else the newest visible window under the pointer.
  WindowHandle Target() {
    auto& host = p_.host();
    if (host.Capture() != 0) return host.Capture();
    const auto forms = host.Forms();
    for (auto it = forms.rbegin(); it != forms.rend(); ++it) {
      const Rect b = host.Bounds(*it);
      if (host.IsVisible(*it) && pointer_.x >= b.left && pointer_.x < b.right && pointer_.y >= b.top &&
          pointer_.y < b.bottom) {
        return *it;
      }
    }
    return 0;
  }
  Point Client(WindowHandle w) {
    const Rect b = p_.host().Bounds(w);
    return Point{pointer_.x - b.left, pointer_.y - b.top};
  }

  sim::SimPlatform p_;
  Point pointer_;
  int shift_ = 0;
  WindowHandle other_ = 0;
  Press last_;
};

const RegisterBackend kSim(Backend{
    .name = "Sim",
    .platform = [](std::string&) -> std::unique_ptr<platform::Platform> { return std::make_unique<sim::SimPlatform>(); },
    .hostDriver = [](std::string&) -> std::unique_ptr<HostDriver> { return std::make_unique<SimHostDriver>(); },
});

}  // namespace

}  // namespace pd::test
