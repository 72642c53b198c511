// The Linux backend: /proc for processes, POSIX for files, and one X
// connection (Xlib, XInput 2.2, X-Resource) for windows, keys and the
// event loop.
//
// The process, file, application and loop parts work without a display, so
// they can be built and tested apart from the X connection; only the whole
// X11Platform needs one. Failures the user never sees are still recorded,
// with messages that start with "X11: " (Files::LastError,
// XConnection::LastError).
#pragma once

#include <poll.h>

#include <array>
#include <ctime>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/soft/SoftGraphics.h"
#include "platform/timer_queue.h"

// Xlib's types, declared here so that includers do not get Xlib's macros
// (None, Bool, Status...).
struct _XDisplay;
union _XEvent;

namespace pd::x11 {

using Display = ::_XDisplay;
using XEvent = ::_XEvent;
using XWindow = unsigned long;  // Xlib's Window (an XID)
using XAtom = unsigned long;    // Xlib's Atom

// ---- The X connection ------------------------------------------------------------

// One connection to the X server, shared by the ports that need it. X
// errors never end the program: a process-wide handler records them (a
// window that vanished between two requests raises BadWindow), and
// requests that can fail report it through their status or an ErrorTrap.
class XConnection {
 public:
  // Opens the display named by $DISPLAY; nullptr with the reason when none
  // can be opened.
  static std::unique_ptr<XConnection> Open(std::string& error);
  ~XConnection();
  XConnection(const XConnection&) = delete;
  XConnection& operator=(const XConnection&) = delete;

  [[nodiscard]] Display* Dpy() const { return dpy_; }
  [[nodiscard]] XWindow Root() const { return root_; }
  [[nodiscard]] int Fd() const;
  // The atom of a name, interned once and cached.
  XAtom GetAtom(const char* name);

  // Listeners see every event the loop takes off the queue, in order of
  // registration. A listener may not add or remove listeners.
  using Listener = std::function<void(XEvent&)>;
  void AddListener(Listener listener) { listeners_.push_back(std::move(listener)); }
  // Reads what the server has sent and hands every queued event to the
  // listeners. Returns the number of events delivered.
  int DispatchPending();
  // Hands the events Xlib has already read to the listeners, without
  // reading the socket (no system call).
  int DispatchQueued();

  // Whether everything the server sent before the loop's latest wait ended
  // has been taken off the socket: true only while the loop runs the work
  // of a pass that follows such a wait (its timer ticks). State kept from
  // events (keys) needs no read of its own then.
  [[nodiscard]] bool Drained() const { return drained_; }
  void SetDrained(bool drained) { drained_ = drained; }

  // Whether the server has X-Resource 1.2 (client ids).
  [[nodiscard]] bool HasXRes() const { return hasXRes_; }

  // Whether the connection to the server is lost (the server ended or the
  // socket broke). Xlib's I/O error then ends nothing: its handlers only
  // record it, every later request on the connection does nothing, and the
  // loop reports the loss as the end of the session.
  [[nodiscard]] bool Lost() const { return lost_; }
  void MarkLost() { lost_ = true; }

  // Catches the errors of the one-way requests made during its life:
  // Failed() waits for the server and tells whether any of them failed.
  class ErrorTrap {
   public:
    explicit ErrorTrap(XConnection& x);
    bool Failed();

   private:
    XConnection& x_;
    unsigned long firstSerial_;
  };

  // The latest X error on this connection, as text ("X11: BadWindow
  // (request 20)"), or empty.
  [[nodiscard]] std::string LastError() const;
  // Number of X errors recorded on this connection.
  [[nodiscard]] unsigned long ErrorCount() const;

  // A 32-bit-format property of a window as numbers (CARDINAL, WINDOW,
  // ATOM) into out (empty when the property is missing or of another
  // type). False when the window does not exist.
  bool ReadLongs(XWindow w, XAtom property, XAtom type, std::vector<unsigned long>& out);

 private:
  explicit XConnection(Display* dpy);
  Display* dpy_;
  XWindow root_;
  bool hasXRes_ = false;
  bool drained_ = false;
  bool lost_ = false;
  std::map<std::string, XAtom, std::less<>> atoms_;
  std::vector<Listener> listeners_;
};

// ---- Processes -------------------------------------------------------------------

// Processes from /proc. A walk lists the numeric entries of the /proc
// folder and reads a process in full (stat, the exe link, argv, and for a
// script or a Windows program what they name) only when it has not seen
// that id before: entries are cached by id and start time, and the folder
// entry's inode number tells, without reading anything, that the id still
// names the same process. Entries of ended processes are dropped at the
// walk that misses them.
//
// A process can replace its executable (exec) at any age, and the kernel
// then sets its comm to the new file's base name: comm (with the exe link
// where comm is cut at 15 bytes) tells whether a cached entry still holds.
// A full walk checks every cached entry that way (one read of stat, which
// also tells a zombie) and reads again the ones that changed, so it never
// lists a stale name. ChangeMark and the changed walk check the entries
// in turn (one read of comm each), as many as the time since the latest
// checks calls for, so that every entry is checked within kRecheckCycleMs,
// and each mark at least its share, so that every entry is checked within
// kRecheckMarks marks: with the block timer's 10 ms tick an exec by a
// process of any age moves the mark within a second. A young process
// (started less than a second ago, the fork-then-exec window) is checked
// at every mark and every walk.
//
// Names as a user knows them (procfs::NameImage): a Windows program under
// Wine or Proton by its .exe, a script started through its #! line by the
// script, anything else by its executable file; where the exe link is
// refused (another user's process) by comm, or by the base name of argv[0]
// when comm is cut at 15 characters and argv[0] continues it. Kernel
// threads (no exe link, and the kernel-thread flag or kthreadd as the
// parent) and zombies (ended, not yet reaped) are never listed: their
// entries are kept hidden, so that they are not read again.
//
// What a walk looks at for a known id lies in a small table sorted by id,
// scanned beside the folder listing; the name, comm, parent and thread
// count lie apart in small records, copied into one entry as the visitor
// is called, and the paths apart again, touched only for ids read again.
//
// Listing /proc costs the kernel a visit of every process, so a walk skips
// it when loadavg tells that tasks only started since the latest walk: the
// ids handed out since (its last field, at most kMaxProbes) are looked up
// one by one (status; a thread's id is counted but not listed), and the
// count of tasks (its fourth field) must be the earlier count plus the
// tasks found alive, so that no task ended. Anything else (an end, ids that
// wrapped, a failed read, no loadavg, a nested pid namespace, whose tasks
// loadavg does not count apart) lists the folder, as does a walk so long
// after the latest one that the ids could have gone all the way round
// (pid_max at 5,000 starts a second) and the first walk kFullListingMs
// after the latest listing.
class X11Processes final : public platform::Processes {
 public:
  // procRoot is the /proc folder (tests point it at a fake tree); x is the
  // X connection for WindowOwner, or nullptr without a display.
  explicit X11Processes(std::string procRoot = "/proc", XConnection* x = nullptr);
  ~X11Processes() override;
  X11Processes(const X11Processes&) = delete;
  X11Processes& operator=(const X11Processes&) = delete;

  void Walk(const Visitor& visit) override;
  // Precise where it can be cheap: when the ids handed out since the latest
  // walk are few and recent (loadavg), it looks up just those, checks the
  // processes that were young at that walk and the next old entries in
  // turn (execs), and visits what it and any walk or mark in between found
  // new or changed; the table of old entries is otherwise left alone, ended
  // ones included (the next full walk drops them). Otherwise it walks as
  // Walk does and visits what changed. Changes are kept in a log of
  // kMaxLog entries; a since older than the log visits all.
  void WalkChanged(std::uint64_t& since, const Visitor& visit) override;
  // Read at the call, as Identify reads it: the exe link's target, or the
  // script's or the Windows program's file ("" when refused, absent or a
  // zombie). Another process's deleted file keeps the " (deleted)" suffix,
  // so no other file is taken for it; the program's own path (the id
  // procRoot's "self" names) drops it: an upgrade replaced the file it runs
  // from, and that file is still the program.
  String ExecutablePath(ProcessId id) override;
  // SIGKILL. Refuses ids <= 1 (kill(0) signals the own process group,
  // kill(-1) every process), ids beyond the range of a pid, and the
  // program itself.
  bool Terminate(ProcessId id) override;
  // From X-Resource (client ids), else _NET_WM_PID when WM_CLIENT_MACHINE
  // names this host (a window shown from another machine names a process
  // id there); 0 for None, a window that does not exist, or without a
  // display.
  ProcessId WindowOwner(WindowHandle window) override;
  ProcessId CurrentProcess() override;
  // Field 22 of /proc/<id>/stat (clock ticks after boot) plus 1, read afresh
  // every time; 0 for a zombie (state Z with one thread, or X) or a
  // process that is gone. A process whose first thread ended while others
  // run shows Z with more threads: it runs (walks list it, by comm).
  std::uint64_t StartTime(ProcessId id) override;
  // Read from /proc at the call, never from the walk's cache; the empty
  // identity for a kernel thread too (never listed).
  platform::ProcessIdentity Identify(ProcessId id) override;
  // The id the kernel handed out last (the fifth field of loadavg: it moves
  // with every fork), with a count of the execs seen: those found by any
  // walk, and those found here, where the young processes of the latest
  // walk are checked at every call and the old ones in turn (see above;
  // the changed walk checks them too, as time calls for).
  // A new mark every time where loadavg cannot be read, and while ids the
  // latest walk looked up were missing (a task may show in /proc a moment
  // after its id is handed out: they are looked up again).
  std::uint64_t ChangeMark() override;

  // Number of full per-process reads so far, and of the cheap checks of a
  // cached entry (for tests and the benchmarks).
  [[nodiscard]] std::uint64_t Reads() const { return reads_; }
  [[nodiscard]] std::uint64_t Checks() const { return checks_; }
  [[nodiscard]] std::size_t CachedCount() const { return slots_.size(); }
  // Number of walks that listed the /proc folder so far.
  [[nodiscard]] std::uint64_t Listings() const { return listings_; }
  // Number of descriptors of /proc files kept open for the cached entries,
  // and the most this instance may keep (set at its start from
  // RLIMIT_NOFILE, which it raises towards the hard limit).
  [[nodiscard]] std::size_t KeptFiles() const { return keptFiles_; }
  [[nodiscard]] std::size_t MaxKeptFiles() const { return maxKeptFiles_; }

  static constexpr std::int64_t kYoungMs = 1000;
  // Every cached entry is checked within this many marks or changed walks,
  // and within this time, whichever comes first: below a second at the
  // block timer's 10 ms tick.
  static constexpr std::size_t kRecheckMarks = 90;
  static constexpr std::int64_t kRecheckCycleMs = 900;
  // Ids handed out since the latest walk that a walk looks up one by one
  // instead of listing the folder.
  static constexpr std::uint32_t kMaxProbes = 64;
  static constexpr std::int64_t kFullListingMs = 30'000;
  static constexpr std::size_t kMaxLog = 512;

 private:
  // One per cached id, sorted by id: all that a walk looks at for a process
  // it has seen before, small and side by side so that a walk after a quiet
  // spell touches little memory.
  struct Slot {
    ProcessId id = 0;
    std::uint32_t item = 0;     // where its entry and paths are kept
    std::uint64_t inode = 0;    // of its /proc folder
    std::int64_t startMs = 0;   // boot-clock time of the start
    std::uint64_t walk = 0;     // latest walk that listed it
    bool hidden = false;        // a kernel thread or a zombie: never listed
  };
  // What the visitor gets besides the id, small: the entry itself is
  // filled in one buffer per walk as the visitor is called. comm is kept
  // to tell an exec.
  struct Brief {
    static constexpr std::size_t kShortName = 26;
    std::uint32_t parent = 0;
    std::uint32_t threads = 0;
    std::uint16_t size = 0;  // of the name; a longer one is in Paths::name
    std::array<char16_t, kShortName> name{};
    std::array<char, 16> comm{};  // NUL-terminated
    bool derived = false;         // the name is not comm
  };
  struct Paths {
    String path;
    std::string link;  // the exe link as read ("" when refused or absent)
    String name;       // a name longer than Brief::kShortName
  };
  // An open descriptor, closed with its owner.
  class Fd {
   public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd();
    [[nodiscard]] int Get() const { return fd_; }
    [[nodiscard]] bool Open() const { return fd_ >= 0; }

   private:
    int fd_ = -1;
  };
  // A cached process's comm and statm, kept open from its read on: a check
  // is one pread each, with no path to look up. Such a descriptor names the
  // process, not its id: once it ends, reads fail (ESRCH), whoever takes the
  // id then. statm reads all zeros once it has no memory (a zombie).
  struct Kept {
    Fd comm;
    Fd statm;
    [[nodiscard]] std::size_t Count() const {
      return static_cast<std::size_t>(comm.Open()) + static_cast<std::size_t>(statm.Open());
    }
  };
  // Briefs and paths by item, in blocks.
  static constexpr std::size_t kBlock = 64;
  struct Block {
    std::array<Brief, kBlock> briefs;
    std::array<Paths, kBlock> paths;
    std::array<Kept, kBlock> kept;
  };
  // A read of one process.
  struct Fresh {
    std::uint32_t parent = 0;
    std::uint32_t threads = 0;
    String name;
    Paths paths;
    Kept kept;
    std::string comm;
    std::int64_t startMs = 0;
    std::uint64_t startTicks = 0;
  };
  // What one walk hands to its visitor (a walk inside the visitor has its
  // own): ids and items, and the entry filled for each call.
  struct Visit {
    std::vector<std::pair<ProcessId, std::uint32_t>> items;
    platform::ProcessEntry entry;
  };
  enum class Seen { kGone, kHidden, kLive };
  // Reads one process in full: kGone when it cannot be read (ended),
  // kHidden for a zombie or a kernel thread. With keep, its comm and statm
  // are opened first, into f.kept, while the cap allows.
  Seen Read(int dir, ProcessId id, Fresh& f, bool keep = false);
  // The outcome of a cheap check of a cached entry.
  enum class Check { kSame, kChanged, kGone };
  // Compares comm (through the kept descriptor where there is one) and,
  // where the name is not comm (Brief::derived) or comm is cut at 15
  // bytes, the exe link with what the entry was read with; withStat also
  // tells a zombie (statm, else stat), a change.
  Check Same(int dir, const Slot& s, bool withStat);
  // An item back to free_, its descriptors closed.
  void Release(std::uint32_t item);
  // Checks the next entries in turn, as many as the time since the latest
  // checks calls for (all in kRecheckCycleMs) and, for a mark, at least
  // its share (all in kRecheckMarks); those that changed go to changed_
  // and count as execs.
  void RecheckInTurn(int dir, std::int64_t now, bool mark);
  // The /proc folder, kept open; -1 when it cannot be opened.
  int Dir();
  // The slot of an id, nullptr when it is not cached.
  [[nodiscard]] const Slot* Find(ProcessId id) const;
  Slot* Find(ProcessId id);
  std::uint32_t Allocate();
  void Store(std::uint32_t item, Fresh&& f);
  [[nodiscard]] const Brief& BriefOf(std::uint32_t item) const { return blocks_[item / kBlock]->briefs[item % kBlock]; }
  [[nodiscard]] const Paths& PathsOf(std::uint32_t item) const { return blocks_[item / kBlock]->paths[item % kBlock]; }
  // One walk's reads: the walk's number and times, and whether the cache
  // still holds exactly what runs (no read of a listed id failed).
  struct Pass {
    std::uint64_t walk = 0;
    std::int64_t now = 0;
    std::int64_t youngAfter = 0;  // a later start is young
    bool exact = true;
    bool log = true;  // changes are logged (not at the first walk)
  };
  // Checks a cached entry a full walk lists, reading it again when it
  // changed; false when it is gone.
  bool Validate(int dir, Slot& s, Pass& pass);
  // Reads the ids the folder lists that are new or reused, and checks the
  // others; new ones go to added_.
  void ListFolder(int dir, Pass& pass);
  // The same for the cached ids and the new ones in probed_, without a
  // listing.
  void ReadProbed(int dir, Pass& pass);
  // Re-reads a cached id in place, logging a new image or start (a new
  // image of the same process counts as an exec for the mark); false when
  // it is gone.
  bool Reread(int dir, Slot& s, const Pass& pass);
  // Reads an id no entry holds into a new one (added_) and logs it; false
  // when it cannot be read (ended meanwhile).
  bool Add(int dir, ProcessId id, std::uint64_t inode, const Pass& pass);
  [[nodiscard]] StringView NameOf(std::uint32_t item) const;
  void Log(const Pass& pass, ProcessId id);
  // Folds the ids a walk saw for the first time into slots_ and, for the
  // outermost walk, drops the ids it did not list.
  void Update(std::uint64_t walk, bool outer);
  // loadavg's count of tasks and the last id handed out.
  struct Load {
    std::uint64_t tasks = 0;
    std::uint32_t last = 0;
  };
  // False when loadavg cannot be read.
  bool ReadLoad(Load& load);
  // Walk's reads: a listing, or the new ids when no task ended.
  void FullPass(int dir, const Load& load, Pass& pass, bool outer);
  // WalkChanged's reads: the ids handed out since the latest walk, the
  // young of that walk, the entries ChangeMark found changed and the next
  // ones in turn (dropping those that ended when it is the outermost
  // walk); false when a status cannot be parsed (nothing read then).
  bool LightPass(int dir, const Load& load, Pass& pass, bool outer);
  // Fills the walk's list with the ids logged after since, read again
  // where this walk did not read them; false when since is older than the
  // log (or newer than any answer).
  bool ListChanged(int dir, std::uint64_t since, Pass& pass, std::vector<std::pair<ProcessId, std::uint32_t>>& list);
  // Looks up the ids handed out after base_.last up to load.last: true when
  // the tasks found alive account for the change in the count of tasks,
  // with the ids of new processes not yet cached in ids.
  bool Probe(int dir, const Load& load, std::vector<std::pair<ProcessId, std::uint64_t>>& ids);
  // Looks up the ids after `after` up to last, and the ids of late_: the
  // processes among them (cached or not, with their folders' inodes) into
  // ids, the ids with no folder into late_; the number of tasks found, or
  // -1 when a status cannot be parsed.
  long ProbeIds(int dir, ProcessId after, ProcessId last, std::vector<std::pair<ProcessId, std::uint64_t>>& ids);

  std::string root_;
  XConnection* x_;
  int dir_ = -1;
  ProcessId self_ = 0;  // the id root_'s "self" names
  std::vector<Slot> slots_;
  std::vector<std::unique_ptr<Block>> blocks_;
  std::vector<std::uint32_t> free_;   // items not in use
  std::vector<Slot> added_;           // ids a walk saw for the first time
  std::vector<char> listing_;         // the folder as getdents64 gives it
  // What each walk (by depth) hands to its visitor.
  std::vector<std::unique_ptr<Visit>> visits_;
  std::vector<ProcessId> young_;    // young at the latest walk, until ChangeMark sees an exec
  std::vector<ProcessId> recent_;   // young at the latest walk
  std::vector<ProcessId> late_;     // looked up by the latest walk, no folder yet
  std::vector<ProcessId> changed_;  // found changed by a check, not yet read again
  // Changes found by any walk: (number, id); since names the last number
  // its caller has seen. Numbers up to floor_ are no longer kept.
  std::vector<std::pair<std::uint64_t, ProcessId>> log_;
  std::uint64_t logged_ = 0;
  std::uint64_t floor_ = 0;
  // The last id handed out when the latest walk read loadavg, and when.
  std::optional<std::uint32_t> seenLast_;
  std::int64_t seenMs_ = 0;
  ProcessId recheckFrom_ = 0;  // the next entry checked in turn
  std::int64_t recheckMs_ = 0;  // when the latest entries were checked in turn
  int walkDepth_ = 0;          // a visitor may walk again
  std::uint64_t walks_ = 0;
  std::uint64_t reads_ = 0;
  std::uint64_t checks_ = 0;
  std::uint64_t listings_ = 0;
  std::int64_t listedMs_ = 0;  // when the folder was listed last
  std::int64_t wrapMs_ = 0;    // the shortest time in which the ids can wrap around
  // loadavg as read by the latest walk, when what it listed is exactly
  // what the cache holds.
  std::optional<Load> base_;
  std::int64_t baseMs_ = 0;
  std::vector<std::pair<ProcessId, std::uint64_t>> probed_;  // new ids and inodes
  std::uint64_t imageChanges_ = 0;
  std::uint64_t unreadableMarks_ = 0;
  int loadavg_ = -1;  // kept open: one pread per mark
  long clockTicks_;
  std::size_t keptFiles_ = 0;
  std::size_t maxKeptFiles_ = 0;
};

// ---- Keys, pointer and the foreground ----------------------------------------------

// The key-state word from XInput 2.2 raw events selected on the root window
// (all master devices): a down bit per X key code and per mouse button, and
// a pressed-since latch per virtual-key code, cleared by the query of that
// code. A query inside a timer tick of the loop reads nothing: the loop has
// just taken every event off the socket. Elsewhere a query takes the raw
// events off the socket first. The down bits are read again from the server
// (XQueryKeymap, XQueryPointer) at start, when the keyboard mapping or the
// devices change, and, while a key or button is taken for held, at most
// once a second, so that a release missed (a device unplugged mid-press)
// does not leave it held; an idle poll never waits for the server.
// Virtual-key codes map to X key codes through their keysyms, rebuilt when
// the keyboard mapping changes.
class X11Input final : public platform::Input {
 public:
  explicit X11Input(XConnection& x);

  std::int16_t GetAsyncKeyState(int virtualKey) override;
  // Counts the raw key and button events, mapping changes and resyncs;
  // a new mark every time without XInput (every query asks the server).
  std::uint64_t KeyMark() override;
  // _NET_ACTIVE_WINDOW of the root; 0 for None and for desktop and dock
  // windows.
  WindowHandle ForegroundWindow() override;
  void SetForegroundWindow(WindowHandle window) override;
  Point CursorPos() override;
  // XTEST: a key code with no symbol pressed and released (nothing when the
  // server lacks XTEST or every key code has a symbol).
  void MaskWinRelease() override;

  // The X key codes a virtual-key code stands for (empty when unmapped).
  [[nodiscard]] std::vector<int> KeyCodesOf(int virtualKey) const;
  [[nodiscard]] bool HasRawEvents() const { return xiOpcode_ >= 0; }

  static constexpr std::int64_t kHeldResyncMs = 1000;

 private:
  void BuildKeyMap();
  void OnEvent(XEvent& ev);
  void DrainRaw();
  void Resync();
  void Press(int vkFromButton, int keycode);
  [[nodiscard]] bool IsDown(int virtualKey) const;
  // Whether any key or button is taken for held (kept up to date by the
  // events and the resync).
  [[nodiscard]] bool AnyDown() const { return anyDown_; }
  void UpdateAnyDown();

  XConnection& x_;
  int xiOpcode_ = -1;
  std::array<std::vector<int>, 256> keycodes_{};    // vk -> X key codes
  std::array<std::vector<int>, 256> vksOfCode_{};   // X key code -> vks
  std::array<bool, 256> codeDown_{};                // by X key code
  std::array<bool, 10> buttonDown_{};               // by X button 1-9
  std::array<bool, 256> latch_{};                   // by vk
  bool anyDown_ = false;
  int maskCode_ = -1;  // a key code without a symbol; -1 not looked for yet, 0 none
  std::int64_t lastResyncMs_ = -1'000'000;
  std::uint64_t keyMark_ = 0;
};

// ---- Timers and the event loop ---------------------------------------------------

// A source of events the loop serves besides the X connection (the D-Bus
// connection of the tray): before each wait it adds the descriptors it
// waits for (fd, events) and says whether it holds work already (the loop
// then does not sleep); after the wait it gets what the wait reported for
// them (revents 0 when nothing happened) and does its work. DoEvents serves
// it too, without waiting.
class LoopSource {
 public:
  struct Fd {
    int fd = -1;
    short events = 0;
    short revents = 0;
  };
  virtual ~LoopSource() = default;
  // Appends the descriptors to wait on; true when there is work already.
  // A source whose descriptors may be other files than before (a watch
  // removed and another added, even with the same number) says so with
  // X11Loop::FdsChanged before the next wait.
  virtual bool Prepare(std::vector<Fd>& fds) = 0;
  virtual void Dispatch(const std::vector<Fd>& fds) = 0;
};

// Timers on CLOCK_MONOTONIC (the shared timer queue); the loop waits in
// epoll on the X connection (when there is one) and the sources' fds, with
// the timeout of the nearest due timer.
class X11Loop final : public platform::EventLoop {
 public:
  // x may be nullptr: then the loop runs timers only.
  explicit X11Loop(XConnection* x = nullptr);
  ~X11Loop() override;
  X11Loop(const X11Loop&) = delete;
  X11Loop& operator=(const X11Loop&) = delete;

  std::unique_ptr<platform::Timer> CreateTimer(platform::Timer::Tick tick) override;
  // Drains the pending X events, then fires every timer already due once.
  void DoEvents() override;
  // Until Quit. Without a display and without a running timer nothing can
  // ever happen, and Run returns.
  void Run() override;
  void Quit() override { quit_ = true; }
  // As Run, until ended() (checked after the X events of a pass and after
  // each tick); without a display and a running timer it returns false.
  bool RunModal(const std::function<bool()>& ended) override;
  void Sleep(int ms) override;
  std::uint64_t TickCount() override;
  // While a handler is set, SIGTERM, SIGHUP and SIGINT are blocked in the
  // calling thread (threads started later inherit that) and read from a
  // signalfd the loop waits on: each signal read runs the handler once. The
  // loss of the X connection runs it once, and the loop waits on that
  // connection no more. Clearing the handler drops the signals still
  // pending and restores the signal mask; a lost connection then ends Run.
  void SetEndRequest(std::function<void()> handler) override;

  static std::int64_t NowNs();

  // The source stays registered until removed; it must outlive that.
  void AddSource(LoopSource* source) {
    sources_.push_back(source);
    FdsChanged();
  }
  void RemoveSource(LoopSource* source) {
    std::erase(sources_, source);
    FdsChanged();
  }
  // The descriptors are registered with the kernel again before the next
  // wait.
  void FdsChanged() { fdsChanged_ = true; }

 private:
  // Passes and waits until quit_ or ended(); true when ended() ended it.
  bool Loop(const std::function<bool()>& ended);
  // Waits for the X connection, the sources or the next timer (not at all
  // when wait is false), then serves the sources.
  void Wait(bool wait = true);

  XConnection* x_;
  platform::TimerQueue timers_;
  std::vector<LoopSource*> sources_;
  // Waits in epoll, whose registrations stay with the kernel between
  // waits: a wake-up costs what a bare timer's does, however many
  // descriptors there are. registered_ is what it holds; without epoll
  // (-1), ppoll.
  void WaitEpoll(const timespec* until);
  void Register();
  int epoll_ = -1;
  std::vector<pollfd> registered_;
  bool fdsChanged_ = true;
  // Kept between waits so that a pass allocates nothing.
  std::vector<pollfd> pfds_;
  std::vector<std::vector<LoopSource::Fd>> fds_;
  std::vector<char> ready_;  // by source: work held or news on its descriptors
  unsigned long flushedBefore_ = 0;  // the X request number after the last flush
  bool quit_ = false;
  // The end of the session: the handler, the signals' source, and whether
  // the loss of the X connection has been reported.
  class Signals;
  std::function<void()> endRequest_;
  std::unique_ptr<Signals> signals_;
  bool lossReported_ = false;
  // Runs the handler for a lost X connection once (Run ends without one).
  void ReportLoss();
};

// ---- Files -----------------------------------------------------------------------

// The POSIX file operations the file port and the registry store share.
// A failure names the step that failed and its errno; step is nullptr on
// success.
struct FileFailure {
  const char* step = nullptr;
  int error = 0;
};

// Creates every missing folder of path (mode 0700 for new ones); true when
// path is a folder afterwards.
bool MakeFolders(const std::string& path);
// A folder of the system's programs (/usr/..., /bin, /sbin): a program
// installed there keeps and saves its files in the user's folders, even
// when it may write beside itself (run by root).
bool SystemProgramFolder(const std::string& folder);
// Reads the whole file; bytes are untouched on failure.
FileFailure ReadWholeFile(const std::string& path, std::string& bytes);
// Creates the temporary file of a save of target beside it,
// ".<name>.XXXXXX" (mkstemp fills the X's), and opens it; its path goes to
// temp. The descriptor, or -1 with errno set.
int CreateTempBeside(const std::string& target, std::string& temp);
// Puts bytes in place of target's content safely: a temporary file beside it
// (CreateTempBeside) is written, given mode, flushed and closed, then renamed over
// target, and the folder is flushed. On failure the temporary file is gone
// and target is as it was.
FileFailure ReplaceFile(const std::string& target, std::string_view bytes, unsigned mode);

class X11Files final : public platform::Files {
 public:
  std::optional<std::uint64_t> FileLength(StringView path) override;
  // Regular files (after following links) count; directories, other kinds
  // and errors do not.
  bool FileExists(StringView path) override;
  bool ReadFile(StringView path, std::string& bytes) override;
  // mkstemp in the target's folder, write all, fsync, close, rename over
  // the target (a symbolic link is written through to its target), fsync
  // the folder. The new file keeps the old file's permissions (a new file
  // gets 0666 less the umask).
  bool WriteFileAtomic(StringView path, std::string_view bytes) override;
  bool RemoveFile(StringView path) override;
  // Lists the folder of the file a save writes (a link's target) and
  // removes the regular files named as CreateTempBeside names them for it;
  // links are not followed.
  int RemoveLeftoverTemps(StringView path) override;
  [[nodiscard]] String LastError() const override { return lastError_; }

 private:
  bool Fail(const std::string& what, int err, const std::string& path);
  String lastError_;
};

// ---- Application ------------------------------------------------------------------

class X11App final : public platform::AppInfo {
 public:
  // exePath stands for the executable's path (tests); empty means
  // readlink(/proc/self/exe). loop serves the show requests (none without).
  explicit X11App(std::string exePath = {}, X11Loop* loop = nullptr);
  ~X11App() override;
  X11App(const X11App&) = delete;
  X11App& operator=(const X11App&) = delete;

  String Folder() override;
  String ExeName() override;
  String ExeFileName() override;
  String OwnPath() override;
  // The executable's folder when writable and not a folder of the system's
  // programs (/usr/..., /bin, /sbin); otherwise
  // $XDG_CONFIG_HOME/ProcessDrovak (default ~/.config/ProcessDrovak),
  // created when missing.
  String DataFolder() override;
  char16_t PathSeparator() override { return u'/'; }
  // An exclusive flock on ProcessDrovak.lock in $XDG_RUNTIME_DIR (or in
  // /tmp/ProcessDrovak-UID, made private to the user), held while this
  // object lives. The holder listens on the unix socket ProcessDrovak.sock
  // beside it (made anew at the claim: no other holder can own it); a
  // later start that finds the lock held connects to it, and that
  // connection is the request to show the window. The second never waits
  // for the first: a holder that does not accept (hung, or not listening
  // yet) misses the request.
  bool PrevInstance() override;
  // Connections from processes of other users are refused.
  void SetShowRequest(std::function<void()> handler) override { showRequest_ = std::move(handler); }

  // The lock file PrevInstance uses, and the socket beside it.
  static std::string LockPath();
  static std::string SocketPath();

 private:
  class Listener;
  void Listen();

  std::string exe_;     // full path, UTF-8
  std::string folder_;  // without a trailing '/'
  std::string file_;
  X11Loop* loop_;
  int lockFd_ = -1;
  std::unique_ptr<Listener> listener_;
  std::function<void()> showRequest_;
};

// ---- Host ------------------------------------------------------------------------

// The virtual-key code a keysym stands for (letters of either case give
// 'A'..'Z'); 0 for none. The table X11Input maps keys with.
int VirtualKeyOfKeysym(unsigned long keysym);

// Forms are top-level X windows of this connection, created unmapped, out
// of the task list (_NET_WM_STATE_SKIP_TASKBAR), with a UTF-8 caption and
// _NET_WM_PID. A Form and a Dialog (a transient of its owner) are framed by
// the window manager and keep the size SetBounds gave them; a Popup is
// override-redirect and never takes the focus.
//
// What happens to them is reported to the sink, from the events the loop
// dispatches: buttons 1-3 (a second press of the same button within
// kDoubleClickMs and kDoubleClickPx adds a DoubleClick), motion, keys as
// virtual-key codes (a held key repeats KeyDown only: detectable
// auto-repeat), typed text through the input method (XIM, UTF-8 lookup;
// XLookupString where no input method opens), focus, map state, exposed
// areas (one event per series), size changes, WM_DELETE_WINDOW and the end
// of a pointer grab we did not ask for.
//
// The capture is an active pointer grab without owner events: every
// pointer event goes to the holder, relative to it. The clipboard is the
// CLIPBOARD selection, owned by a hidden helper window that answers
// TARGETS, UTF8_STRING, TEXT and STRING (Latin-1, '?' for the rest);
// reading another owner's text waits at most kClipboardWaitMs for it,
// without dispatching any other event.
class X11Host final : public platform::Host {
 public:
  X11Host(XConnection& x, soft::SoftGraphics& graphics);
  ~X11Host() override;
  X11Host(const X11Host&) = delete;
  X11Host& operator=(const X11Host&) = delete;

  void SetEventSink(platform::HostEventSink* sink) override { sink_ = sink; }
  WindowHandle CreateForm(StringView caption, platform::WindowKind kind = platform::WindowKind::Form,
                          WindowHandle owner = 0) override;
  void DestroyForm(WindowHandle form) override;
  void SetCaption(WindowHandle form, StringView caption) override;
  void SetBounds(WindowHandle form, const Rect& r) override;
  Rect Bounds(WindowHandle form) override;
  void ShowForm(WindowHandle form, bool visible) override;
  // What ShowForm asked for, until the server reports a later change
  // (a map or unmap event newer than the request).
  bool IsVisible(WindowHandle form) override;
  bool IsForm(WindowHandle form) override { return forms_.count(form) != 0; }
  // Our own flag: the server knows no disabled window. The window manager
  // is told through the dialog's hints (transient for its owner, modal).
  void EnableInput(WindowHandle form, bool enabled) override;
  // A software surface whose Present puts the frame, or the presented
  // rectangle of it, on the window with one XPutImage.
  std::unique_ptr<platform::Surface> CreateFormSurface(WindowHandle form, int width, int height) override;
  // Grabs the pointer for a viewable form; Capture() stays 0 when the
  // server refuses the grab.
  void SetCapture(WindowHandle form) override;
  void ReleaseCapture() override;
  WindowHandle Capture() override { return capture_; }
  Rect ScreenRect() override;
  // _NET_WORKAREA of the first desktop, within the screen; the screen
  // where the window manager does not say.
  Rect WorkArea() override;
  String ClipboardText() override;
  void SetClipboardText(StringView text) override;

  // Whether typed text goes through an input method.
  [[nodiscard]] bool HasInputMethod() const { return im_ != nullptr; }
  [[nodiscard]] bool InputEnabled(WindowHandle form) const {
    auto it = forms_.find(form);
    return it != forms_.end() && it->second.enabled;
  }
  // While another program's modal dialog stands for ours (the desktop's
  // file chooser): every enabled window takes no input. The windows it
  // disabled, for ReleaseInput.
  std::vector<WindowHandle> HoldInput();
  void ReleaseInput(const std::vector<WindowHandle>& held);

  static constexpr unsigned long kDoubleClickMs = 500;
  static constexpr int kDoubleClickPx = 4;
  static constexpr int kClipboardWaitMs = 1000;

 private:
  struct Form {
    platform::WindowKind kind = platform::WindowKind::Form;
    WindowHandle owner = 0;
    std::uint64_t made = 0;  // creation order
    void* ic = nullptr;      // XIC
    bool visible = false;
    bool enabled = true;
    unsigned long showSerial = 0;  // request that last mapped or unmapped it
    int width = 100;
    int height = 100;
    Rect exposed;  // the series of exposes so far
  };
  struct Press {
    XWindow window = 0;
    int button = 0;
    unsigned long time = 0;
    Point pos;
  };
  Form* Find(WindowHandle form);
  void OpenInputMethod();
  void OnEvent(XEvent& ev);
  void OnButton(XEvent& ev);
  // reportAs: the window the key is reported for (a disabled window's
  // keys go to its modal window).
  void OnKey(XEvent& ev, WindowHandle reportAs);
  // Input to a disabled window (see EnableInput); true when the event is
  // done with.
  bool Refuse(XEvent& ev, WindowHandle window);
  // The newest shown, enabled window owned by form, directly or through
  // others; 0 for none.
  [[nodiscard]] WindowHandle ModalOf(WindowHandle form);
  void OnSelectionRequest(XEvent& ev);
  void Report(const platform::HostEvent& event);
  void SetSizeHints(XWindow w, const Rect& r, bool fixed);
  // A server timestamp (from a property change on the helper window).
  unsigned long ServerTime();
  // Takes the first event of a type on a window (for a property
  // notification: a new value of property) off the queue, waiting at most
  // ms for it; every other event stays queued.
  bool WaitForEvent(XEvent& out, XWindow window, int type, XAtom property, int ms);
  // The clipboard converted to target (UTF8_STRING or STRING); false when
  // the owner refuses it, offers only INCR or does not answer in time.
  bool ReadSelection(XAtom target, String& out);

  XConnection& x_;
  soft::SoftGraphics& graphics_;
  platform::HostEventSink* sink_ = nullptr;
  std::map<WindowHandle, Form> forms_;
  std::uint64_t made_ = 0;
  void* im_ = nullptr;  // XIM
  XWindow helper_ = 0;  // owns the clipboard
  WindowHandle capture_ = 0;
  unsigned long captureSerial_ = 0;
  Press lastPress_;
  bool detectableRepeat_ = false;
  bool ownClipboard_ = false;
  String clipboardText_;  // while we own the clipboard
};

// ---- Dialogs ---------------------------------------------------------------------

// X11 has no popup menu or message box of its own: the control host shows
// its own (those calls answer std::nullopt).
//
// The save dialog is the desktop's file chooser through the XDG desktop
// portal (org.freedesktop.portal.FileChooser.SaveFile over the session
// bus, libdbus-1), transient for the owner, with the filters, the current
// filter, folder and name. The answer is awaited in a nested loop (timers
// keep firing; the bus is read every kPollMs); the reply's file:// URI
// becomes the path, with DefaultExt added to a name without an extension.
// std::nullopt, at once, where no session bus is set
// ($DBUS_SESSION_BUS_ADDRESS: libdbus would otherwise start a bus of its
// own) or no portal is there to answer, and where the portal fails (its
// FileChooser version cannot be read within kCallTimeoutMs): the control
// host then shows its own dialog. Every call has an explicit time limit.
class X11Dialogs final : public platform::Dialogs {
 public:
  static constexpr int kCallTimeoutMs = 3000;
  static constexpr int kPollMs = 20;

  X11Dialogs(platform::EventLoop& loop, X11Host& host);
  ~X11Dialogs() override;
  X11Dialogs(const X11Dialogs&) = delete;
  X11Dialogs& operator=(const X11Dialogs&) = delete;

  std::optional<int> PopupMenu(WindowHandle owner, std::span<const platform::MenuItem> items, Point screen) override;
  std::optional<int> MessageBox(WindowHandle owner, StringView text, StringView title, unsigned flags) override;
  std::optional<std::int32_t> GetSaveFileName(platform::OpenFileName& record) override;
  // opendir/readdir; names in UTF-8 on disk.
  std::optional<std::vector<platform::FolderEntry>> ListFolder(StringView folder) override;
  // $HOME, else the password database's.
  String HomeFolder() override;
  // XDG_DOCUMENTS_DIR in $XDG_CONFIG_HOME/user-dirs.dirs (default
  // ~/.config), "$HOME/..." or an absolute path, where that folder exists;
  // else home.
  String DocumentsFolder() override;
  // access(W_OK | X_OK), and not SystemProgramFolder.
  bool MaySaveIn(StringView folder) override;

  // Why the latest save dialog went to the control host ("" when the
  // portal answered), for tests: "X11: no portal on the session bus".
  [[nodiscard]] const std::string& LastError() const { return lastError_; }

 private:
  struct Bus;
  // The session bus connection, opened on first use; nullptr without one.
  Bus* SessionBus();

  platform::EventLoop& loop_;
  X11Host& host_;
  std::unique_ptr<Bus> bus_;
  std::string lastError_;
  unsigned requests_ = 0;
};

// ---- Resources -------------------------------------------------------------------

// The pictures embedded in the program (resources/), decoded once.
class X11Resources final : public platform::Resources {
 public:
  explicit X11Resources(soft::SoftGraphics& graphics) : graphics_(graphics) {}
  std::shared_ptr<const platform::Picture> LoadPicture(int id, int size) override;

 private:
  soft::SoftGraphics& graphics_;
  std::map<std::pair<int, int>, std::shared_ptr<const platform::Picture>> cache_;
};

// Gives a window the program icon (_NET_WM_ICON: the 16 and the 32 pixel
// pictures, ARGB).
void SetProgramIcon(XConnection& x, XWindow window);

// ---- Notification area -----------------------------------------------------------

// The tray: a StatusNotifierItem on the session bus while a watcher
// (org.kde.StatusNotifierWatcher) has an owner, else an XEmbed icon docked
// in the freedesktop system tray (_NET_SYSTEM_TRAY_S<screen>, created with
// the tray's visual, with a tooltip window of our own). "The shell" is the
// watcher or the tray manager: its generation grows when either comes,
// changes or goes (NameOwnerChanged; a MANAGER message on the root window,
// the manager window's destruction), all known from events, so that
// ShellPresent costs no request.
//
// Balloons are desktop notifications (org.freedesktop.Notifications) sent
// over one long-lived private connection served by the loop (LoopSource):
// a later balloon replaces the earlier one (replaces_id), a record without
// one withdraws it (CloseNotification), a warning (2) is sent with urgency
// critical. Nothing waits for a reply: a balloon asked for while the id of
// the previous one is still on its way is sent when the id comes. Where no
// notification server answers (or there is no session bus) a small popup
// of our own shows the balloon near the icon for kPopupMs.
//
// Without $DBUS_SESSION_BUS_ADDRESS no bus is used at all (libdbus would
// start a bus daemon of its own that outlives the program).
class X11Tray final : public platform::Tray {
 public:
  X11Tray(XConnection& x, X11Loop& loop, soft::SoftGraphics& graphics);
  ~X11Tray() override;
  X11Tray(const X11Tray&) = delete;
  X11Tray& operator=(const X11Tray&) = delete;

  std::uint32_t CreateReportWindow(Report report) override;
  void DestroyReportWindow(std::uint32_t window) override;
  std::uint32_t IconHandle(const std::shared_ptr<const platform::Picture>& picture) override;
  bool Notify(std::uint32_t message, const platform::NotifyIconRecord& record) override;
  // The icon is offered as an item to the watcher or docked in the tray.
  bool IconShown(std::uint32_t window, std::uint32_t id) override;
  // As a desktop notification (else our popup), like any balloon.
  bool BalloonWithoutIcon(const platform::NotifyIconRecord& record) override;
  bool ShellPresent() override;
  std::uint64_t ShellGeneration() override;
  // Told from the MANAGER announcement, the manager window's end and the
  // watcher's bus name.
  int WatchShell(std::function<void()> changed) override;
  void UnwatchShell(int watch) override;

  // ---- What the icon and balloon are now (tests) ----
  enum class Mode { kNone, kStatusNotifier, kXEmbed };
  [[nodiscard]] Mode IconMode() const;
  // The XEmbed icon window (0 in the other modes).
  [[nodiscard]] XWindow IconWindow() const;
  // The bus name the StatusNotifierItem owns ("" in the other modes).
  [[nodiscard]] std::string ItemName() const;
  // The id of the notification shown now (0: none); whether our own popup
  // shows the balloon; our tooltip window (0 while none is shown).
  [[nodiscard]] std::uint32_t NotificationId() const;
  // A Notify sent whose answer has not come yet.
  [[nodiscard]] bool NotifyInFlight() const;
  [[nodiscard]] bool PopupShown() const;
  [[nodiscard]] XWindow TooltipWindow() const;
  [[nodiscard]] bool HasBus();

  static constexpr int kTooltipDelayMs = 500;
  // How long a balloon shows, as on Windows: the notification's explicit
  // timeout (servers keep one with their default timeout, or until it is
  // dismissed) and our popup's.
  static constexpr int kBalloonMs = 10'000;
  static constexpr int kPopupMs = kBalloonMs;
  static constexpr int kDoubleClickMs = 500;
  static constexpr int kCallTimeoutMs = 5000;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// ---- The whole platform -------------------------------------------------------

class X11Platform final : public platform::Platform {
 public:
  explicit X11Platform(std::unique_ptr<XConnection> x);

  platform::Processes& processes() override { return procs_; }
  platform::Input& input() override { return input_; }
  platform::EventLoop& loop() override { return loop_; }
  platform::AppInfo& app() override { return app_; }
  platform::Files& files() override { return files_; }
  platform::Host& host() override { return host_; }
  platform::Registry& registry() override { return *registry_; }
  platform::Graphics& graphics() override { return graphics_; }
  platform::Dialogs& dialogs() override { return dialogs_; }
  platform::Resources& resources() override { return resources_; }
  X11Tray& tray() override { return tray_; }

  const text::Codec& codec() override;
  std::unique_ptr<platform::Registry> CreateRegistry() override;
  std::unique_ptr<platform::Graphics> CreateGraphics() override;

  XConnection& Connection() { return *x_; }

 private:
  std::unique_ptr<XConnection> x_;
  X11Processes procs_;
  X11Input input_;
  X11Loop loop_;
  X11App app_{{}, &loop_};
  X11Files files_;
  soft::SoftGraphics graphics_;
  X11Host host_;
  std::unique_ptr<platform::Registry> registry_ = CreateRegistry();
  X11Dialogs dialogs_{loop_, host_};
  X11Resources resources_{graphics_};
  X11Tray tray_{*x_, loop_, graphics_};
};

// The registry kept in the user's configuration folder (the platform's
// registry and CreateRegistry).
std::unique_ptr<platform::Registry> CreateLinuxRegistry();

// Monotonic milliseconds (CLOCK_MONOTONIC).
std::int64_t MonotonicMs();

}  // namespace pd::x11
