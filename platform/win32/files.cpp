// Files through the "W" calls: whole-file reads, and writes that replace the
// old file in one step (temporary file, flush, MoveFileEx).
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"
#include "platform/win32/files.h"

namespace pd::win32 {
namespace {

std::wstring Wide(StringView s) { return std::wstring(s.begin(), s.end()); }

std::atomic<unsigned> gTempCounter{0};

// A save's temporary file: "<target>" + kTempDot + "<pid>-<n>" + kTempEnd
// beside the target: the same folder (so the final move is a rename) and a
// name no other writer uses.
constexpr wchar_t kTempDot[] = L".";
constexpr wchar_t kTempEnd[] = L".tmp";

bool AllDigits(std::wstring_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

// Whether name (no folder) is a temporary file's name for a target named base.
bool IsTempName(std::wstring_view name, std::wstring_view base) {
  const std::wstring_view dot = kTempDot, end = kTempEnd;
  if (name.size() <= base.size() + dot.size() + end.size()) return false;
  if (name.substr(0, base.size()) != base || name.substr(base.size(), dot.size()) != dot) return false;
  if (name.substr(name.size() - end.size()) != end) return false;
  const std::wstring_view mid =
      name.substr(base.size() + dot.size(), name.size() - base.size() - dot.size() - end.size());
  const auto dash = mid.find(L'-');
  return dash != std::wstring_view::npos && AllDigits(mid.substr(0, dash)) && AllDigits(mid.substr(dash + 1));
}

}  // namespace

std::wstring TempNameFor(const std::wstring& target) {
  return target + kTempDot + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(gTempCounter.fetch_add(1)) + kTempEnd;
}

namespace {

// Creates and opens (for writing) the temporary file of a save of target
// under a name no other file has; its path goes to temp.
HANDLE CreateTempBeside(const std::wstring& target, std::wstring& temp) {
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 16 && file == INVALID_HANDLE_VALUE; ++attempt) {
    temp = TempNameFor(target);
    file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  return file;
}

}  // namespace

bool Win32Files::Fail(const char* what, unsigned long code) {
  lastError_ = u"Win32: " + text::FromAscii(what) + u" (" + text::FromAscii(std::to_string(code)) + u")";
  return false;
}

bool Win32Files::FileExists(StringView path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::optional<std::uint64_t> Win32Files::FileLength(StringView path) {
  if (path.empty()) return std::nullopt;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data) == FALSE) return std::nullopt;
  if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::nullopt;
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool Win32Files::ReadFile(StringView path, std::string& bytes) {
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Fail("ReadFile: CreateFile failed", GetLastError());
  std::string data;
  char chunk[64 * 1024];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file, chunk, sizeof(chunk), &got, nullptr)) {
      const DWORD error = GetLastError();
      CloseHandle(file);
      return Fail("ReadFile: ReadFile failed", error);
    }
    if (got == 0) break;
    data.append(chunk, got);
  }
  CloseHandle(file);
  bytes = std::move(data);
  return true;
}

bool Win32Files::WriteFileAtomic(StringView path, std::string_view bytes) {
  if (path.empty()) return Fail("WriteFileAtomic: empty path", ERROR_INVALID_NAME);
  const std::wstring target = Wide(path);
  std::wstring temp;
  HANDLE file = CreateTempBeside(target, temp);
  if (file == INVALID_HANDLE_VALUE) return Fail("WriteFileAtomic: CreateFile failed", GetLastError());

  auto abandon = [&](const char* what, DWORD error) {
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    DeleteFileW(temp.c_str());
    return Fail(what, error);
  };

  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
    DWORD wrote = 0;
    if (!::WriteFile(file, bytes.data() + done, want, &wrote, nullptr)) {
      return abandon("WriteFileAtomic: WriteFile failed", GetLastError());
    }
    if (wrote == 0) return abandon("WriteFileAtomic: WriteFile wrote nothing", ERROR_WRITE_FAULT);
    done += wrote;
  }
  if (!FlushFileBuffers(file)) return abandon("WriteFileAtomic: FlushFileBuffers failed", GetLastError());
  const BOOL closed = CloseHandle(file);
  file = INVALID_HANDLE_VALUE;
  if (!closed) return abandon("WriteFileAtomic: CloseHandle failed", GetLastError());

  // A read-only file is not replaced, as Windows itself refuses to (not every
  // file system underneath Windows APIs checks it on a rename).
  const DWORD old = GetFileAttributesW(target.c_str());
  if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY) != 0) {
    return abandon("WriteFileAtomic: the file is read-only", ERROR_ACCESS_DENIED);
  }
  if (!MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return abandon("WriteFileAtomic: MoveFileEx failed", GetLastError());
  }
  return true;
}

bool Win32Files::RemoveFile(StringView path) {
  if (!DeleteFileW(Wide(path).c_str())) return Fail("RemoveFile: DeleteFile failed", GetLastError());
  return true;
}

int Win32Files::RemoveLeftoverTemps(StringView path) {
  if (path.empty()) return 0;
  const std::wstring target = Wide(path);
  const auto cut = target.find_last_of(L"\\/");
  const std::wstring folder = cut == std::wstring::npos ? L"" : target.substr(0, cut + 1);
  const std::wstring base = cut == std::wstring::npos ? target : target.substr(cut + 1);
  // The pattern narrows the listing; the name is checked in full, since
  // wildcards also match short (8.3) names and "*.tmp" matches ".tmp~".
  WIN32_FIND_DATAW found{};
  HANDLE find = FindFirstFileW((target + kTempDot + L"*" + kTempEnd).c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return 0;
  std::vector<std::wstring> temps;
  do {
    const DWORD skip = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    if ((found.dwFileAttributes & skip) == 0 && IsTempName(found.cFileName, base)) {
      temps.push_back(folder + found.cFileName);
    }
  } while (FindNextFileW(find, &found));
  FindClose(find);
  int removed = 0;
  for (const std::wstring& temp : temps) {
    if (DeleteFileW(temp.c_str())) ++removed;
  }
  return removed;
}

}  // namespace pd::win32
