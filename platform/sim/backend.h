// The simulated platform: deterministic, headless, driven by tests.
//
// A virtual clock drives every timer; tests move it with Advance. Processes,
// windows, keys and the pointer are plain state the test sets up and reads
// back. Files are real files in a folder the test chooses, with faults the
// test can switch on.
#pragma once

#include <array>
#include <optional>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/platform.h"
#include "platform/registry_hive.h"
#include "platform/timer_queue.h"
#include "platform/soft/SoftGraphics.h"

namespace pd::sim {

using platform::ProcessEntry;

// ---- Clock, timers and the event loop ---------------------------------------

// The virtual clock starts at 0 and moves only by Advance, Sleep and the
// loops waiting for the next due timer (Run, RunModal); timers run on the
// shared timer queue.
class SimLoop final : public platform::EventLoop {
 public:
  SimLoop();

  std::unique_ptr<platform::Timer> CreateTimer(platform::Timer::Tick tick) override;
  // Runs the work posted before the pass (work a handler posts runs at the
  // next one), then fires each timer due now once.
  void DoEvents() override;
  // Delivers posted work and moves the clock from one due timer to the next
  // until Quit; returns when nothing could ever happen again (no work, no
  // running timer).
  void Run() override;
  void Quit() override { quit_ = true; }
  // Delivers what is posted, then lets the user act (SetUser), then moves
  // the clock to the next due timer, until ended() or Quit. A loop that
  // could never end (no work, no user, no timer, or an hour of simulated
  // time without an end) returns false.
  bool RunModal(const std::function<bool()>& ended) override;
  // Moves the clock without delivering anything.
  void Sleep(int ms) override;
  std::uint64_t TickCount() override { return now_; }

  // The user of modal loops: called when a modal loop has nothing posted,
  // with the depth of modal loops running; it may post work, deliver
  // events, or end the loop. Tests set it to answer menus and boxes.
  void SetUser(std::function<void(int depth)> user) { user_ = std::move(user); }
  [[nodiscard]] int ModalDepth() const { return modalDepth_; }

  // Stored; RequestEnd raises it.
  void SetEndRequest(std::function<void()> handler) override { endRequest_ = std::move(handler); }
  // The system asks the program to end (the session ends, a signal comes):
  // the handler runs at the next pass of the loop. Without one nothing
  // happens (a real system would end the program).
  void RequestEnd();
  static constexpr std::uint64_t kModalLimitMs = 3'600'000;

  // Moves the clock forward by ms, firing every due timer at its due time in
  // order (ties in creation order). A timer that fell behind (the thread
  // slept) fires once, as system timers do, and is rescheduled from then.
  void Advance(std::uint64_t ms);
  // Queues work for the next pass of the loop (a user event).
  void Post(std::function<void()> work);

  [[nodiscard]] std::uint64_t Now() const { return now_; }
  [[nodiscard]] int DoEventsCalls() const { return doEventsCalls_; }

 private:
  // Moves the clock to the next due timer (not back when it is overdue) and
  // fires it; false when no timer runs or it is due after limit.
  bool FireNext(std::uint64_t limit);

  std::uint64_t now_ = 0;
  platform::TimerQueue timers_;
  std::deque<std::function<void()>> posted_;
  bool quit_ = false;
  int doEventsCalls_ = 0;
  int modalDepth_ = 0;
  std::function<void(int)> user_;
  std::function<void()> endRequest_;
};

// ---- Processes and windows ------------------------------------------------------

struct SimProcessOptions {
  bool pathUnreadable = false;      // ExecutablePath fails (protected process)
  bool refusesTermination = false;  // Terminate fails
  ProcessId parent = 0;
  // A terminated process ends this long after the request on the virtual
  // clock (Terminate succeeds at once), as a process that takes a while to
  // unwind; its executable stays in use until then.
  std::uint64_t exitDelayMs = 0;
  // The process gets this id instead of the next one: the system reused the
  // id of a process that ended. 0: the next id.
  ProcessId id = 0;
};

class SimProcesses final : public platform::Processes {
 public:
  explicit SimProcesses(ProcessId self) : self_(self) {}

  void Walk(const Visitor& visit) override;
  // Exactly the processes started or given a new image (Exec) after the
  // call that set since.
  void WalkChanged(std::uint64_t& since, const Visitor& visit) override;
  String ExecutablePath(ProcessId id) override;
  bool Terminate(ProcessId id) override;
  ProcessId WindowOwner(WindowHandle window) override;
  ProcessId CurrentProcess() override { return self_; }
  // Increases with every start, never 0.
  std::uint64_t StartTime(ProcessId id) override;
  platform::ProcessIdentity Identify(ProcessId id) override;
  // The number of starts and execs.
  std::uint64_t ChangeMark() override;

  // The virtual clock for exitDelayMs (the platform's loop).
  void SetClock(std::function<std::uint64_t()> clock) { clock_ = std::move(clock); }
  // Whether a running process has its executable at path (the file is in
  // use: the simulated files refuse to remove it, as Windows does).
  [[nodiscard]] bool ImageInUse(StringView path) const;

  // Starts a process from a full path; its file name is the path's last
  // component (after '\\' or '/'). Ids are handed out in increasing order.
  ProcessId Start(StringView path, SimProcessOptions options = {});
  // The process replaces its executable with the one at path (same id,
  // same start).
  void Exec(ProcessId id, StringView path);
  // The same, noticed late, as a platform that checks old processes in
  // turn notices the exec of an old one: the change mark and walks of the
  // changed processes show it only kLateExecMs later on the virtual clock;
  // full walks and Identify see the new name at once.
  void ExecUnmarked(ProcessId id, StringView path);
  static constexpr std::uint64_t kLateExecMs = 900;
  // Ends a process as if it exited on its own; its windows go with it.
  void End(ProcessId id);
  // The process ends right after the next walk that lists it, so calls made
  // with what the walk returned find it gone.
  void EndAfterNextWalk(ProcessId id);
  // The process ends as the next walk begins: it is missing from that
  // snapshot although a query made just before still found it.
  void EndAtNextWalk(ProcessId id);
  [[nodiscard]] bool IsRunning(ProcessId id) const;
  // Ids whose termination was asked for, successful or not, in order.
  [[nodiscard]] const std::vector<ProcessId>& TerminateRequests() const { return terminateRequests_; }

  WindowHandle OpenWindow(ProcessId owner);
  void CloseWindow(WindowHandle window);
  [[nodiscard]] bool IsWindow(WindowHandle window) const;

  [[nodiscard]] std::size_t WalkCount() const { return walks_; }
  // Entries handed to visitors by walks of either kind.
  [[nodiscard]] std::size_t VisitCount() const { return visits_; }

 private:
  struct Proc {
    ProcessId id;
    String name;
    String path;
    SimProcessOptions options;
    bool endAfterWalk = false;
    bool endAtWalk = false;
    std::uint64_t started = 0;
    std::uint64_t changed = 0;           // changes_ at its start or latest exec
    std::optional<std::uint64_t> noticeAt;  // an exec the mark shows from then on
    std::optional<std::uint64_t> endAt;  // terminated with an exit delay
  };
  Proc* Find(ProcessId id);
  // Ends the terminated processes whose exit delay has passed.
  void Reap();
  // Marks the execs whose notice is due as changes.
  void NoticeExecs();
  // Walk and WalkChanged: the processes changed after since (0: all).
  void WalkAfter(std::uint64_t since, const Visitor& visit);
  [[nodiscard]] bool Alive(const Proc& p) const { return !p.endAt || *p.endAt > Now(); }
  [[nodiscard]] std::uint64_t Now() const { return clock_ ? clock_() : 0; }

  ProcessId self_;
  ProcessId nextId_ = 4000;
  std::uint64_t starts_ = 0;
  std::uint64_t changes_ = 0;
  std::function<std::uint64_t()> clock_;
  std::vector<Proc> procs_;  // in start order, which is the walk order
  std::map<WindowHandle, ProcessId> windows_;
  WindowHandle nextWindow_ = 0x10010;
  std::vector<ProcessId> terminateRequests_;
  std::size_t dying_ = 0;  // processes with an endAt: Reap has work only then
  std::size_t walks_ = 0;
  std::size_t visits_ = 0;
};

// ---- Keyboard, pointer and the foreground -------------------------------------

class SimInput final : public platform::Input {
 public:
  explicit SimInput(SimProcesses& procs) : procs_(procs) {}

  std::int16_t GetAsyncKeyState(int virtualKey) override;
  // Moves with every KeyDown, KeyUp, Tap and ReleaseAll.
  std::uint64_t KeyMark() override { return keyMark_; }
  WindowHandle ForegroundWindow() override;
  void SetForegroundWindow(WindowHandle window) override;
  Point CursorPos() override { return cursor_; }
  // Counted; the mask's own keys change no key state.
  void MaskWinRelease() override { ++winMasks_; }
  [[nodiscard]] int WinMasks() const { return winMasks_; }

  // The user presses / releases a key or mouse button (virtual-key code).
  void KeyDown(int virtualKey);
  void KeyUp(int virtualKey);
  // Presses and releases at once, between two queries.
  void Tap(int virtualKey);
  void ReleaseAll();
  void MoveCursor(Point p) { cursor_ = p; }
  [[nodiscard]] int QueryCount() const { return queries_; }

 private:
  struct Key {
    bool down = false;
    bool pressedSince = false;
  };
  SimProcesses& procs_;
  std::array<Key, 256> keys_{};
  WindowHandle foreground_ = 0;
  Point cursor_;
  int queries_ = 0;
  int winMasks_ = 0;
  std::uint64_t keyMark_ = 0;
};

// ---- Files ---------------------------------------------------------------------

class SimFiles final : public platform::Files {
 public:
  std::optional<std::uint64_t> FileLength(StringView path) override;
  bool FileExists(StringView path) override;
  bool ReadFile(StringView path, std::string& bytes) override;
  bool WriteFileAtomic(StringView path, std::string_view bytes) override;
  bool RemoveFile(StringView path) override;
  // A save of "Blocks.txt" writes "Blocks.txt.tmp~" first: that file, when it
  // is a regular file, is the only one removed.
  int RemoveLeftoverTemps(StringView path) override;
  [[nodiscard]] String LastError() const override { return lastError_; }

  // Faults: the next writes fail before the old file is touched (a folder
  // that refuses new files, a full disk).
  void FailWrites(bool fail) { failWrites_ = fail; }
  // The next writes stop once the temporary file is written, as a crash
  // would stop them: the temporary file stays, the old file is untouched,
  // and the write returns false.
  void InterruptWrites(bool interrupt) { interruptWrites_ = interrupt; }
  // Files RemoveFile refuses while inUse says so (a running executable).
  void SetInUse(std::function<bool(StringView)> inUse) { inUse_ = std::move(inUse); }
  // Files that exist but ReadFile cannot read while unreadable says so (no
  // permission, locked by another program).
  void SetUnreadable(std::function<bool(StringView)> unreadable) { unreadable_ = std::move(unreadable); }
  [[nodiscard]] int Writes() const { return writes_; }

 private:
  bool Fail(std::string_view what);
  bool failWrites_ = false;
  bool interruptWrites_ = false;
  std::function<bool(StringView)> inUse_;
  std::function<bool(StringView)> unreadable_;
  int writes_ = 0;
  String lastError_;
};

// ---- Application and host ------------------------------------------------------

class SimApp final : public platform::AppInfo {
 public:
  // The program as if installed in folder on Windows: ProcessDrovak.exe,
  // paths joined with '/' so that the folder can be a real one of the test.
  // The single-instance token is this object's: the first claim takes it,
  // and a later claim while its holder listens for show requests (a second
  // start of the program in the same simulation) is a previous instance
  // that asks the holder to show its window. A holder that stops listening
  // (SetShowRequest(nullptr): the program ended) gives the token back.
  SimApp(String folder, SimLoop& loop) : folder_(std::move(folder)), loop_(loop) {}
  String Folder() override;
  String ExeName() override;
  String ExeFileName() override;
  String OwnPath() override;
  String DataFolder() override;
  char16_t PathSeparator() override;
  bool PrevInstance() override;
  void SetShowRequest(std::function<void()> handler) override;

  // An instance outside the simulation holds the token: every claim is a
  // previous instance (its show requests are only counted).
  void SetOtherInstanceRunning(bool running) { otherInstance_ = running; }
  // A later start asks the holder to show its window: its handler runs at
  // the next pass of the loop.
  void RequestShow();
  // Show requests the claims that found a previous instance sent.
  [[nodiscard]] int ShowRequestsSent() const { return showRequestsSent_; }

 private:
  String folder_;
  SimLoop& loop_;
  bool otherInstance_ = false;
  bool held_ = false;
  int showRequestsSent_ = 0;
  std::function<void()> showRequest_;
};

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

// ---- Dialogs ---------------------------------------------------------------------

// Answers the test queued, in order; with none queued, std::nullopt (the
// control host then shows its own menu, message box or save dialog).
// Folders are the real ones of the test's file system ('/' between names).
class SimDialogs final : public platform::Dialogs {
 public:
  std::optional<int> PopupMenu(WindowHandle owner, std::span<const platform::MenuItem> items, Point screen) override;
  std::optional<int> MessageBox(WindowHandle owner, StringView text, StringView title, unsigned flags) override;
  // Records the record as it came; a queued path is chosen (written into
  // the record; 0 when it does not fit), a queued cancel answers 0.
  std::optional<std::int32_t> GetSaveFileName(platform::OpenFileName& record) override;
  std::optional<std::vector<platform::FolderEntry>> ListFolder(StringView folder) override;
  String HomeFolder() override { return home_; }
  String DocumentsFolder() override { return documents_; }
  // Every folder, except those the test made read-only.
  bool MaySaveIn(StringView folder) override;

  void QueueMenuAnswer(int id) { menuAnswers_.push_back(id); }
  void QueueMessageBoxAnswer(int id) { boxAnswers_.push_back(id); }
  // The user of the next save dialog chooses path, or cancels (nullopt).
  void QueueSaveFileAnswer(std::optional<String> path) { saveAnswers_.push_back(std::move(path)); }
  // Every save dialog asked for, as the record came in.
  [[nodiscard]] const std::vector<platform::OpenFileName>& SaveRequests() const { return saveRequests_; }
  void SetHomeFolder(String home) { home_ = std::move(home); }
  void SetDocumentsFolder(String documents) { documents_ = std::move(documents); }
  // Saving in folder fails from now on (MaySaveIn answers false).
  void SetReadOnlyFolder(String folder) { readOnly_.push_back(std::move(folder)); }

  struct Shown {
    String text;  // the message, or the menu's captions joined by '|'
    String title;
    unsigned flags = 0;
    Point at;
  };
  // Every menu and message box asked for, answered here or not.
  [[nodiscard]] const std::vector<Shown>& History() const { return history_; }

 private:
  std::deque<int> menuAnswers_;
  std::deque<int> boxAnswers_;
  std::vector<Shown> history_;
  std::deque<std::optional<String>> saveAnswers_;
  std::vector<platform::OpenFileName> saveRequests_;
  String home_;
  String documents_;
  std::vector<String> readOnly_;
};

// ---- Resources -------------------------------------------------------------------

// The pictures embedded in the program (resources/), decoded once.
class SimResources final : public platform::Resources {
 public:
  explicit SimResources(soft::SoftGraphics& graphics) : graphics_(graphics) {}
  std::shared_ptr<const platform::Picture> LoadPicture(int id, int size) override;

 private:
  soft::SoftGraphics& graphics_;
  std::map<std::pair<int, int>, std::shared_ptr<const platform::Picture>> cache_;
};

// ---- Registry -------------------------------------------------------------------

// An in-memory hive, empty at the start. Tests read it back through the port
// or Hive(), count open handles, and protect keys to stand for keys the user
// may read but not change (access denied to KEY_ALL_ACCESS).
class SimRegistry final : public platform::HiveRegistry {
 public:
  // The key and everything under it may be read but not opened for writing,
  // created, changed or deleted. subKey as in OpenKey.
  void ProtectKey(platform::RegRoot root, std::string_view subKey);

 protected:
  bool MayWrite(platform::RegRoot root, const platform::RegistryHive::Path& path) override;

 private:
  std::vector<std::pair<platform::RegRoot, platform::RegistryHive::Path>> protected_;
};

// ---- Notification area -----------------------------------------------------------

// The shell's notification area as the test sees it: every call with its
// record, the icons shown now, and the balloons shown and withdrawn. The
// shell starts present; the test takes it away and brings it back (a
// restart), and acts as the user on an icon (Report, Click).
class SimTray final : public platform::Tray {
 public:
  std::uint32_t CreateReportWindow(Report report) override;
  void DestroyReportWindow(std::uint32_t window) override;
  std::uint32_t IconHandle(const std::shared_ptr<const platform::Picture>& picture) override;
  // Without a shell a call fails and changes nothing.
  bool Notify(std::uint32_t message, const platform::NotifyIconRecord& record) override;
  // An icon in the shell now.
  bool IconShown(std::uint32_t window, std::uint32_t id) override { return Icon(window, id) != nullptr; }
  // Refused (as on Windows) unless the test allowed it (as on Linux): then
  // recorded as a balloon with `alone` set.
  bool BalloonWithoutIcon(const platform::NotifyIconRecord& record) override;
  bool ShellPresent() override { return present_; }
  std::uint64_t ShellGeneration() override { return generation_; }
  int WatchShell(std::function<void()> changed) override;
  void UnwatchShell(int watch) override { watchers_.erase(watch); }

  struct Call {
    std::uint32_t message = 0;
    platform::NotifyIconRecord record;
    bool made = false;  // the shell was there
  };
  struct Balloon {
    String title;  // szInfoTitle and szInfo read back from the ANSI code page
    String text;
    std::uint32_t flags = 0;
    std::uint32_t window = 0;
    bool withdrawn = false;  // by a later record without one, or the icon's removal
    bool alone = false;      // shown without an icon (BalloonWithoutIcon)
  };
  [[nodiscard]] const std::vector<Call>& Calls() const { return calls_; }
  // The record of an icon shown now (by window and id), or nullptr.
  [[nodiscard]] const platform::NotifyIconRecord* Icon(std::uint32_t window, std::uint32_t id = 1) const;
  [[nodiscard]] std::size_t IconCount() const { return icons_.size(); }
  // The picture of an icon handle; nullptr for 0 or an unknown one.
  [[nodiscard]] std::shared_ptr<const platform::Picture> PictureOf(std::uint32_t handle) const;
  // Every balloon shown, in order; the last one not withdrawn is on screen.
  [[nodiscard]] const std::vector<Balloon>& Balloons() const { return balloons_; }
  [[nodiscard]] const Balloon* ShownBalloon() const;

  // The shell ends (every icon and balloon goes with it) / a new one starts;
  // watchers hear of both, unless the shell is one that cannot be watched
  // (as on Windows, where components poll).
  void StopShell();
  void StartShell();
  void SetShellWatchable(bool watchable) { watchable_ = watchable; }
  // Whether balloons show without an icon (Linux); refused by default.
  void SetBalloonsWithoutIcon(bool shown) { balloonsWithoutIcon_ = shown; }
  // The user acts on the icons of a window: a report as the shell sends it,
  // and a click (down and up) of a button::.
  void Report(std::uint32_t window, std::uint32_t code, int buttons = 0);
  void Click(std::uint32_t window, int button);

 private:
  void Withdraw(std::uint32_t window);
  void NotifyWatchers();

  std::map<std::uint32_t, Tray::Report> windows_;
  std::uint32_t nextWindow_ = 0x20010;
  std::map<const platform::Picture*, std::pair<std::uint32_t, std::shared_ptr<const platform::Picture>>> pictures_;
  std::uint32_t nextIcon_ = 0x30001;
  std::map<std::pair<std::uint32_t, std::uint32_t>, platform::NotifyIconRecord> icons_;
  std::vector<Call> calls_;
  std::vector<Balloon> balloons_;
  bool present_ = true;
  std::uint64_t generation_ = 1;
  bool watchable_ = true;
  bool balloonsWithoutIcon_ = false;
  std::map<int, std::function<void()>> watchers_;
  int nextWatch_ = 1;
};

// ---- The whole platform -------------------------------------------------------

class SimPlatform final : public platform::Platform {
 public:
  static constexpr ProcessId kSelfId = 1000;

  // folder stands for the application folder; it must exist.
  explicit SimPlatform(String folder = u".");

  // The ports, with the simulation's own types (one name for each).
  SimProcesses& processes() override { return procs_; }
  SimInput& input() override { return input_; }
  SimLoop& loop() override { return loop_; }
  SimApp& app() override { return app_; }
  SimFiles& files() override { return files_; }
  SimHost& host() override { return host_; }
  SimRegistry& registry() override { return registry_; }
  soft::SoftGraphics& graphics() override { return graphics_; }
  SimDialogs& dialogs() override { return dialogs_; }
  SimResources& resources() override { return resources_; }
  SimTray& tray() override { return tray_; }

  const text::Codec& codec() override;
  std::unique_ptr<platform::Registry> CreateRegistry() override;
  std::unique_ptr<platform::Graphics> CreateGraphics() override;

  // ---- The user, as a driver: each call moves the pointer, sets the
  // key-state bits and delivers the event together, so that what the
  // program polls and what it is told never disagree. Positions are client
  // pixels of window.
  void MouseMove(WindowHandle window, Point pos, int shift = 0);
  void MouseDown(WindowHandle window, Point pos, int button = platform::button::kLeft, int shift = 0);
  void MouseUp(WindowHandle window, Point pos, int button = platform::button::kLeft, int shift = 0);
  // The wheel turned by delta 120ths of a notch (positive: away from the
  // user) with the pointer at pos.
  void MouseWheel(WindowHandle window, Point pos, int delta, int shift = 0);
  // Down and up at pos.
  void Click(WindowHandle window, Point pos, int button = platform::button::kLeft, int shift = 0);
  // A key goes down (with its typed text, if any) and comes up; the shift
  // bits are held around it.
  void KeyDown(WindowHandle window, int virtualKey, int shift = 0);
  void KeyUp(WindowHandle window, int virtualKey, int shift = 0);
  void PressKey(WindowHandle window, int virtualKey, int shift = 0);
  void Type(WindowHandle window, StringView text);

 private:
  SimProcesses procs_;
  SimInput input_;
  SimLoop loop_;
  SimApp app_;
  SimFiles files_;
  soft::SoftGraphics graphics_;
  SimHost host_;
  SimRegistry registry_;
  SimDialogs dialogs_;
  SimResources resources_{graphics_};
  SimTray tray_;
  int heldButtons_ = 0;
};

}  // namespace pd::sim
