// The Windows platform: the real calls of kernel32, user32 and psapi behind
// the ports.
//
// Everything runs on the one user-interface thread. Timers are SetTimer
// timers of a hidden message-only window of that thread; the event loop is
// the thread's message queue. Text crosses the "A" calls in the system's
// ANSI code page (CP_ACP) and the "W" calls in UTF-16, which is the
// program's own String (char16_t and wchar_t are both UTF-16 on Windows).
//
// This header names no Windows type, so the tests and the executable can
// include it without <windows.h>; handles are kept as the ports' integers.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace pd::win32 {

// ---- Processes ----------------------------------------------------------------

class Win32Processes final : public platform::Processes {
 public:
  // Toolhelp snapshot of all processes (the "A" entry; szExeFile converted
  // from the ANSI code page).
  void Walk(const Visitor& visit) override;
  // The snapshot tells nothing of what changed: a full walk every time.
  void WalkChanged(std::uint64_t& since, const Visitor& visit) override;
  // OpenProcess(0x410) + GetModuleFileNameExA; "" when either fails.
  String ExecutablePath(ProcessId id) override;
  // OpenProcess(0x1F0FFF, inheritable) + TerminateProcess(0). Never id 0 or
  // the program itself.
  bool Terminate(ProcessId id) override;
  // GetWindowThreadProcessId; 0 for a window that is not valid.
  ProcessId WindowOwner(WindowHandle window) override;
  ProcessId CurrentProcess() override;
  // The creation time of GetProcessTimes (OpenProcess with limited query
  // rights, granted for nearly every process); 0 when the process cannot be
  // opened or has exited (GetExitCodeProcess no longer STILL_ACTIVE).
  std::uint64_t StartTime(ProcessId id) override;
  // Read through one handle held for the whole call, so the id cannot pass
  // to another process meanwhile: the start time, the path, the name (the
  // last part of the image path, as the snapshot gives it; a walk only when
  // no path can be read), then the start time again: a process that ended
  // in between gives the empty identity.
  platform::ProcessIdentity Identify(ProcessId id) override;
  // Windows offers no cheap count of process creations: a new mark every
  // time, so that callers walk as they always did.
  std::uint64_t ChangeMark() override { return ++marks_; }

 private:
  std::uint64_t marks_ = 0;
};

// ---- Keyboard, pointer and the foreground ------------------------------------

class Win32Input final : public platform::Input {
 public:
  // Maps the system's ghost window of a hung application to the hung window;
  // returns 0 for any other window.
  using GhostResolver = WindowHandle (*)(WindowHandle ghost);

  // Looks up HungWindowFromGhostWindow in user32 (absent under some
  // systems: then no resolution takes place).
  Win32Input();
  // With a resolver of the caller's (tests); nullptr for none.
  explicit Win32Input(GhostResolver resolver) : resolver_(resolver) {}

  std::int16_t GetAsyncKeyState(int virtualKey) override;
  // The system keeps the key state to itself: a new mark every time.
  std::uint64_t KeyMark() override { return ++keyMark_; }
  // GetForegroundWindow, with a ghost window resolved to the hung window it
  // stands for. The desktop, the shell's desktop window and the taskbar count
  // as no window (0).
  WindowHandle ForegroundWindow() override;
  void SetForegroundWindow(WindowHandle window) override;
  Point CursorPos() override;
  // SendInput: VK 0xE8 down and up.
  void MaskWinRelease() override;

  [[nodiscard]] bool HasGhostResolver() const { return resolver_ != nullptr; }

 private:
  GhostResolver resolver_ = nullptr;
  std::uint64_t keyMark_ = 0;
};

// ---- Timers and the event loop ------------------------------------------------

class Win32Loop;

class Win32Timer final : public platform::Timer {
 public:
  Win32Timer(Tick tick, std::uintptr_t id);
  ~Win32Timer() override;

  void SetInterval(int ms) override;
  [[nodiscard]] int Interval() const override { return interval_; }
  void SetEnabled(bool enabled) override;
  [[nodiscard]] bool Enabled() const override { return enabled_; }

 private:
  friend class Win32Loop;
  // Starts, restarts or stops the system timer after a change.
  void Apply();

  std::uintptr_t id_;
  int interval_ = 0;
  bool enabled_ = false;
  bool scheduled_ = false;
};

class Win32Loop final : public platform::EventLoop {
 public:
  Win32Loop() = default;
  ~Win32Loop() override;
  Win32Loop(const Win32Loop&) = delete;
  Win32Loop& operator=(const Win32Loop&) = delete;

  std::unique_ptr<platform::Timer> CreateTimer(platform::Timer::Tick tick) override;
  // Dispatches the messages pending now (PeekMessage with PM_REMOVE) and
  // returns; a WM_QUIT met on the way is left for Run.
  void DoEvents() override;
  // GetMessage loop until Quit (PostQuitMessage).
  void Run() override;
  void Quit() override;
  // A nested GetMessage loop; ended() is checked before each wait, that is
  // after each dispatched message. A WM_QUIT met inside is posted again
  // (PostQuitMessage) so that the loops outside end too.
  bool RunModal(const std::function<bool()>& ended) override;
  void Sleep(int ms) override;
  std::uint64_t TickCount() override;
  // Heard on a hidden top-level window of the loop (never shown; a
  // message-only window hears no broadcast): WM_QUERYENDSESSION runs the
  // handler and lets the session end; WM_ENDSESSION runs it when the
  // session ends without that question; WM_CLOSE (another program asking
  // the program to end, as the task manager does) runs it too. The form's
  // own window reports the session's end to the form as well: a program
  // unloads once whichever comes first.
  void SetEndRequest(std::function<void()> handler) override;
  // The window that hears the session's end (0 without a handler).
  [[nodiscard]] WindowHandle SessionWindow() const { return reinterpret_cast<WindowHandle>(sessionWindow_); }

  // The thread's hidden message-only window that receives the WM_TIMER
  // messages of its timers; 0 when it could not be created.
  static WindowHandle TimerWindow();
  // Called by that window's procedure: fires the timer of the id, if it
  // still exists.
  static void DispatchTimer(std::uintptr_t id);

 private:
  friend struct SessionProcedure;
  void* sessionWindow_ = nullptr;  // HWND
  bool sessionAsked_ = false;      // WM_QUERYENDSESSION came and WM_ENDSESSION not yet
  std::function<void()> endRequest_;
};

// ---- Files ---------------------------------------------------------------------

// A new name for the temporary file of a save of target:
// "<target>.<pid>-<n>.tmp", n counting up in the process.
std::wstring TempNameFor(const std::wstring& target);

class Win32Files final : public platform::Files {
 public:
  std::optional<std::uint64_t> FileLength(StringView path) override;
  // GetFileAttributesW: true for any file that is not a directory.
  bool FileExists(StringView path) override;
  bool ReadFile(StringView path, std::string& bytes) override;
  // Temporary file in the target's folder, written, flushed and closed, then
  // MoveFileExW(REPLACE_EXISTING | WRITE_THROUGH) onto the target.
  bool WriteFileAtomic(StringView path, std::string_view bytes) override;
  bool RemoveFile(StringView path) override;
  // FindFirstFileW on "<target>.*.tmp"; removes the files (not folders or
  // links) named as TempNameFor names them, any process id and number.
  int RemoveLeftoverTemps(StringView path) override;
  // "Win32: WriteFileAtomic: MoveFileEx failed (5)".
  [[nodiscard]] String LastError() const override { return lastError_; }

 private:
  bool Fail(const char* what, unsigned long code);
  String lastError_;
};

// ---- Application and host ------------------------------------------------------

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

// The GDI graphics (the platform's graphics and CreateGraphics).
std::unique_ptr<platform::Graphics> CreateGdiGraphics();
// The system's registry (the platform's registry and CreateRegistry).
std::unique_ptr<platform::Registry> CreateWin32Registry();

// The ANSI code page (CP_ACP) both ways; a character it cannot hold becomes
// '?'. The platform's codec: these for the "ANSI" records and the files.
std::string ToAnsi(StringView s);
String FromAnsi(std::string_view bytes);
const text::Codec& AnsiCodec();

// A surface of GDI memory whose Present copies the frame to the window
// (BitBlt); nullptr when graphics is not the GDI one of CreateGdiGraphics.
std::unique_ptr<platform::Surface> CreateWindowSurface(platform::Graphics& graphics, WindowHandle window,
                                                       int width, int height);

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

// ---- Dialogs ---------------------------------------------------------------------

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

// ---- Resources -------------------------------------------------------------------

// The executable's ICON and BITMAP resources (resources/ProcessDrovak.rc),
// read once.
class Win32Resources final : public platform::Resources {
 public:
  explicit Win32Resources(platform::Graphics& graphics) : graphics_(graphics) {}
  std::shared_ptr<const platform::Picture> LoadPicture(int id, int size) override;

 private:
  platform::Graphics& graphics_;
  std::map<std::pair<int, int>, std::shared_ptr<const platform::Picture>> cache_;
};

// ---- Notification area -----------------------------------------------------------

// Shell_NotifyIconA. The record's fields go into the system's NOTIFYICONDATAA
// with the size of its same fields (488 bytes in a 32-bit program; 504 in a
// 64-bit one, whose handles are 64 bits: a 64-bit shell takes a 488-byte
// record for the oldest form and drops the balloon). The report windows are
// hidden top-level windows (a message-only window misses the broadcast
// TaskbarCreated); the callback message arrives there with the mouse
// message in lParam (the version-0 form). The shell is present while its
// desktop window ("Progman", "Program Manager") or its task bar window
// ("Shell_TrayWnd") exists: not every shell has the first (Wine has only
// the second). Each TaskbarCreated (the task bar came, again) raises the
// generation. Icons are made from the pictures with CreateIconIndirect.
class Win32Tray final : public platform::Tray {
 public:
  Win32Tray() = default;
  ~Win32Tray() override;
  Win32Tray(const Win32Tray&) = delete;
  Win32Tray& operator=(const Win32Tray&) = delete;

  std::uint32_t CreateReportWindow(Report report) override;
  void DestroyReportWindow(std::uint32_t window) override;
  std::uint32_t IconHandle(const std::shared_ptr<const platform::Picture>& picture) override;
  bool Notify(std::uint32_t message, const platform::NotifyIconRecord& record) override;
  // The task bar always exists: an icon is shown, or put back by the
  // restore timer when the shell restarts.
  bool IconShown(std::uint32_t /*window*/, std::uint32_t /*id*/) override { return true; }
  // Balloons belong to their icon here.
  bool BalloonWithoutIcon(const platform::NotifyIconRecord& /*record*/) override { return false; }
  bool ShellPresent() override;
  std::uint64_t ShellGeneration() override { return generation_; }
  // Windows says when a task bar came, never when the shell went: refused,
  // so the restore timer polls as it always did.
  int WatchShell(std::function<void()> /*changed*/) override { return 0; }
  void UnwatchShell(int /*watch*/) override {}

  // Called by the report windows' procedure.
  std::intptr_t OnMessage(WindowHandle window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);

 private:
  struct Icon {
    void* hicon = nullptr;
    std::shared_ptr<const platform::Picture> picture;
  };
  std::map<std::uint32_t, Report> reports_;
  std::map<std::uint32_t, std::uint32_t> callbackMessages_;  // window -> its record's callback message
  std::map<std::uint32_t, Icon> icons_;
  std::uint32_t nextIcon_ = 1;
  std::uint64_t generation_ = 1;
};

// ---- The whole platform -------------------------------------------------------

class Win32Platform final : public platform::Platform {
 public:
  platform::Processes& processes() override { return procs_; }
  platform::Input& input() override { return input_; }
  platform::EventLoop& loop() override { return loop_; }
  platform::AppInfo& app() override { return app_; }
  platform::Files& files() override { return files_; }
  platform::Host& host() override { return host_; }
  platform::Registry& registry() override { return *registry_; }
  platform::Graphics& graphics() override { return *graphics_; }
  platform::Dialogs& dialogs() override { return dialogs_; }
  platform::Resources& resources() override { return resources_; }
  Win32Tray& tray() override { return tray_; }

  const text::Codec& codec() override;
  std::unique_ptr<platform::Registry> CreateRegistry() override;
  std::unique_ptr<platform::Graphics> CreateGraphics() override;

 private:
  Win32Processes procs_;
  Win32Input input_;
  Win32Loop loop_;
  Win32App app_;
  Win32Files files_;
  std::unique_ptr<platform::Graphics> graphics_ = CreateGdiGraphics();
  Win32Host host_{*graphics_};
  std::unique_ptr<platform::Registry> registry_ = CreateRegistry();
  Win32Dialogs dialogs_;
  Win32Resources resources_{*graphics_};
  Win32Tray tray_;
};

}  // namespace pd::win32
