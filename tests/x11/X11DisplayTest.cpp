// The Linux backend against a real X server: keys and clicks sent with
// xdotool, windows activated through the window manager. These run inside
// a private X session (Xvfb + openbox) that ctest's x11_display test starts
// with scripts/with-xvfb; elsewhere they are skipped, so that they never
// press keys on someone's desktop.
// GoogleTest first: Xlib's macros (None, Bool) would break its headers.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/Xatom.h>
#include <X11/XKBlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>
// clang-format on

#include <cstdio>

#include "X11TestUtil.h"
#include "app/modMain.h"
#include "platform/x11/platform.h"
#include "test_util.h"

namespace pd::x11 {
namespace {

namespace vk = platform::vk;
using test::Child;
using test::WaitFor;

constexpr int kWaitMs = 3000;

class X11Display : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
      GTEST_SKIP() << "no X display ($DISPLAY is not set); ctest runs these as x11_display in scripts/with-xvfb";
    }
    if (std::getenv("PD_X11_PRIVATE_DISPLAY") == nullptr) {
      GTEST_SKIP() << "these tests press keys and click: they run only in a private X session "
                      "(ctest's x11_display test, scripts/with-xvfb)";
    }
    String error;
    platform_ = platform::CreatePlatform(error);
    ASSERT_TRUE(platform_) << text::ToUtf8(error);
    x11_ = dynamic_cast<X11Platform*>(platform_.get());
    ASSERT_NE(x11_, nullptr);
    std::vector<unsigned long> wm;
    x11_->Connection().ReadLongs(x11_->Connection().Root(), x11_->Connection().GetAtom("_NET_SUPPORTING_WM_CHECK"),
                                 XA_WINDOW, wm);
    ASSERT_FALSE(wm.empty()) << "no window manager runs in the private X session";
  }

  // Runs a shell command with a time limit; its exit status.
  static int Sh(const std::string& command) { return std::system(("timeout 10 " + command).c_str()); }
  static std::string Capture(const std::string& command) {
    std::string out;
    if (FILE* p = popen(("timeout 10 " + command).c_str(), "r")) {
      char buf[256];
      while (std::fgets(buf, sizeof buf, p) != nullptr) out += buf;
      pclose(p);
    }
    return out;
  }

  // A shell command's output, the loop dispatching while it runs (it may
  // ask this program for the clipboard).
  std::string CapturePumping(const std::string& command) {
    test::TempFolder folder;
    const std::string out = (folder.Path() / "out").string();
    Child child({"sh", "-c", "exec timeout 10 " + command + " >\"$0\" 2>/dev/null", out});
    int status = 0;
    while (waitpid(child.Pid(), &status, WNOHANG) == 0) {
      platform_->loop().DoEvents();
      usleep(1000);
    }
    child.Reap();
    std::string text;
    if (FILE* f = std::fopen(out.c_str(), "rb")) {
      char buf[256];
      std::size_t n = 0;
      while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
      std::fclose(f);
    }
    return text;
  }

  // Raw host events, as the control host would get them.
  struct Recorder : platform::HostEventSink {
    void OnHostEvent(const platform::HostEvent& e) override { events.push_back(e); }
    [[nodiscard]] int Count(platform::HostEventKind kind) const {
      return static_cast<int>(std::count_if(events.begin(), events.end(), [&](const auto& e) { return e.kind == kind; }));
    }
    std::vector<platform::HostEvent> events;
  };
  bool Pump(const std::function<bool()>& done) {
    return WaitFor(
        [&] {
          platform_->loop().DoEvents();
          return done();
        },
        kWaitMs);
  }
  // A form at r, shown and exposed.
  WindowHandle ShownForm(Recorder& rec, const Rect& r) {
    auto& host = platform_->host();
    const WindowHandle form = host.CreateForm(u"form");
    host.SetBounds(form, r);
    host.ShowForm(form, true);
    EXPECT_TRUE(Pump([&] { return rec.Count(platform::HostEventKind::kExpose) > 0; }));
    return form;
  }

  platform::Input& input() { return platform_->input(); }
  bool Down(int key) { return (static_cast<std::uint16_t>(input().GetAsyncKeyState(key)) & platform::kKeyDownNow) != 0; }
  bool WaitForeground(WindowHandle w) {
    return WaitFor([&] { return input().ForegroundWindow() == w; }, kWaitMs);
  }
  Display* Dpy() { return x11_->Connection().Dpy(); }

  // A top-level window of a given _NET_WM_WINDOW_TYPE, made on the test's
  // connection.
  Window MakeTypedWindow(const char* type) {
    Window w = XCreateSimpleWindow(Dpy(), DefaultRootWindow(Dpy()), 200, 200, 50, 50, 0, 0, 0);
    const long atom[] = {static_cast<long>(XInternAtom(Dpy(), type, False))};
    XChangeProperty(Dpy(), w, XInternAtom(Dpy(), "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(atom), 1);
    XSync(Dpy(), False);
    return w;
  }
  void SetActive(Window w) {
    const long value[] = {static_cast<long>(w)};
    XChangeProperty(Dpy(), DefaultRootWindow(Dpy()), XInternAtom(Dpy(), "_NET_ACTIVE_WINDOW", False), XA_WINDOW,
                    32, PropModeReplace, reinterpret_cast<const unsigned char*>(value), 1);
    XSync(Dpy(), False);
  }

  std::unique_ptr<platform::Platform> platform_;
  X11Platform* x11_ = nullptr;
};

TEST_F(X11Display, HeldChordReadsDownAndPressedSinceThroughTheKeyState) {
  ASSERT_TRUE(dynamic_cast<X11Input&>(input()).HasRawEvents()) << "XInput 2.2 raw events";
  for (int key : {vk::kControl, vk::kMenu, vk::kLWin, vk::kInsert}) input().GetAsyncKeyState(key);  // clear latches
  const std::uint64_t quiet = input().KeyMark();
  EXPECT_EQ(input().KeyMark(), quiet) << "no key moved";
  ASSERT_EQ(Sh("xdotool keydown ctrl alt super"), 0);
  ASSERT_TRUE(WaitFor([&] { return input().KeyMark() != quiet; }, kWaitMs));
  ASSERT_TRUE(WaitFor([&] { return Down(vk::kLWin); }, kWaitMs));
  EXPECT_EQ(static_cast<std::uint16_t>(input().GetAsyncKeyState(vk::kControl)), 0x8001);
  EXPECT_EQ(static_cast<std::uint16_t>(input().GetAsyncKeyState(vk::kMenu)), 0x8001);
  EXPECT_EQ(static_cast<std::uint16_t>(input().GetAsyncKeyState(vk::kLControl)), 0x8001);
  EXPECT_EQ(static_cast<std::uint16_t>(input().GetAsyncKeyState(vk::kLMenu)), 0x8001);
  EXPECT_EQ(static_cast<std::uint16_t>(input().GetAsyncKeyState(vk::kControl)), 0x8000) << "the query cleared bit 0";
  EXPECT_EQ(input().GetAsyncKeyState(vk::kRControl), 0);
  EXPECT_EQ(input().GetAsyncKeyState(vk::kInsert), 0);

  ASSERT_EQ(Sh("xdotool keyup super alt ctrl"), 0);
  EXPECT_TRUE(WaitFor([&] { return !Down(vk::kControl) && !Down(vk::kMenu) && !Down(vk::kLWin); }, kWaitMs));
  EXPECT_EQ(input().GetAsyncKeyState(vk::kLWin), 0);
}

// The WIN mask as another client sees the keyboard: between Super's press
// and release come the press and release of a key code without a symbol,
// so a desktop that opens its overview on a lone Super tap opens nothing.
TEST_F(X11Display, WinMaskPutsAKeyWithoutSymbolBetweenSuperDownAndUp) {
  Display* watcher = XOpenDisplay(nullptr);
  ASSERT_NE(watcher, nullptr);
  int opcode = 0;
  int event = 0;
  int error = 0;
  ASSERT_TRUE(XQueryExtension(watcher, "XInputExtension", &opcode, &event, &error));
  unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
  XISetMask(bits, XI_RawKeyPress);
  XISetMask(bits, XI_RawKeyRelease);
  XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
  XISelectEvents(watcher, DefaultRootWindow(watcher), &mask, 1);
  XSync(watcher, False);

  ASSERT_EQ(Sh("xdotool keydown super"), 0);
  input().MaskWinRelease();
  ASSERT_EQ(Sh("xdotool keyup super"), 0);
  std::vector<std::pair<KeySym, bool>> seen;  // (symbol, released)
  ASSERT_TRUE(WaitFor(
      [&] {
        while (XPending(watcher) > 0) {
          XEvent ev;
          XNextEvent(watcher, &ev);
          if (ev.type != GenericEvent || ev.xcookie.extension != opcode || !XGetEventData(watcher, &ev.xcookie)) continue;
          const auto* raw = static_cast<const XIRawEvent*>(ev.xcookie.data);
          seen.emplace_back(XkbKeycodeToKeysym(watcher, static_cast<KeyCode>(raw->detail), 0, 0),
                            ev.xcookie.evtype == XI_RawKeyRelease);
          XFreeEventData(watcher, &ev.xcookie);
        }
        return seen.size() >= 4;
      },
      kWaitMs));
  XCloseDisplay(watcher);
  seen.resize(4);  // xdotool may release Super twice
  const std::vector<std::pair<KeySym, bool>> expected{
      {XK_Super_L, false}, {NoSymbol, false}, {NoSymbol, true}, {XK_Super_L, true}};
  EXPECT_EQ(seen, expected);
}

TEST_F(X11Display, QuickTapBetweenQueriesSetsThePressedSinceBit) {
  for (int i = 0; i < 5; ++i) {
    input().GetAsyncKeyState(vk::kInsert);
    ASSERT_EQ(Sh("xdotool key --delay 0 Insert"), 0);
    std::uint16_t seen = 0;
    EXPECT_TRUE(WaitFor(
        [&] {
          seen = static_cast<std::uint16_t>(input().GetAsyncKeyState(vk::kInsert));
          return (seen & platform::kKeyPressedSince) != 0;
        },
        kWaitMs))
        << "tap " << i;
    EXPECT_TRUE(WaitFor([&] { return !Down(vk::kInsert); }, kWaitMs));
    EXPECT_EQ(input().GetAsyncKeyState(vk::kInsert), 0);
  }
}

TEST_F(X11Display, ActivatedXtermIsForegroundAndOwnedByItsProcess) {
  if (Sh("sh -c 'command -v xterm >/dev/null'") != 0) GTEST_SKIP() << "xterm is not installed";
  const std::string title = "pd-xterm-" + std::to_string(getpid());
  Child xterm({"xterm", "-T", title, "-e", "sleep", "60"});
  ASSERT_GT(xterm.Pid(), 0);
  const std::string found = Capture("xdotool search --sync --limit 1 --name " + title);
  const auto window = static_cast<WindowHandle>(std::strtoul(found.c_str(), nullptr, 10));
  ASSERT_NE(window, 0u) << "xterm's window did not appear";
  ASSERT_EQ(Sh("xdotool windowactivate --sync " + std::to_string(window)), 0);
  ASSERT_TRUE(WaitForeground(window));

  auto& procs = platform_->processes();
  EXPECT_EQ(procs.WindowOwner(window), xterm.Id());
  app::modMain services(*platform_);
  const app::ProcessRecord owner = services.GetWindowProcess(input().ForegroundWindow());
  ASSERT_EQ(owner.th32ProcessID, xterm.Id());  // before anything is terminated
  EXPECT_EQ(owner.ExeFile(), u"xterm");
  EXPECT_EQ(services.GetProcessPath(owner.th32ProcessID).substr(0, 1), u"/");

  // Terminated: its window goes, and asking about it is harmless.
  services.KillProcess(owner.th32ProcessID);
  xterm.Reap();
  EXPECT_TRUE(WaitFor([&] { return input().ForegroundWindow() != window; }, kWaitMs));
  EXPECT_TRUE(WaitFor([&] { return procs.WindowOwner(window) == 0; }, kWaitMs));
  EXPECT_EQ(services.GetWindowProcess(window).th32ProcessID, 0u);
}

TEST_F(X11Display, ClickOnTheRootLeavesNoForegroundWindowAndBadWindowsAreHarmless) {
  auto& host = platform_->host();
  const WindowHandle form = host.CreateForm(u"ProcessDrovak");
  ASSERT_NE(form, 0u);
  host.ShowForm(form, true);
  ASSERT_TRUE(WaitFor(
      [&] {
        input().SetForegroundWindow(form);
        return WaitForeground(form);
      },
      kWaitMs));
  input().GetAsyncKeyState(vk::kLButton);
  ASSERT_EQ(Sh("xdotool mousemove 1270 1010 click 1"), 0);
  EXPECT_TRUE(WaitForeground(0));
  EXPECT_TRUE(WaitFor([&] { return input().CursorPos() == Point{1270, 1010}; }, kWaitMs));
  EXPECT_TRUE(WaitFor([&] { return (input().GetAsyncKeyState(vk::kLButton) & platform::kKeyPressedSince) != 0; },
                      kWaitMs));

  auto& procs = platform_->processes();
  EXPECT_EQ(procs.WindowOwner(0), 0u);
  const unsigned long errors = x11_->Connection().ErrorCount();
  EXPECT_EQ(procs.WindowOwner(0x7ffff01), 0u);
  SetActive(0x7ffff01);  // a window id that names nothing
  EXPECT_EQ(input().ForegroundWindow(), 0u);
  EXPECT_GT(x11_->Connection().ErrorCount(), errors) << "BadWindow was recorded, not fatal";
  EXPECT_NE(x11_->Connection().LastError().find("X11: BadWindow"), std::string::npos)
      << x11_->Connection().LastError();
  SetActive(0);
  host.DestroyForm(form);
}

TEST_F(X11Display, DesktopAndDockWindowsCountAsNoWindow) {
  const Window dock = MakeTypedWindow("_NET_WM_WINDOW_TYPE_DOCK");
  const Window desktop = MakeTypedWindow("_NET_WM_WINDOW_TYPE_DESKTOP");
  const Window normal = MakeTypedWindow("_NET_WM_WINDOW_TYPE_NORMAL");
  SetActive(dock);
  EXPECT_EQ(input().ForegroundWindow(), 0u);
  SetActive(desktop);
  EXPECT_EQ(input().ForegroundWindow(), 0u);
  SetActive(normal);
  EXPECT_EQ(input().ForegroundWindow(), static_cast<WindowHandle>(normal));
  EXPECT_EQ(platform_->processes().WindowOwner(normal), static_cast<ProcessId>(getpid())) << "from X-Resource";
  SetActive(0);
  EXPECT_EQ(input().ForegroundWindow(), 0u);
  for (Window w : {dock, desktop, normal}) XDestroyWindow(Dpy(), w);
  XSync(Dpy(), False);
}

TEST_F(X11Display, FormIsAHiddenTopLevelOutOfTheTaskList) {
  auto& host = platform_->host();
  const WindowHandle form = host.CreateForm(u"Процессы");
  ASSERT_NE(form, 0u);
  const auto w = static_cast<Window>(form);
  auto mapState = [&] {
    XWindowAttributes a{};
    XGetWindowAttributes(Dpy(), w, &a);
    return a.map_state;
  };
  EXPECT_EQ(mapState(), IsUnmapped);

  Atom type = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  ASSERT_EQ(XGetWindowProperty(Dpy(), w, XInternAtom(Dpy(), "_NET_WM_NAME", False), 0, 64, False,
                               XInternAtom(Dpy(), "UTF8_STRING", False), &type, &format, &count, &after, &data),
            Success);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), count), text::ToUtf8(u"Процессы"));
  XFree(data);
  std::vector<unsigned long> state;
  x11_->Connection().ReadLongs(w, XInternAtom(Dpy(), "_NET_WM_STATE", False), XA_ATOM, state);
  EXPECT_NE(std::find(state.begin(), state.end(), XInternAtom(Dpy(), "_NET_WM_STATE_SKIP_TASKBAR", False)),
            state.end());
  EXPECT_EQ(platform_->processes().WindowOwner(form), static_cast<ProcessId>(getpid()));
  host.ShowForm(form, true);
  EXPECT_TRUE(WaitFor([&] { return mapState() == IsViewable; }, kWaitMs));
  host.DestroyForm(form);
  EXPECT_EQ(platform_->processes().WindowOwner(form), 0u);
}

// What the window manager is told of each kind: its type, its owner, and
// for a popup to keep its hands off (override-redirect, no focus).
TEST_F(X11Display, WindowKindsTellTheWindowManagerTheirTypeAndOwner) {
  auto& host = platform_->host();
  const WindowHandle owner = host.CreateForm(u"owner");
  struct Case {
    platform::WindowKind kind;
    const char* type;
    bool transient;
    bool overrideRedirect;
  };
  for (const Case& c : {Case{platform::WindowKind::Form, "_NET_WM_WINDOW_TYPE_NORMAL", false, false},
                        Case{platform::WindowKind::Dialog, "_NET_WM_WINDOW_TYPE_DIALOG", true, false},
                        Case{platform::WindowKind::Popup, "_NET_WM_WINDOW_TYPE_POPUP_MENU", true, true}}) {
    const WindowHandle form = host.CreateForm(u"kind", c.kind, owner);
    const auto w = static_cast<Window>(form);
    std::vector<unsigned long> types;
    x11_->Connection().ReadLongs(w, XInternAtom(Dpy(), "_NET_WM_WINDOW_TYPE", False), XA_ATOM, types);
    EXPECT_EQ(types, std::vector<unsigned long>{XInternAtom(Dpy(), c.type, False)}) << c.type;
    Window transientFor = 0;
    XGetTransientForHint(Dpy(), w, &transientFor);
    EXPECT_EQ(transientFor, c.transient ? static_cast<Window>(owner) : 0) << c.type;
    XWindowAttributes a{};
    XGetWindowAttributes(Dpy(), w, &a);
    EXPECT_EQ(a.override_redirect != 0, c.overrideRedirect) << c.type;
    XWMHints* hints = XGetWMHints(Dpy(), w);
    ASSERT_NE(hints, nullptr);
    EXPECT_EQ(hints->input != 0, !c.overrideRedirect) << c.type;
    XFree(hints);
    host.DestroyForm(form);
  }
  host.DestroyForm(owner);
}

// The window manager shows the program icon of a form: both sizes, ARGB.
TEST_F(X11Display, FormCarriesTheProgramIconInBothSizes) {
  const WindowHandle form = platform_->host().CreateForm(u"icon");
  ASSERT_NE(form, 0u);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  ASSERT_EQ(XGetWindowProperty(Dpy(), static_cast<Window>(form), XInternAtom(Dpy(), "_NET_WM_ICON", False), 0, 4096,
                               False, XA_CARDINAL, &type, &format, &count, &after, &data),
            Success);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(format, 32);
  // Format 32 comes as longs, sign-extended where long is wider.
  const auto* values = reinterpret_cast<const unsigned long*>(data);
  std::vector<unsigned long> icon(values, values + count);
  for (auto& v : icon) v &= 0xFFFFFFFFUL;
  XFree(data);
  ASSERT_EQ(icon.size(), 2u + 16 * 16 + 2u + 32 * 32);
  EXPECT_EQ(icon[0], 16u);
  EXPECT_EQ(icon[1], 16u);
  EXPECT_EQ(icon[2 + 16 * 16], 32u);
  EXPECT_EQ(icon[3 + 16 * 16], 32u);
  // The program icon's 16-pixel picture, moved from 0xAABBGGRR to 0xAARRGGBB.
  const auto picture = platform_->resources().LoadPicture(platform::res::kProgramIcon, 16);
  ASSERT_NE(picture, nullptr);
  const auto px = picture->Pixels();
  for (std::size_t i : {std::size_t{0}, std::size_t{8 * 16 + 8}}) {
    const unsigned long c = px[i];
    EXPECT_EQ(icon[2 + i], (c & 0xFF00FF00UL) | ((c & 0xFFUL) << 16) | ((c >> 16) & 0xFFUL)) << i;
  }
  EXPECT_EQ(icon[2 + 8 * 16 + 8] >> 24, 0xFFu);
  platform_->host().DestroyForm(form);
}

// A form's surface: drawing stays off-screen until Present puts the whole
// frame on the window.
TEST_F(X11Display, FormSurfaceReachesTheWindowOnlyWhenPresented) {
  auto& host = platform_->host();
  const WindowHandle form = host.CreateForm(u"surface");
  ASSERT_NE(form, 0u);
  EXPECT_EQ(host.CreateFormSurface(form, 0, 10), nullptr);
  EXPECT_EQ(host.CreateFormSurface(static_cast<WindowHandle>(x11_->Connection().Root()), 10, 10), nullptr);
  host.ShowForm(form, true);
  const auto w = static_cast<Window>(form);
  ASSERT_TRUE(WaitFor(
      [&] {
        XWindowAttributes a{};
        XGetWindowAttributes(Dpy(), w, &a);
        return a.map_state == IsViewable;
      },
      kWaitMs));
  auto pixel = [&](int x, int y) {
    XImage* image = XGetImage(Dpy(), w, x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) return 0xFFFFFFFFUL;
    const unsigned long p = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return p;
  };
  auto surface = host.CreateFormSurface(form, 60, 40);
  ASSERT_NE(surface, nullptr);
  surface->SetBackColor(0x0000FF);  // red, as 0x00BBGGRR
  surface->Clear();
  surface->FillRect(Rect{20, 10, 30, 20}, 0x00FF00);
  XSync(Dpy(), False);
  EXPECT_NE(pixel(2, 2), 0xFF0000UL) << "nothing reaches the window before Present";
  surface->Present();
  XSync(Dpy(), False);
  EXPECT_EQ(pixel(2, 2), 0xFF0000UL);
  EXPECT_EQ(pixel(25, 15), 0x00FF00UL);
  // A presented rectangle reaches the window alone.
  surface->SetBackColor(0xFF0000);  // blue
  surface->Clear();
  surface->PresentRect(Rect{0, 0, 10, 10});
  XSync(Dpy(), False);
  EXPECT_EQ(pixel(2, 2), 0x0000FFUL);
  EXPECT_EQ(pixel(25, 15), 0x00FF00UL) << "outside the presented rectangle";
  EXPECT_EQ(pixel(12, 2), 0xFF0000UL);
  host.DestroyForm(form);
  surface->Present();  // the window is gone: the error is caught, nothing breaks
  XSync(Dpy(), False);
}

TEST_F(X11Display, MouseButtonsMapToTheirVirtualKeys) {
  auto& host = platform_->host();
  const WindowHandle form = host.CreateForm(u"buttons");
  host.ShowForm(form, true);
  ASSERT_TRUE(WaitFor(
      [&] {
        input().SetForegroundWindow(form);
        return WaitForeground(form);
      },
      kWaitMs));
  ASSERT_EQ(Sh("xdotool mousemove --window " + std::to_string(form) + " 20 20"), 0);
  for (auto [button, key] : {std::pair{1, vk::kLButton}, std::pair{3, vk::kRButton}, std::pair{2, vk::kMButton}}) {
    input().GetAsyncKeyState(key);
    ASSERT_EQ(Sh("xdotool mousedown " + std::to_string(button)), 0);
    EXPECT_TRUE(WaitFor([&] { return Down(key); }, kWaitMs)) << "button " << button;
    ASSERT_EQ(Sh("xdotool mouseup " + std::to_string(button)), 0);
    EXPECT_TRUE(WaitFor([&] { return !Down(key); }, kWaitMs)) << "button " << button;
  }
  host.DestroyForm(form);
}

// A held key repeats its KeyDown without a KeyUp between (detectable
// auto-repeat), and lets go once.
TEST_F(X11Display, HeldKeyRepeatsKeyDownOnly) {
  Recorder rec;
  auto& host = platform_->host();
  host.SetEventSink(&rec);
  const WindowHandle form = ShownForm(rec, Rect{100, 100, 300, 200});
  input().SetForegroundWindow(form);
  ASSERT_TRUE(Pump([&] { return rec.Count(platform::HostEventKind::kFocusIn) > 0; }));
  XkbSetAutoRepeatRate(Dpy(), XkbUseCoreKbd, 40, 20);  // fast, so that the test is short
  XSync(Dpy(), False);
  ASSERT_EQ(Sh("xdotool keydown x"), 0);
  EXPECT_TRUE(Pump([&] { return rec.Count(platform::HostEventKind::kKeyDown) >= 3; }));
  ASSERT_EQ(Sh("xdotool keyup x"), 0);
  EXPECT_TRUE(Pump([&] { return rec.Count(platform::HostEventKind::kKeyUp) >= 1; }));
  XkbSetAutoRepeatRate(Dpy(), XkbUseCoreKbd, 660, 40);
  XSync(Dpy(), False);
  const auto lastDown = std::find_if(rec.events.rbegin(), rec.events.rend(), [](const auto& e) {
    return e.kind == platform::HostEventKind::kKeyDown;
  });
  const auto firstUp = std::find_if(rec.events.begin(), rec.events.end(), [](const auto& e) {
    return e.kind == platform::HostEventKind::kKeyUp;
  });
  ASSERT_NE(firstUp, rec.events.end());
  EXPECT_GT(firstUp - rec.events.begin(), rec.events.rend() - lastDown - 1) << "no KeyUp before the last repeat";
  EXPECT_EQ(rec.Count(platform::HostEventKind::kKeyUp), 1);
  EXPECT_GE(rec.Count(platform::HostEventKind::kText), 3) << "each repeat types";
  host.DestroyForm(form);
  host.SetEventSink(nullptr);
}

// The window manager (or another program) hides the holder of the
// capture: the grab is gone, and the form is told.
TEST_F(X11Display, CaptureLostWhenTheHolderIsHiddenFromOutside) {
  Recorder rec;
  auto& host = platform_->host();
  host.SetEventSink(&rec);
  const WindowHandle form = ShownForm(rec, Rect{100, 100, 300, 200});
  host.SetCapture(form);
  ASSERT_EQ(host.Capture(), form);
  ASSERT_EQ(Sh("xdotool windowunmap " + std::to_string(form)), 0);
  EXPECT_TRUE(Pump([&] { return rec.Count(platform::HostEventKind::kCaptureLost) == 1; }));
  EXPECT_EQ(host.Capture(), 0u);
  EXPECT_FALSE(host.IsVisible(form)) << "the server's word, newer than ShowForm";
  host.DestroyForm(form);
  host.SetEventSink(nullptr);
}

// What other programs may ask of our clipboard: its targets, and the text
// in Latin-1 for old ones.
TEST_F(X11Display, ClipboardOffersItsTargetsAndLatin1) {
  auto& host = platform_->host();
  host.SetClipboardText(u"Größe Ж");
  const std::string targets = CapturePumping("xclip -selection clipboard -o -t TARGETS");
  for (const char* t : {"TARGETS", "UTF8_STRING", "STRING", "TEXT"}) {
    EXPECT_NE(targets.find(t), std::string::npos) << targets;
  }
  EXPECT_EQ(CapturePumping("xclip -selection clipboard -o -t STRING"), "Gr\xF6\xDF" "e ?");
  EXPECT_EQ(CapturePumping("xclip -selection clipboard -o -t UTF8_STRING"), text::ToUtf8(u"Größe Ж"));
}

TEST_F(X11Display, LoopRunsTimersWhileWaitingOnTheConnection) {
  auto& loop = platform_->loop();
  int ticks = 0;
  auto timer = loop.CreateTimer([&] {
    if (++ticks == 5) loop.Quit();
  });
  timer->SetInterval(1);
  timer->SetEnabled(true);
  const std::uint64_t start = loop.TickCount();
  loop.Run();
  EXPECT_EQ(ticks, 5);
  EXPECT_GE(loop.TickCount() - start, 49u);
}

}  // namespace
}  // namespace pd::x11
