// Processes: a Toolhelp snapshot, the system's process list for the block
// tick, OpenProcess with PSAPI for the executable's path, TerminateProcess,
// and the owner of a window. Every handle is closed before the call that
// opened it returns.
#include <windows.h>
// <windows.h> first.
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/win32/processes.h"
#include "platform/win32/text.h"

namespace pd::win32 {
namespace {

// Access masks of the process calls.
constexpr DWORD kQueryAndRead = 0x410;  // PROCESS_QUERY_INFORMATION | PROCESS_VM_READ
constexpr DWORD kQueryLimited = 0x1000;  // PROCESS_QUERY_LIMITED_INFORMATION
constexpr DWORD kAllAccess = 0x1F0FFF;  // every right a process had before Vista; granted on all versions
constexpr DWORD kPathBuffer = 260;
constexpr DWORD kLongPathBuffer = 32768;

// The snapshot entry as the system fills it, in room for the 556 bytes the
// program announces in dwSize (more than the "A" structure needs).
union SnapshotEntry {
  PROCESSENTRY32 entry;
  unsigned char room[platform::ProcessEntry::kEntrySize > sizeof(PROCESSENTRY32)
                         ? platform::ProcessEntry::kEntrySize
                         : sizeof(PROCESSENTRY32)];
};

// Owns a handle until the end of the scope.
class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() {
    if (Valid()) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  [[nodiscard]] bool Valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
  [[nodiscard]] HANDLE Get() const { return h_; }

 private:
  HANDLE h_;
};

// The main module's file name into a buffer of size characters; "" on failure.
std::string ModuleFileName(HANDLE process, DWORD size) {
  std::string buf(size, ' ');
  const DWORD n = GetModuleFileNameExA(process, nullptr, buf.data(), size);
  if (n == 0) return {};
  buf.resize(std::strlen(buf.c_str()));
  return buf;
}

// When the process started (its creation time); 0 once it has exited.
std::uint64_t CreationTime(HANDLE process) {
  DWORD code = 0;
  if (GetExitCodeProcess(process, &code) == FALSE || code != STILL_ACTIVE) return 0;
  FILETIME created{};
  FILETIME exited{};
  FILETIME kernel{};
  FILETIME user{};
  if (GetProcessTimes(process, &created, &exited, &kernel, &user) == FALSE) return 0;
  return (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// The full path of the process's image, read with limited rights; "" on
// failure.
String ImageName(HANDLE process) {
  std::wstring buf(kLongPathBuffer, L'\0');
  DWORD size = kLongPathBuffer;
  if (QueryFullProcessImageNameW(process, 0, buf.data(), &size) == FALSE) return {};
  return String(buf.begin(), buf.begin() + size);
}

// The head of one entry of SystemProcessInformation (class 5) as the
// system lays it out; the thread entries that follow are skipped.
struct SystemProcessEntry {
  ULONG NextEntryOffset;
  ULONG NumberOfThreads;
  LARGE_INTEGER WorkingSetPrivateSize;
  ULONG HardFaultCount;
  ULONG NumberOfThreadsHighWatermark;
  ULONGLONG CycleTime;
  LARGE_INTEGER CreateTime;
  LARGE_INTEGER UserTime;
  LARGE_INTEGER KernelTime;
  USHORT ImageNameLength;  // bytes
  USHORT ImageNameMaximumLength;
  PWSTR ImageNameBuffer;
  LONG BasePriority;
  HANDLE UniqueProcessId;
  HANDLE InheritedFromUniqueProcessId;
};

}  // namespace

// One call gives the whole list, where Toolhelp builds a snapshot object
// from the same list and hands it out an entry per call (under Wine, each a
// request to wineserver). The buffer is kept between reads. Each process
// seen is remembered by id and creation time with the mark at which it
// first appeared.
class Win32Processes::SystemList {
 public:
  using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

  // NtQuerySystemInformation from ntdll; null where it is missing.
  static Query Find() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) return nullptr;
    return reinterpret_cast<Query>(reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQuerySystemInformation")));
  }
  explicit SystemList(Query query) : query_(query) {}

  // Reads the list and gives each process its mark: the one it had, or,
  // for a process not seen before, marks + 1, and then marks moves on.
  // False when the call failed (nothing changes).
  bool Update(std::uint64_t& marks) {
    if (!Read()) return false;
    current_.clear();
    ForEach([&](const SystemProcessEntry& e) {
      current_.push_back({Id(e), e.CreateTime.QuadPart, 0});
      return true;
    });
    std::sort(current_.begin(), current_.end(), ById);
    bool appeared = false;
    for (Seen& now : current_) {
      const auto before = std::lower_bound(known_.begin(), known_.end(), now, ById);
      if (before != known_.end() && before->id == now.id && before->created == now.created) {
        now.mark = before->mark;
      } else {
        now.mark = marks + 1;
        appeared = true;
      }
    }
    if (appeared) ++marks;
    known_.swap(current_);
    return true;
  }

  // The processes of the last read with a mark after since, in the
  // system's order, until visit returns false.
  void Walk(std::uint64_t since, const Visitor& visit) const {
    platform::ProcessEntry out;
    ForEach([&](const SystemProcessEntry& e) {
      const Seen key{Id(e), 0, 0};
      const auto seen = std::lower_bound(known_.begin(), known_.end(), key, ById);
      if (seen != known_.end() && seen->id == key.id && seen->mark <= since) return true;
      out.dwSize = platform::ProcessEntry::kEntrySize;
      out.th32ProcessID = key.id;
      out.cntThreads = e.NumberOfThreads;
      out.th32ParentProcessID = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(e.InheritedFromUniqueProcessId));
      out.pcPriClassBase = e.BasePriority;
      const std::size_t chars = e.ImageNameBuffer != nullptr ? e.ImageNameLength / sizeof(WCHAR) : 0;
      String name(e.ImageNameBuffer, e.ImageNameBuffer + chars);
      if (name.empty() && key.id == 0) name = u"[System Process]";  // as the snapshot names it
      out.SetExeFile(name);
      return visit(out);
    });
  }

 private:
  struct Seen {
    std::uint32_t id;
    std::int64_t created;
    std::uint64_t mark;
  };
  static bool ById(const Seen& a, const Seen& b) { return a.id < b.id; }
  static std::uint32_t Id(const SystemProcessEntry& e) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(e.UniqueProcessId));
  }

  bool Read() {
    constexpr ULONG kSystemProcessInformation = 5;
    constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
    constexpr std::size_t kFirstSize = 128 * 1024;
    if (buffer_.empty()) buffer_.resize(kFirstSize / sizeof(std::uint64_t));
    // The list may grow between the answer that says how much it needs and
    // the next call: a few tries, each with room to spare.
    for (int tries = 0; tries < 4; ++tries) {
      ULONG needed = 0;
      const auto bytes = static_cast<ULONG>(buffer_.size() * sizeof(std::uint64_t));
      const LONG status = query_(kSystemProcessInformation, buffer_.data(), bytes, &needed);
      if (status >= 0) {
        valid_ = true;
        return true;
      }
      if (status != kInfoLengthMismatch) break;
      const std::size_t want = std::max<std::size_t>(std::size_t{needed} + needed / 4, std::size_t{bytes} * 2);
      buffer_.resize(want / sizeof(std::uint64_t) + 1);
    }
    valid_ = false;
    return false;
  }

  // Each process entry of the last good read, until f returns false.
  template <typename F>
  void ForEach(F f) const {
    if (!valid_) return;
    const auto* base = reinterpret_cast<const unsigned char*>(buffer_.data());
    const std::size_t size = buffer_.size() * sizeof(std::uint64_t);
    for (std::size_t at = 0; at + sizeof(SystemProcessEntry) <= size;) {
      const auto& e = *reinterpret_cast<const SystemProcessEntry*>(base + at);
      if (!f(e) || e.NextEntryOffset == 0) break;
      at += e.NextEntryOffset;
    }
  }

  Query query_;
  std::vector<std::uint64_t> buffer_;  // 8-byte aligned, as the entries are
  bool valid_ = false;
  std::vector<Seen> known_;    // by id
  std::vector<Seen> current_;  // the read being compared
};

Win32Processes::Win32Processes(bool systemList) {
  if (!systemList) return;
  if (const SystemList::Query query = SystemList::Find()) list_ = std::make_shared<SystemList>(query);
}

std::uint64_t Win32Processes::ChangeMark() {
  if (list_ && list_->Update(marks_)) return marks_;
  return ++marks_;
}

void Win32Processes::Walk(const Visitor& visit) {
  Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.Valid()) return;
  SnapshotEntry raw{};
  PROCESSENTRY32& e = raw.entry;
  e.dwSize = platform::ProcessEntry::kEntrySize;
  platform::ProcessEntry out;
  for (BOOL ok = Process32First(snapshot.Get(), &e); ok; ok = Process32Next(snapshot.Get(), &e)) {
    out.dwSize = platform::ProcessEntry::kEntrySize;
    out.cntUsage = e.cntUsage;
    out.th32ProcessID = e.th32ProcessID;
    out.th32DefaultHeapID = static_cast<std::uint32_t>(e.th32DefaultHeapID);
    out.th32ModuleID = e.th32ModuleID;
    out.cntThreads = e.cntThreads;
    out.th32ParentProcessID = e.th32ParentProcessID;
    out.pcPriClassBase = e.pcPriClassBase;
    out.dwFlags = e.dwFlags;
    const std::size_t len = strnlen(e.szExeFile, sizeof(e.szExeFile));
    out.SetExeFile(FromAnsi(std::string_view(e.szExeFile, len)));
    if (!visit(out)) break;
  }
}

void Win32Processes::WalkChanged(std::uint64_t& since, const Visitor& visit) {
  if (list_ && list_->Update(marks_)) {
    list_->Walk(since, visit);
  } else {
    // A process the list shows later for the first time is visited again
    // then: more than needed, never less.
    ++marks_;
    Walk(visit);
  }
  since = marks_;
}

String Win32Processes::ExecutablePath(ProcessId id) {
  if (id == 0) return {};
  Handle process(OpenProcess(kQueryAndRead, FALSE, id));
  if (!process.Valid()) return {};
  std::string path = ModuleFileName(process.Get(), kPathBuffer);
  // A path that fills the 260-character buffer may have been cut: ask again
  // with room for the longest path rather than return a wrong one.
  if (path.size() >= kPathBuffer - 1) path = ModuleFileName(process.Get(), kLongPathBuffer);
  return FromAnsi(path);
}

bool Win32Processes::Terminate(ProcessId id) {
  if (id == 0 || id == GetCurrentProcessId()) return false;
  Handle process(OpenProcess(kAllAccess, TRUE, id));
  if (!process.Valid()) return false;
  // A process that already ended (its object kept alive by a handle
  // somewhere) is not terminated again.
  if (WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0) return false;
  return TerminateProcess(process.Get(), 0) != FALSE;
}

ProcessId Win32Processes::WindowOwner(WindowHandle window) {
  HWND hwnd = reinterpret_cast<HWND>(window);
  if (window == 0 || !IsWindow(hwnd)) return 0;
  DWORD pid = 0;
  if (GetWindowThreadProcessId(hwnd, &pid) == 0) return 0;
  return pid;
}

std::uint64_t Win32Processes::StartTime(ProcessId id) {
  if (id == 0) return 0;
  Handle process(OpenProcess(kQueryLimited, FALSE, id));
  return process.Valid() ? CreationTime(process.Get()) : 0;
}

platform::ProcessIdentity Win32Processes::Identify(ProcessId id) {
  if (id == 0) return {};
  // The handle is held to the end: while it is open the id cannot pass to
  // another process, so every read below is of this one.
  Handle process(OpenProcess(kQueryLimited, FALSE, id));
  if (!process.Valid()) return {};
  platform::ProcessIdentity who;
  who.started = CreationTime(process.Get());
  if (who.started == 0) return {};
  who.path = ExecutablePath(id);
  // The name the snapshot lists is the last part of the image's path; the
  // image path is readable with limited rights where the module path is not
  // (services, other sessions).
  String image = who.path;
  if (image.empty()) image = ImageName(process.Get());
  if (const auto cut = image.find_last_of(u"\\/"); cut != String::npos) image.erase(0, cut + 1);
  who.name = std::move(image);
  if (who.name.empty()) {
    Walk([&](const platform::ProcessEntry& e) {
      if (e.th32ProcessID != id) return true;
      who.name = String(e.szExeFile.data(), std::char_traits<char16_t>::length(e.szExeFile.data()));
      return false;
    });
  }
  // Ended during the reads: not running.
  if (who.name.empty() || CreationTime(process.Get()) != who.started) return {};
  who.id = id;
  return who;
}

ProcessId Win32Processes::CurrentProcess() { return GetCurrentProcessId(); }

}  // namespace pd::win32
