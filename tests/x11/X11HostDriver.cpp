// The host contract on X11: xdotool moves the pointer, clicks and types
// (a us,ru keyboard for the Cyrillic), the window manager closes windows
// on _NET_CLOSE_WINDOW, and xclip is the other program on the clipboard.
// Runs only in a private X session (ctest's x11_display, scripts/with-xvfb).
// GoogleTest first: Xlib's macros (None, Bool) would break its headers.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
#include <X11/XKBlib.h>
#include <X11/extensions/Xfixes.h>
// clang-format on
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>

#include "X11TestUtil.h"
#include "contract/HostContract.h"
#include "contract/XdotoolKeys.h"
#include "platform/x11/connection.h"
#include "test_util.h"

namespace pd::test {
namespace {

namespace vk = platform::vk;

constexpr int kWaitMs = 3000;

// Runs a program (no shell) to its end with a time limit; true on exit 0.
// While it runs the program's loop keeps dispatching, so that it may talk
// to us (a clipboard request) without a deadlock.
bool Run(std::vector<std::string> argv, platform::EventLoop* loop = nullptr) {
  argv.insert(argv.begin(), {"timeout", "10"});
  std::vector<char*> args;
  for (auto& a : argv) args.push_back(a.data());
  args.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return false;
  int status = 0;
  for (;;) {
    const pid_t r = waitpid(pid, &status, loop != nullptr ? WNOHANG : 0);
    if (r == pid) break;
    if (r < 0 && errno != EINTR) return false;
    if (loop != nullptr) {
      loop->DoEvents();
      usleep(1000);
    }
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

using xdotool::Chord;
using xdotool::KeyName;
using xdotool::XButton;

class X11HostDriver final : public HostDriver {
 public:
  X11HostDriver(std::unique_ptr<platform::Platform> p, Display* outside) : p_(std::move(p)), outside_(outside) {}
  ~X11HostDriver() override {
    if (held_ != 0) HoldShift(held_, false);
    HideOtherWindow();
    XCloseDisplay(outside_);
  }

  platform::Platform& Platform() override { return *p_; }
  bool Pump(const std::function<bool()>& done) override {
    return WaitFor(
        [&] {
          p_->loop().DoEvents();
          return done();
        },
        kWaitMs);
  }

  void MoveToScreen(Point screen) override {
    Xdo({"mousemove", std::to_string(screen.x), std::to_string(screen.y)});
  }
  void ButtonDown(int button) override { Xdo({"mousedown", std::to_string(XButton(button))}); }
  void ButtonUp(int button) override { Xdo({"mouseup", std::to_string(XButton(button))}); }
  // Buttons 4 (up) and 5 (down), one click a notch.
  void Wheel(int notches) override {
    if (notches == 0) return;
    Xdo({"click", "--repeat", std::to_string(notches > 0 ? notches : -notches), notches > 0 ? "4" : "5"});
  }
  void HoldShift(int shift, bool down) override {
    std::vector<std::string> args{down ? "keydown" : "keyup"};
    if ((shift & platform::shift::kShift) != 0) args.emplace_back("shift");
    if ((shift & platform::shift::kCtrl) != 0) args.emplace_back("ctrl");
    if (args.size() == 1) return;
    held_ = down ? held_ | shift : held_ & ~shift;
    Xdo(args);
  }
  void PressKey(int virtualKey, int shift) override {
    const std::string name = KeyName(virtualKey);
    ASSERT_FALSE(name.empty()) << "no key name for " << virtualKey;
    Xdo({"key", Chord(shift) + name});
  }
  void Type(StringView text) override {
    // As the user types on a us,ru keyboard: the Russian layout (group 2)
    // for the Cyrillic letters, the English one for the rest.
    ASSERT_TRUE(Run({"setxkbmap", "-layout", "us,ru"}));
    std::size_t start = 0;
    while (start < text.size()) {
      const bool cyrillic = text[start] >= 0x400 && text[start] < 0x500;
      std::size_t end = start;
      while (end < text.size() && (text[end] >= 0x400 && text[end] < 0x500) == cyrillic) ++end;
      XkbLockGroup(outside_, XkbUseCoreKbd, cyrillic ? 1 : 0);
      XSync(outside_, False);
      Xdo({"type", "--delay", "10", text::ToUtf8(text.substr(start, end - start))});
      start = end;
    }
    // The keyboard stays us,ru: the program reads the keys with the
    // mapping of the moment it takes them off its queue.
    XkbLockGroup(outside_, XkbUseCoreKbd, 0);
    XSync(outside_, False);
  }
  void Activate(WindowHandle window) override { p_->input().SetForegroundWindow(window); }
  void Close(WindowHandle window) override {
    // What the close button does: the window manager is asked, and it asks
    // the window (WM_DELETE_WINDOW).
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = static_cast<Window>(window);
    ev.xclient.message_type = XInternAtom(outside_, "_NET_CLOSE_WINDOW", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = CurrentTime;
    ev.xclient.data.l[1] = 2;  // from a pager: the user
    XSendEvent(outside_, DefaultRootWindow(outside_), False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
    XSync(outside_, False);
  }
  // A window of another X client, placed where asked (override-redirect,
  // as another program's menu or tool tip), on top.
  void ShowOtherWindow(const Rect& r) override {
    HideOtherWindow();
    XSetWindowAttributes a{};
    a.override_redirect = True;
    a.background_pixel = BlackPixel(outside_, DefaultScreen(outside_));
    other_ = XCreateWindow(outside_, DefaultRootWindow(outside_), r.left, r.top, static_cast<unsigned>(r.Width()),
                           static_cast<unsigned>(r.Height()), 0, CopyFromParent, InputOutput, nullptr,
                           CWOverrideRedirect | CWBackPixel, &a);
    XMapRaised(outside_, other_);
    XSync(outside_, False);
  }
  void HideOtherWindow() override {
    if (other_ == 0) return;
    XDestroyWindow(outside_, other_);
    XSync(outside_, False);
    other_ = 0;
  }
  // The cursor on the screen as XFixes reads it, by the name cursor themes
  // give the shape.
  platform::PointerShape ShapeShown() override {
    using platform::PointerShape;
    int event = 0;
    int error = 0;
    int major = 2;
    int minor = 0;
    if (XFixesQueryExtension(outside_, &event, &error) == 0 || XFixesQueryVersion(outside_, &major, &minor) == 0 ||
        major < 2) {
      ADD_FAILURE() << "the X server has no XFixes 2";
      return PointerShape::kDefault;
    }
    XFixesCursorImage* image = XFixesGetCursorImage(outside_);
    if (image == nullptr) return PointerShape::kDefault;
    const std::string name = image->name != nullptr ? image->name : "";
    XFree(image);
    static const std::pair<const char*, PointerShape> kNames[] = {
        {"left_ptr", PointerShape::kDefault},     {"crosshair", PointerShape::kCross},
        {"xterm", PointerShape::kIBeam},          {"watch", PointerShape::kWait},
        {"sb_v_double_arrow", PointerShape::kSizeNS},
    };
    for (const auto& [n, shape] : kNames) {
      if (name == n) return shape;
    }
    return name.empty() ? PointerShape::kCustom : PointerShape::kIcon;
  }
  void SetOutsideClipboard(StringView text) override {
    TempFolder folder;
    const std::string file = (folder.Path() / "clip").string();
    std::ofstream(file, std::ios::binary) << text::ToUtf8(text);
    // xclip stays behind to serve the selection until another owner takes
    // it; its output must not hold the test's.
    ASSERT_TRUE(Run({"sh", "-c", "exec xclip -selection clipboard -i \"$0\" >/dev/null 2>&1", file}));
  }
  String OutsideClipboard() override {
    TempFolder folder;
    const std::string file = (folder.Path() / "out").string();
    if (!Run({"sh", "-c", "exec xclip -selection clipboard -o >\"$0\"", file}, &p_->loop())) return u"<failed>";
    std::ifstream in(file, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return text::FromUtf8(bytes.str());
  }

 private:
  void Xdo(std::vector<std::string> args) {
    args.insert(args.begin(), "xdotool");
    EXPECT_TRUE(Run(std::move(args)));
  }

  std::unique_ptr<platform::Platform> p_;
  Display* outside_;
  int held_ = 0;
  Window other_ = 0;
};

std::unique_ptr<HostDriver> MakeHostDriver(std::string& skipReason) {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0' || std::getenv("PD_X11_PRIVATE_DISPLAY") == nullptr) {
    skipReason = "these press keys and click: they run only in a private X session (ctest's x11_display test, "
                 "scripts/with-xvfb)";
    return nullptr;
  }
  for (const char* tool : {"xdotool", "xclip", "setxkbmap"}) {
    if (!Run({"sh", "-c", std::string("command -v ") + tool + " >/dev/null"})) {
      skipReason = std::string(tool) + " is not installed (scripts/install-deps)";
      return nullptr;
    }
  }
  String error;
  auto p = platform::CreatePlatform(error);
  if (!p) {
    skipReason = text::ToUtf8(error);
    return nullptr;
  }
  Display* outside = XOpenDisplay(nullptr);
  if (outside == nullptr) {
    skipReason = "a second X connection could not be opened";
    return nullptr;
  }
  return std::make_unique<X11HostDriver>(std::move(p), outside);
}

const RegisterBackend kX11(Backend{
    .name = "X11",
    .platform = NativePlatform,
    .hostDriver = MakeHostDriver,
});

}  // namespace

}  // namespace pd::test
