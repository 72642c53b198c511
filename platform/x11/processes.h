// Processes from /proc.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/processes.h"

namespace pd::x11 {

class XConnection;

// Processes from /proc, cached by id and start time so that a walk reads
// only what is new; processes.cpp tells how the cache stays true.
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

}  // namespace pd::x11
