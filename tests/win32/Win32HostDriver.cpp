// The host contract on Windows under Wine. Wine's windows are X windows of
// the private X session of scripts/wine-run, so the user is played there:
// xdotool moves the pointer, clicks and presses keys (the Russian layout
// switched on with setxkbmap for the Cyrillic letters) and activates windows
// through the window manager, wmctrl asks the window manager to close a
// window, and xclip is the other program on the clipboard.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "Win32TestUtil.h"
#include "Win32XSession.h"
#include "contract/HostContract.h"
#include "contract/XdotoolKeys.h"
#include "platform/text.h"
#include "platform/win32/platform.h"

namespace pd::test {
namespace {

namespace vk = platform::vk;

constexpr DWORD kWaitMs = 5000;
// Another program's side of the clipboard, which a busy machine slows most.
constexpr DWORD kClipboardWaitMs = 10000;
// Wine reads a new key map, and turns keys already queued into characters
// with the key map of that moment: each layout switch waits this long.
constexpr DWORD kLayoutSettleMs = 300;
// A window newly on the screen that has kept its place this long has settled.
constexpr ULONGLONG kSettleMs = 150;

using xdotool::Chord;
using xdotool::KeyName;
using xdotool::XButton;

bool IsCyrillic(char16_t c) { return c >= 0x400 && c < 0x500; }

// The X key symbol of a character, as xdotool takes it ("0x6f0"); "" for
// none. Printable ASCII is its own symbol; the Cyrillic symbols follow KOI8-R.
std::string KeySym(char16_t c) {
  static const StringView kKoi8 = u"юабцдефгхийклмнопярстужвьызшэщчъ";
  static const StringView kKoi8Capitals = u"ЮАБЦДЕФГХИЙКЛМНОПЯРСТУЖВЬЫЗШЭЩЧЪ";
  unsigned sym = 0;
  if (c >= 0x20 && c < 0x7F) {
    sym = c;
  } else if (c == u'ё') {
    sym = 0x6A3;
  } else if (c == u'Ё') {
    sym = 0x6B3;
  } else if (const auto i = kKoi8.find(c); i != StringView::npos) {
    sym = 0x6C0 + static_cast<unsigned>(i);
  } else if (const auto j = kKoi8Capitals.find(c); j != StringView::npos) {
    sym = 0x6E0 + static_cast<unsigned>(j);
  } else {
    return "";
  }
  char buf[16];
  std::snprintf(buf, sizeof(buf), "0x%x", sym);
  return buf;
}

// Bytes as printf escapes: the command line stays ASCII (Wine passes it on
// through the ANSI code page).
std::string OctalEscaped(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    char esc[8];
    std::snprintf(esc, sizeof(esc), "\\%03o", c);
    out += esc;
  }
  return out;
}

// What the Windows clipboard holds as text, read past the host port.
String WindowsClipboard() {
  String text;
  if (IsClipboardFormatAvailable(CF_UNICODETEXT) == FALSE || OpenClipboard(nullptr) == FALSE) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT); data != nullptr) {
    if (const auto* chars = static_cast<const char16_t*>(GlobalLock(data)); chars != nullptr) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

class Win32HostDriver final : public HostDriver {
 public:
  explicit Win32HostDriver(std::unique_ptr<platform::Platform> p) : p_(std::move(p)) {}
  ~Win32HostDriver() override {
    if (held_ != 0) HoldShift(held_, false);
    HideOtherWindow();
  }

  platform::Platform& Platform() override { return *p_; }
  bool Pump(const std::function<bool()>& done) override {
    bool last = false;
    WaitFor(
        [&] {
          p_->loop().DoEvents();
          return last = done();
        },
        [] {}, kWaitMs);
    if (last) WaitUntilOnScreen(true);
    return last;
  }

  void MoveToScreen(Point screen) override {
    WaitUntilOnScreen(false);
    Xdo("mousemove " + std::to_string(screen.x) + " " + std::to_string(screen.y));
  }
  void ButtonDown(int button) override { Xdo("mousedown " + std::to_string(XButton(button))); }
  void ButtonUp(int button) override { Xdo("mouseup " + std::to_string(XButton(button))); }
  // Buttons 4 (up) and 5 (down), one click a notch: Wine makes WM_MOUSEWHEEL of them.
  void Wheel(int notches) override {
    if (notches == 0) return;
    Xdo("click --repeat " + std::to_string(notches > 0 ? notches : -notches) + (notches > 0 ? " 4" : " 5"));
  }
  void HoldShift(int shift, bool down) override {
    std::string keys;
    if ((shift & platform::shift::kShift) != 0) keys += " shift";
    if ((shift & platform::shift::kCtrl) != 0) keys += " ctrl";
    if (keys.empty()) return;
    held_ = down ? held_ | shift : held_ & ~shift;
    Xdo((down ? "keydown" : "keyup") + keys);
  }
  void PressKey(int virtualKey, int shift) override {
    const std::string name = KeyName(virtualKey);
    ASSERT_FALSE(name.empty()) << "no key name for " << virtualKey;
    Xdo("key " + Chord(shift) + name);
  }
  void Type(StringView text) override {
    // As the user types: the Russian layout for the Cyrillic letters, the
    // English one for the rest (a space goes with either). Wine keeps no
    // second layout group, so the layout itself is switched, and the loop
    // runs to take the keys before each switch (not from a modal loop).
    std::size_t start = 0;
    while (start < text.size()) {
      const bool cyrillic = IsCyrillic(text[start]);
      std::string keys;
      std::size_t end = start;
      for (; end < text.size() && (text[end] == u' ' || IsCyrillic(text[end]) == cyrillic); ++end) {
        const std::string sym = KeySym(text[end]);
        ASSERT_FALSE(sym.empty()) << "no key for U+" << std::hex << static_cast<unsigned>(text[end]);
        keys += " " + sym;
      }
      if (cyrillic) SetLayout("ru");
      Xdo("key --delay 20" + keys);
      Settle();
      if (cyrillic) SetLayout("us");
      start = end;
    }
  }
  void Activate(WindowHandle window) override {
    EXPECT_TRUE(ActivateWindow(reinterpret_cast<HWND>(window), PumpFn())) << "window " << window << " not in front";
  }
  void Close(WindowHandle window) override {
    // What the close button does: the window manager is asked
    // (_NET_CLOSE_WINDOW), and it asks the window (WM_DELETE_WINDOW). No
    // Alt+F4: the window may go before Wine sees Alt let go, and Wine would
    // then read Alt as held. A window that is gone has no frame to close.
    if (IsWindow(reinterpret_cast<HWND>(window)) == FALSE) return;
    const std::uintptr_t xid = XWindowOf(reinterpret_cast<HWND>(window), AnswerSent);
    ASSERT_NE(xid, 0u) << "window " << window << " has no X window";
    EXPECT_TRUE(RunUnix("timeout 5 wmctrl -i -c " + std::to_string(xid), AnswerSent));
  }
  void SetOutsideClipboard(StringView text) override {
    // xclip stays behind to serve the selection until another owner takes it.
    const DWORD before = GetClipboardSequenceNumber();
    EXPECT_TRUE(RunUnix("printf '" + OctalEscaped(text::ToUtf8(text)) +
                            "' | xclip -selection clipboard -i >/dev/null 2>&1",
                        AnswerSent));
    // Wine copies the new selection into the Windows clipboard once, as it
    // learns of it, and drops the copy when the clipboard is open at that
    // moment (a program reading it): the copy is let arrive first.
    EXPECT_TRUE(WaitFor([&] { return GetClipboardSequenceNumber() != before; }, AnswerSent, kClipboardWaitMs))
        << "Wine never took the X clipboard";
  }
  // A plain top-most window of a class of its own: to the host, another
  // program's.
  void ShowOtherWindow(const Rect& r) override {
    HideOtherWindow();
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = L"PointerTest.Other";
    RegisterClassExW(&wc);
    other_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, r.left,
                             r.top, r.Width(), r.Height(), nullptr, nullptr, wc.hInstance, nullptr);
    EXPECT_NE(other_, nullptr);
  }
  void HideOtherWindow() override {
    if (other_ != nullptr) DestroyWindow(other_);
    other_ = nullptr;
  }
  // The cursor this thread shows, among the system's shapes.
  platform::PointerShape ShapeShown() override {
    using platform::PointerShape;
    HCURSOR now = GetCursor();
    static const std::pair<WORD, PointerShape> kShapes[] = {
        {32512, PointerShape::kDefault}, {32515, PointerShape::kCross},  {32513, PointerShape::kIBeam},
        {32514, PointerShape::kWait},    {32645, PointerShape::kSizeNS},
    };
    for (const auto& [id, shape] : kShapes) {
      if (now == LoadCursorW(nullptr, MAKEINTRESOURCEW(id))) return shape;
    }
    return now != nullptr ? PointerShape::kCustom : PointerShape::kDefault;
  }
  String OutsideClipboard() override {
    // Wine hands a new clipboard to X a moment after the change (its
    // clipboard manager takes the selection): the other program reads
    // again until it sees what Windows holds, for a few seconds at most.
    const std::string file = "/tmp/pd-host-clip-" + std::to_string(GetCurrentProcessId());
    String seen = u"<failed>";
    WaitFor(
        [&] {
          if (!RunUnix("timeout 5 xclip -o -selection clipboard > " + file, AnswerSent)) return false;
          seen = text::FromUtf8(ReadUnixFile(file));
          return seen == WindowsClipboard();
        },
        AnswerSent, kClipboardWaitMs);
    DeleteFileA(("Z:" + file).c_str());
    return seen;
  }

 private:
  std::function<void()> PumpFn() {
    return [this] { p_->loop().DoEvents(); };
  }
  // Input goes to the X server only, and the program takes it when it next
  // asks for messages: meanwhile only messages sent to our windows by other
  // threads are answered (Wine's clipboard waits for those). The driver may
  // be called from inside a modal loop (a menu's, a message box's), whose
  // input a loop of ours would take from it.
  static void AnswerSent() {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  static void Xdo(const std::string& args) { EXPECT_TRUE(RunUnix("timeout 5 xdotool " + args, AnswerSent)) << args; }
  // Lets the loop take what has arrived before anything else changes.
  void Settle() {
    WaitFor([] { return false; }, PumpFn(), kLayoutSettleMs);
  }
  void SetLayout(const std::string& layout) {
    EXPECT_TRUE(RunUnix("setxkbmap " + layout, PumpFn())) << layout;
    Settle();
  }

  // The pointer reaches only windows the window manager has put on the
  // screen; a form's first paint may come before that (Wine paints a window
  // it has only asked to be mapped). Each visible window of ours is waited
  // for once per showing: mapped, and framed unless the manager leaves it
  // alone (menus, tool tips). Where the loop may run (not from inside a
  // modal loop), also until Wine has taken the window manager's last word
  // on its place: on a busy machine Wine reads late reports of the X server
  // against the new frame and moves the window for a moment.
  void WaitUntilOnScreen(bool runLoop) {
    std::map<std::uintptr_t, HWND> visible;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM out) {
          const auto xid = reinterpret_cast<std::uintptr_t>(GetPropA(hwnd, "__wine_x11_whole_window"));
          if (xid != 0 && IsWindowVisible(hwnd) != FALSE) {
            (*reinterpret_cast<std::map<std::uintptr_t, HWND>*>(out))[xid] = hwnd;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&visible));
    const std::function<void()> pump = runLoop ? PumpFn() : std::function<void()>(AnswerSent);
    for (const auto& [xid, hwnd] : visible) {
      if (onScreen_.insert(xid).second) {
        const std::string id = std::to_string(xid);
        EXPECT_TRUE(RunUnix("timeout 3 sh -c 'until xwininfo -id " + id + " | grep -q IsViewable && { xwininfo -id " +
                                id + " | grep -q Redirect.State:.yes || xprop -id " + id +
                                " _NET_FRAME_EXTENTS | grep -q =; }; do sleep 0.01; done'",
                            pump));
      }
      if (!runLoop || !settled_.insert(xid).second) continue;
      RECT last{};
      ULONGLONG since = GetTickCount64();
      WaitFor(
          [&, window = hwnd] {
            RECT now{};
            GetWindowRect(window, &now);
            if (EqualRect(&now, &last) == FALSE) {
              last = now;
              since = GetTickCount64();
            }
            return GetTickCount64() - since >= kSettleMs;
          },
          pump, kWaitMs);
    }
    // A window hidden since is waited for again when it is shown again.
    for (auto* known : {&onScreen_, &settled_}) {
      std::erase_if(*known, [&](std::uintptr_t xid) { return visible.count(xid) == 0; });
    }
  }

  std::unique_ptr<platform::Platform> p_;
  int held_ = 0;
  HWND other_ = nullptr;
  std::set<std::uintptr_t> onScreen_;  // X windows of ours known to be on the screen
  std::set<std::uintptr_t> settled_;   // and known to have kept their place
};

std::unique_ptr<HostDriver> MakeHostDriver(std::string& skipReason) {
  skipReason = WindowTestsUnavailable();
  if (!skipReason.empty()) return nullptr;
  for (const char* tool : {"/usr/bin/xclip", "/usr/bin/setxkbmap", "/usr/bin/wmctrl"}) {
    if (!UnixProgramExists(tool)) {
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
  return std::make_unique<Win32HostDriver>(std::move(p));
}

const RegisterBackend kWin32(Backend{
    .name = "Win32",
    .platform = NativePlatform,
    .hostDriver = MakeHostDriver,
});

}  // namespace

}  // namespace pd::test
