// The Windows host under Wine: real window messages, posted or made by
// xdotool on the private X display of scripts/wine-run, reach the sink with
// the right fields; placement, capture and the clipboard round trip.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "Win32TestUtil.h"
#include "Win32XSession.h"
#include "platform/text.h"
#include "platform/win32/host.h"
#include "platform/win32/surface.h"
#include "platform/win32/loop.h"

namespace pd::win32 {
namespace {

using platform::HostEvent;
using platform::HostEventKind;
using platform::WindowKind;
namespace button = platform::button;
namespace shift = platform::shift;
using test::RunUnix;
using test::WaitFor;

constexpr DWORD kTimeoutMs = 5000;

class Recorder final : public platform::HostEventSink {
 public:
  void OnHostEvent(const HostEvent& event) override { events.push_back(event); }
  // The events of one kind, in order.
  [[nodiscard]] std::vector<HostEvent> Of(HostEventKind kind) const {
    std::vector<HostEvent> out;
    for (const HostEvent& e : events) {
      if (e.kind == kind) out.push_back(e);
    }
    return out;
  }
  std::vector<HostEvent> events;
};

class Win32HostTest : public ::testing::Test {
 protected:
  void SetUp() override { host_.SetEventSink(&sink_); }
  void TearDown() override { host_.SetEventSink(nullptr); }

  std::function<void()> Pump() {
    return [this] { loop_.DoEvents(); };
  }
  // Pumps until the sink has an event of the kind.
  bool WaitForEvent(HostEventKind kind, DWORD timeoutMs = kTimeoutMs) {
    return WaitFor([&] { return !sink_.Of(kind).empty(); }, Pump(), timeoutMs);
  }
  WindowHandle NewForm(WindowKind kind = WindowKind::Form, WindowHandle owner = 0) {
    const std::u16string caption = u"PD host test " + text::FromAscii(std::to_string(GetCurrentProcessId())) + u"." +
                                   text::FromAscii(std::to_string(++serial_));
    const WindowHandle f = host_.CreateForm(caption, kind, owner);
    EXPECT_NE(f, 0u);
    return f;
  }
  static HWND Hwnd(WindowHandle f) { return reinterpret_cast<HWND>(f); }
  // Posts a message and lets the loop deliver it.
  void Post(WindowHandle f, UINT msg, WPARAM wParam, LPARAM lParam, bool ansi = false) {
    if (ansi) {
      PostMessageA(Hwnd(f), msg, wParam, lParam);
    } else {
      PostMessageW(Hwnd(f), msg, wParam, lParam);
    }
    loop_.DoEvents();
  }
  bool SkipWithoutX() {
    const std::string why = test::WindowTestsUnavailable();
    if (why.empty()) return false;
    skipReason_ = why;
    return true;
  }

  std::unique_ptr<platform::Graphics> graphics_ = win32::CreateGdiGraphics();
  Win32Host host_{*graphics_};
  Win32Loop loop_;
  Recorder sink_;
  int serial_ = 0;
  std::string skipReason_;
};

// The bytes as printf escapes: the command line stays ASCII (Wine passes it
// on through the ANSI code page).
std::string OctalEscaped(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    char esc[8];
    std::snprintf(esc, sizeof(esc), "\\%03o", c);
    out += esc;
  }
  return out;
}

LPARAM At(int x, int y) { return static_cast<LPARAM>(MAKELONG(static_cast<WORD>(x), static_cast<WORD>(y))); }

TEST_F(Win32HostTest, MouseMessagesReachTheSinkWithButtonPositionAndShift) {
  struct Case {
    UINT msg;
    WPARAM wParam;
    std::vector<HostEventKind> kinds;
    int button;
    int shift;
  };
  const Case cases[] = {
      {WM_LBUTTONDOWN, MK_LBUTTON, {HostEventKind::kMouseDown}, button::kLeft, 0},
      {WM_LBUTTONUP, MK_SHIFT, {HostEventKind::kMouseUp}, button::kLeft, shift::kShift},
      {WM_RBUTTONDOWN, MK_RBUTTON | MK_CONTROL, {HostEventKind::kMouseDown}, button::kRight, shift::kCtrl},
      {WM_RBUTTONUP, 0, {HostEventKind::kMouseUp}, button::kRight, 0},
      {WM_MBUTTONDOWN, MK_MBUTTON | MK_SHIFT | MK_CONTROL, {HostEventKind::kMouseDown}, button::kMiddle,
       shift::kShift | shift::kCtrl},
      {WM_MBUTTONUP, 0, {HostEventKind::kMouseUp}, button::kMiddle, 0},
      // A move names every button held.
      {WM_MOUSEMOVE, MK_LBUTTON | MK_MBUTTON, {HostEventKind::kMouseMove}, button::kLeft | button::kMiddle, 0},
      {WM_MOUSEMOVE, 0, {HostEventKind::kMouseMove}, 0, 0},
      // The second press of a double click: a press, then the double click.
      {WM_LBUTTONDBLCLK, MK_LBUTTON, {HostEventKind::kMouseDown, HostEventKind::kDoubleClick}, button::kLeft, 0},
      {WM_RBUTTONDBLCLK, MK_RBUTTON, {HostEventKind::kMouseDown, HostEventKind::kDoubleClick}, button::kRight, 0},
  };
  const WindowHandle form = NewForm();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.msg);
    sink_.events.clear();
    // Positions under capture lie outside the client area: signed.
    Post(form, c.msg, c.wParam, At(-7, 300));
    ASSERT_EQ(sink_.events.size(), c.kinds.size());
    for (std::size_t i = 0; i < c.kinds.size(); ++i) {
      const HostEvent& e = sink_.events[i];
      EXPECT_EQ(e.kind, c.kinds[i]);
      EXPECT_EQ(e.window, form);
      EXPECT_EQ(e.pos, (Point{-7, 300}));
      EXPECT_EQ(e.button, c.button);
      EXPECT_EQ(e.shift, c.shift);
    }
  }
  host_.DestroyForm(form);
  sink_.events.clear();
  Post(form, WM_LBUTTONDOWN, 0, At(1, 1));
  EXPECT_TRUE(sink_.events.empty()) << "a destroyed form reports nothing";
}

TEST_F(Win32HostTest, KeysAndTypedTextReachTheSink) {
  const WindowHandle form = NewForm();
  Post(form, WM_KEYDOWN, VK_F5, 1);
  Post(form, WM_KEYUP, VK_F5, static_cast<LPARAM>(0xC0000001u));
  Post(form, WM_CHAR, 0x0416, 1);   // Ж as a Unicode program gets it
  Post(form, WM_CHAR, 0xC6, 1, true);  // Ж as CP1251 through the A path: converted for the W class
  Post(form, WM_CHAR, 0x08, 1);     // Backspace: a key, not text
  Post(form, WM_CHAR, 0x1B, 1);     // Escape likewise
  Post(form, WM_CHAR, 0xD83D, 1);   // a pair arrives as one text
  Post(form, WM_CHAR, 0xDE00, 1);
  Post(form, WM_CHAR, u'z', 1);
  const auto downs = sink_.Of(HostEventKind::kKeyDown);
  const auto ups = sink_.Of(HostEventKind::kKeyUp);
  ASSERT_EQ(downs.size(), 1u);
  ASSERT_EQ(ups.size(), 1u);
  EXPECT_EQ(downs[0].key, VK_F5);
  EXPECT_EQ(ups[0].key, VK_F5);
  EXPECT_EQ(downs[0].shift, 0);
  std::vector<String> texts;
  for (const HostEvent& e : sink_.Of(HostEventKind::kText)) texts.push_back(e.text);
  const std::vector<String> expected{u"Ж", u"Ж", u"\U0001F600", u"z"};
  EXPECT_EQ(texts, expected);
}

// The user minimises a form with its minimise box: off the screen, it is
// not shown; showing it brings it back restored, whether or not it was
// hidden meanwhile (a form has no task-bar button to restore it from).
TEST_F(Win32HostTest, AMinimisedFormIsNotShownAndShowingItRestoresIt) {
  const WindowHandle form = NewForm();
  host_.ShowForm(form, true);
  loop_.DoEvents();
  ASSERT_TRUE(host_.IsVisible(form));
  for (const bool hiddenMeanwhile : {false, true}) {
    ShowWindow(Hwnd(form), SW_MINIMIZE);
    // Under an X window manager the window is iconic once the manager says so.
    ASSERT_TRUE(WaitFor([&] { return IsIconic(Hwnd(form)) != FALSE; }, Pump(), kTimeoutMs));
    EXPECT_FALSE(host_.IsVisible(form)) << "hidden meanwhile: " << hiddenMeanwhile;
    if (hiddenMeanwhile) host_.ShowForm(form, false);
    host_.ShowForm(form, true);
    EXPECT_TRUE(WaitFor([&] { return IsIconic(Hwnd(form)) == FALSE; }, Pump(), kTimeoutMs))
        << "hidden meanwhile: " << hiddenMeanwhile;
    EXPECT_TRUE(IsWindowVisible(Hwnd(form)));
    EXPECT_TRUE(host_.IsVisible(form));
  }
}

TEST_F(Win32HostTest, AltF4AndTheCloseButtonAskAndTheFormStays) {
  const WindowHandle form = NewForm();
  host_.ShowForm(form, true);
  SendMessageW(Hwnd(form), WM_CLOSE, 0, 0);
  // Alt+F4 as the system key it is: reported, then the system closes... by asking.
  Post(form, WM_SYSKEYDOWN, VK_F4, static_cast<LPARAM>(1u | (1u << 29)));
  loop_.DoEvents();
  const auto closes = sink_.Of(HostEventKind::kCloseRequest);
  ASSERT_EQ(closes.size(), 2u);
  for (const HostEvent& e : closes) {
    EXPECT_EQ(e.window, form);
    EXPECT_EQ(e.unloadMode, platform::unload::kUser);
  }
  ASSERT_EQ(sink_.Of(HostEventKind::kKeyDown).size(), 1u);
  EXPECT_EQ(sink_.Of(HostEventKind::kKeyDown)[0].key, VK_F4);
  EXPECT_TRUE(host_.IsForm(form));
  EXPECT_TRUE(host_.IsVisible(form));

  // The session's end: asked once, whether or not the question came first.
  sink_.events.clear();
  EXPECT_EQ(SendMessageW(Hwnd(form), WM_QUERYENDSESSION, 0, 0), TRUE);
  SendMessageW(Hwnd(form), WM_ENDSESSION, TRUE, 0);
  SendMessageW(Hwnd(form), WM_ENDSESSION, TRUE, 0);
  SendMessageW(Hwnd(form), WM_QUERYENDSESSION, 0, 0);
  SendMessageW(Hwnd(form), WM_ENDSESSION, FALSE, 0);  // cancelled
  const auto sessions = sink_.Of(HostEventKind::kCloseRequest);
  ASSERT_EQ(sessions.size(), 3u);
  for (const HostEvent& e : sessions) EXPECT_EQ(e.unloadMode, platform::unload::kSession);
  EXPECT_TRUE(host_.IsForm(form));
}

TEST_F(Win32HostTest, ShowingReportsShownAndExposeOfTheClientAreaAndHidingHidden) {
  const WindowHandle form = NewForm();
  host_.SetBounds(form, Rect{100, 100, 400, 250});
  host_.ShowForm(form, true);
  ASSERT_TRUE(WaitForEvent(HostEventKind::kExpose));
  ASSERT_EQ(sink_.Of(HostEventKind::kShown).size(), 1u);
  EXPECT_EQ(sink_.Of(HostEventKind::kExpose)[0].area, (Rect{0, 0, 300, 150}));
  EXPECT_TRUE(host_.IsVisible(form));

  sink_.events.clear();
  RECT part{10, 20, 30, 40};
  InvalidateRect(Hwnd(form), &part, FALSE);
  UpdateWindow(Hwnd(form));
  ASSERT_EQ(sink_.Of(HostEventKind::kExpose).size(), 1u);
  EXPECT_EQ(sink_.Of(HostEventKind::kExpose)[0].area, (Rect{10, 20, 30, 40}));

  host_.ShowForm(form, false);
  EXPECT_EQ(sink_.Of(HostEventKind::kHidden).size(), 1u);
  EXPECT_FALSE(host_.IsVisible(form));
}

TEST_F(Win32HostTest, BoundsAreTheClientAreaSetForEveryKind) {
  const WindowHandle owner = NewForm();
  for (WindowKind kind : {WindowKind::Form, WindowKind::Dialog, WindowKind::Popup}) {
    SCOPED_TRACE(static_cast<int>(kind));
    const WindowHandle f = NewForm(kind, kind == WindowKind::Form ? 0 : owner);
    sink_.events.clear();
    const Rect r{150, 130, 150 + 333, 130 + 222};
    host_.SetBounds(f, r);
    EXPECT_EQ(host_.Bounds(f), r);
    const auto resized = sink_.Of(HostEventKind::kResized);
    ASSERT_EQ(resized.size(), 1u);
    EXPECT_EQ(resized[0].area, r);
    // Moved without a new size: no resize.
    host_.SetBounds(f, Rect{160, 140, 160 + 333, 140 + 222});
    EXPECT_EQ(sink_.Of(HostEventKind::kResized).size(), 1u);
    // Shown, under a window manager, the client area stays where it was put.
    // (The window manager's placement arrives after the map: waited for.)
    host_.ShowForm(f, true);
    const Rect placed{160, 140, 160 + 333, 140 + 222};
    Rect shown;
    EXPECT_TRUE(WaitFor([&] { return (shown = host_.Bounds(f)) == placed; }, Pump(), 2000))
        << shown.left << "," << shown.top << " " << shown.Width() << "x" << shown.Height();
    RECT outer{};
    GetWindowRect(Hwnd(f), &outer);
    if (kind == WindowKind::Popup) {
      EXPECT_EQ(outer.right - outer.left, 333) << "a popup has no frame";
    } else {
      EXPECT_GT(outer.bottom - outer.top, 222) << "a caption above the client area";
    }
    // Every kind is owned: no task-list entry.
    EXPECT_NE(GetWindow(Hwnd(f), GW_OWNER), nullptr);
    host_.DestroyForm(f);
    EXPECT_EQ(host_.Bounds(f), Rect{});
  }
  const LONG style = GetWindowLongW(Hwnd(owner), GWL_STYLE);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME | WS_MAXIMIZEBOX),
            WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
  const Rect screen = host_.ScreenRect();
  const Rect work = host_.WorkArea();
  EXPECT_EQ(screen, (Rect{0, 0, 1280, 1024})) << "scripts/wine-run's Xvfb screen";
  EXPECT_GE(work.left, screen.left);
  EXPECT_LE(work.bottom, screen.bottom);
  EXPECT_GT(work.Width() * work.Height(), 0);
}

TEST_F(Win32HostTest, CaptureIsLostOnlyToAnotherWindow) {
  const WindowHandle a = NewForm();
  const WindowHandle b = NewForm();
  EXPECT_EQ(host_.Capture(), 0u);
  host_.SetCapture(a);
  EXPECT_EQ(host_.Capture(), a);
  host_.ReleaseCapture();
  EXPECT_EQ(host_.Capture(), 0u);
  EXPECT_TRUE(sink_.Of(HostEventKind::kCaptureLost).empty()) << "released by us: not lost";

  host_.SetCapture(a);
  host_.SetCapture(a);  // again: still held
  EXPECT_TRUE(sink_.Of(HostEventKind::kCaptureLost).empty());
  host_.SetCapture(b);
  ASSERT_EQ(sink_.Of(HostEventKind::kCaptureLost).size(), 1u);
  EXPECT_EQ(sink_.Of(HostEventKind::kCaptureLost)[0].window, a);
  EXPECT_EQ(host_.Capture(), b);
  // A window that is not ours takes it.
  HWND foreign = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  SetCapture(foreign);
  EXPECT_EQ(host_.Capture(), 0u);
  EXPECT_EQ(sink_.Of(HostEventKind::kCaptureLost).size(), 2u);
  DestroyWindow(foreign);
  // Hidden or destroyed while holding it: gone quietly.
  host_.SetCapture(a);
  host_.ShowForm(a, true);
  host_.ShowForm(a, false);
  EXPECT_EQ(host_.Capture(), 0u);
  host_.SetCapture(b);
  host_.DestroyForm(b);
  EXPECT_EQ(host_.Capture(), 0u);
  EXPECT_EQ(sink_.Of(HostEventKind::kCaptureLost).size(), 2u);
}

TEST_F(Win32HostTest, ClipboardRoundTripsAndIsSharedWithX) {
  const String russian = u"Процесс «Проводник», ёЁ";
  host_.SetClipboardText(russian);
  EXPECT_EQ(host_.ClipboardText(), russian);
  host_.SetClipboardText(u"");
  EXPECT_EQ(host_.ClipboardText(), u"");

  if (SkipWithoutX()) GTEST_SKIP() << skipReason_;
  if (!test::UnixProgramExists("/usr/bin/xclip")) GTEST_SKIP() << "xclip is not installed";
  // Ours, read by an X program.
  host_.SetClipboardText(russian);
  const std::string out = "/tmp/pd-clip-" + std::to_string(GetCurrentProcessId());
  ASSERT_TRUE(RunUnix("timeout 5 xclip -o -selection clipboard > " + out, Pump()));
  EXPECT_EQ(test::ReadUnixFile(out), text::ToUtf8(russian));
  DeleteFileA(("Z:" + out).c_str());
  // An X program's, read by us.
  const String theirs = u"Из X: Жёлтый";
  ASSERT_TRUE(RunUnix("printf '" + OctalEscaped(text::ToUtf8(theirs)) + "' | timeout 10 xclip -selection clipboard",
                     Pump()));
  String got;
  EXPECT_TRUE(WaitFor([&] { return (got = host_.ClipboardText()) == theirs; }, Pump(), kTimeoutMs));
}

// Real input: the window has the X focus and xdotool presses keys and buttons.
class Win32HostInputTest : public Win32HostTest {
 protected:
  void SetUp() override {
    Win32HostTest::SetUp();
    if (SkipWithoutX()) GTEST_SKIP() << skipReason_;
    form_ = NewForm();
    host_.SetBounds(form_, Rect{200, 200, 500, 400});
    host_.ShowForm(form_, true);
    ASSERT_TRUE(test::ActivateWindow(Hwnd(form_), Pump())) << "the window never came to the front";
    xid_ = test::XWindowOf(Hwnd(form_), Pump());
    sink_.events.clear();
  }
  void TearDown() override {
    if (form_ != 0) host_.DestroyForm(form_);
    Win32HostTest::TearDown();
  }
  bool Xdotool(const std::string& args) { return RunUnix("timeout 5 xdotool " + args, Pump()); }

  WindowHandle form_ = 0;
  std::uintptr_t xid_ = 0;
};

TEST_F(Win32HostInputTest, TypedCyrillicArrivesAsTextAndKeysAsVirtualKeys) {
  // The Russian layout active: Ж, ж and ё are keys of it (xdotool presses
  // the key codes of the layout, with Shift for the capital).
  if (!test::UnixProgramExists("/usr/bin/setxkbmap")) GTEST_SKIP() << "setxkbmap is not installed";
  ASSERT_TRUE(RunUnix("setxkbmap ru", Pump()));
  WaitFor([] { return false; }, Pump(), 300);  // Wine reads the new key map
  const bool typedKeys = Xdotool("key --delay 30 Cyrillic_ZHE Cyrillic_zhe Cyrillic_io");
  RunUnix("setxkbmap us", Pump());
  ASSERT_TRUE(typedKeys);
  ASSERT_TRUE(Xdotool("key shift+F5"));
  ASSERT_TRUE(WaitFor([&] { return !sink_.Of(HostEventKind::kKeyUp).empty() &&
                                   sink_.Of(HostEventKind::kKeyUp).back().key == VK_F5; },
                      Pump(), kTimeoutMs));
  String typed;
  for (const HostEvent& e : sink_.Of(HostEventKind::kText)) typed += e.text;
  const String expected = u"Жжё";
  EXPECT_EQ(typed, expected);
  bool f5WithShift = false;
  for (const HostEvent& e : sink_.Of(HostEventKind::kKeyDown)) {
    if (e.key == VK_F5) f5WithShift = e.shift == shift::kShift;
  }
  EXPECT_TRUE(f5WithShift);
  EXPECT_TRUE(sink_.Of(HostEventKind::kCloseRequest).empty());
}

TEST_F(Win32HostInputTest, ClicksAndADoubleClickArriveAtTheClientPoint) {
  ASSERT_TRUE(Xdotool("mousemove --window " + std::to_string(xid_) + " 40 30"));
  ASSERT_TRUE(Xdotool("click 3"));
  ASSERT_TRUE(Xdotool("click --repeat 2 --delay 80 1"));
  ASSERT_TRUE(WaitFor([&] { return sink_.Of(HostEventKind::kMouseUp).size() >= 3; }, Pump(), kTimeoutMs));
  const auto downs = sink_.Of(HostEventKind::kMouseDown);
  ASSERT_EQ(downs.size(), 3u);
  EXPECT_EQ(downs[0].button, button::kRight);
  EXPECT_EQ(downs[1].button, button::kLeft);
  for (const HostEvent& e : downs) EXPECT_EQ(e.pos, (Point{40, 30}));
  ASSERT_EQ(sink_.Of(HostEventKind::kDoubleClick).size(), 1u);
  EXPECT_EQ(sink_.Of(HostEventKind::kDoubleClick)[0].button, button::kLeft);
}

TEST_F(Win32HostInputTest, AltF4OfTheWindowManagerIsACloseRequest) {
  ASSERT_TRUE(Xdotool("key alt+F4"));
  ASSERT_TRUE(WaitForEvent(HostEventKind::kCloseRequest));
  EXPECT_EQ(sink_.Of(HostEventKind::kCloseRequest)[0].unloadMode, platform::unload::kUser);
  WaitFor([] { return false; }, Pump(), 200);
  EXPECT_TRUE(host_.IsVisible(form_)) << "only the control host closes a form";
}

TEST_F(Win32HostInputTest, CapturedClicksOnAnotherWindowComeToIt) {
  // Wine sees no click outside its own windows (it takes no pointer grab for
  // a capture): the click lands on another window of ours.
  const WindowHandle below = NewForm();
  host_.SetBounds(below, Rect{20, 20, 170, 170});
  host_.ShowForm(below, true);
  ASSERT_TRUE(test::ActivateWindow(Hwnd(form_), Pump()));
  sink_.events.clear();
  host_.SetCapture(form_);
  // 100 pixels left of and above the client area.
  ASSERT_TRUE(Xdotool("mousemove 100 100 click 1"));
  ASSERT_TRUE(WaitForEvent(HostEventKind::kMouseUp));
  const auto downs = sink_.Of(HostEventKind::kMouseDown);
  ASSERT_EQ(downs.size(), 1u);
  EXPECT_EQ(downs[0].window, form_);
  EXPECT_EQ(downs[0].pos, (Point{-100, -100}));
  host_.ReleaseCapture();
}

TEST_F(Win32HostInputTest, FocusFollowsActivationAndAPopupTakesNone) {
  const WindowHandle popup = NewForm(WindowKind::Popup, form_);
  host_.SetBounds(popup, Rect{520, 200, 620, 260});
  host_.ShowForm(popup, true);
  ASSERT_TRUE(Xdotool("mousemove --window " + std::to_string(test::XWindowOf(Hwnd(popup), Pump())) + " 5 5 click 1"));
  ASSERT_TRUE(WaitFor([&] { return !sink_.Of(HostEventKind::kMouseUp).empty(); }, Pump(), kTimeoutMs));
  EXPECT_EQ(sink_.Of(HostEventKind::kMouseUp)[0].window, popup);
  EXPECT_EQ(GetForegroundWindow(), Hwnd(form_)) << "a click on a popup leaves the form active";
  EXPECT_TRUE(sink_.Of(HostEventKind::kFocusOut).empty());

  const WindowHandle other = NewForm();
  host_.ShowForm(other, true);
  ASSERT_TRUE(test::ActivateWindow(Hwnd(other), Pump()));
  ASSERT_TRUE(WaitForEvent(HostEventKind::kFocusIn));
  ASSERT_FALSE(sink_.Of(HostEventKind::kFocusOut).empty());
  EXPECT_EQ(sink_.Of(HostEventKind::kFocusOut)[0].window, form_);
  EXPECT_EQ(sink_.Of(HostEventKind::kFocusIn).back().window, other);
}

TEST_F(Win32HostInputTest, FormsAndDialogsAreKeptOutOfTheTaskList) {
  const WindowHandle dialog = NewForm(WindowKind::Dialog, form_);
  host_.ShowForm(dialog, true);
  const std::string out = "/tmp/pd-wmstate-" + std::to_string(GetCurrentProcessId());
  for (WindowHandle f : {form_, dialog}) {
    const std::uintptr_t xid = test::XWindowOf(Hwnd(f), Pump());
    ASSERT_NE(xid, 0u);
    ASSERT_TRUE(RunUnix("xprop -id " + std::to_string(xid) + " _NET_WM_STATE _NET_WM_WINDOW_TYPE > " + out, Pump()));
    const std::string props = test::ReadUnixFile(out);
    EXPECT_NE(props.find("_NET_WM_STATE_SKIP_TASKBAR"), std::string::npos) << props;
  }
  DeleteFileA(("Z:" + out).c_str());
}

}  // namespace
}  // namespace pd::win32
