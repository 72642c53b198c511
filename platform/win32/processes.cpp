// Processes: a Toolhelp snapshot, OpenProcess with PSAPI for the executable's
// path, TerminateProcess, and the owner of a window. Every handle is closed
// before the call that opened it returns.
#include <windows.h>
// <windows.h> first.
#include <psapi.h>
#include <tlhelp32.h>

#include <cstring>
#include <string>

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

}  // namespace

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
  since = 1;
  Walk(visit);
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
