// The system's popup menu, message box and save dialog. Each runs the
// system's own modal loop, which dispatches the thread's other messages
// (timers) meanwhile.
#include <windows.h>
// <windows.h> names MessageBoxA MessageBox; here MessageBox is the port's.
#undef MessageBox
#include <commdlg.h>
#include <shlobj.h>
#undef GetSaveFileName

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/win32/dialogs.h"
#include "platform/win32/text.h"

namespace pd::win32 {
namespace {

constexpr const wchar_t* kMenuOwnerClass = L"ProcessDrovak.MenuOwner";

HWND Hwnd(WindowHandle w) { return reinterpret_cast<HWND>(w); }

}  // namespace

Win32Dialogs::~Win32Dialogs() {
  if (menuOwner_ != 0) DestroyWindow(Hwnd(menuOwner_));
}

WindowHandle Win32Dialogs::MenuOwner() {
  if (menuOwner_ != 0 && IsWindow(Hwnd(menuOwner_)) != FALSE) return menuOwner_;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kMenuOwnerClass;
  RegisterClassExW(&wc);  // "already exists" on a second call: fine
  // A top-level window (never shown): a message-only window cannot own a menu.
  menuOwner_ = reinterpret_cast<WindowHandle>(CreateWindowExW(WS_EX_TOOLWINDOW, kMenuOwnerClass, L"", WS_POPUP, 0, 0,
                                                              0, 0, nullptr, nullptr, wc.hInstance, nullptr));
  return menuOwner_;
}

std::optional<int> Win32Dialogs::PopupMenu(WindowHandle owner, std::span<const platform::MenuItem> items,
                                           Point screen) {
  HWND window = owner != 0 && IsWindow(Hwnd(owner)) != FALSE ? Hwnd(owner) : Hwnd(MenuOwner());
  if (window == nullptr) return std::nullopt;
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return std::nullopt;
  for (const platform::MenuItem& item : items) {
    if (item.separator) {
      AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    UINT flags = MF_STRING;
    if (item.checked) flags |= MF_CHECKED;
    if (!item.enabled) flags |= MF_GRAYED;
    const std::string caption = ToAnsi(item.caption);
    AppendMenuA(menu, flags, static_cast<UINT_PTR>(item.id), caption.c_str());
  }
  // Without the owner in front the menu would not close on a click elsewhere;
  // the WM_NULL afterwards lets a second opening work at once. An owner
  // already in front is left alone: under Wine the window manager would
  // raise it again, over the menu.
  if (GetForegroundWindow() != window) SetForegroundWindow(window);
  const BOOL chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON,
                                     screen.x, screen.y, 0, window, nullptr);
  PostMessageW(window, WM_NULL, 0, 0);
  DestroyMenu(menu);
  return static_cast<int>(chosen);
}

std::optional<int> Win32Dialogs::MessageBox(WindowHandle owner, StringView text, StringView title, unsigned flags) {
  HWND window = owner != 0 && IsWindow(Hwnd(owner)) != FALSE ? Hwnd(owner) : nullptr;
  const std::string ansiText = ToAnsi(text);
  const std::string ansiTitle = ToAnsi(title);
  const int answer = ::MessageBoxA(window, ansiText.c_str(), ansiTitle.c_str(), flags | MB_SETFOREGROUND);
  if (answer == 0) return std::nullopt;
  // Escape on a box without a Cancel button: "no" for Yes/No, "OK" for OK
  // (Windows answers so itself; Wine answers IDCANCEL).
  if (answer == IDCANCEL && (flags & MB_TYPEMASK) == platform::mb::kYesNo) return platform::mb::kIdNo;
  if (answer == IDCANCEL && (flags & MB_TYPEMASK) == platform::mb::kOk) return platform::mb::kIdOk;
  return answer;
}

namespace {

// The record as GetSaveFileNameA takes it: OPENFILENAMEA up to
// lpTemplateName, the version-4 form (its size is
// OPENFILENAME_SIZE_VERSION_400A).
struct OpenFileNameV4 {
  DWORD lStructSize;
  HWND hwndOwner;
  HINSTANCE hInstance;
  LPCSTR lpstrFilter;
  LPSTR lpstrCustomFilter;
  DWORD nMaxCustFilter;
  DWORD nFilterIndex;
  LPSTR lpstrFile;
  DWORD nMaxFile;
  LPSTR lpstrFileTitle;
  DWORD nMaxFileTitle;
  LPCSTR lpstrInitialDir;
  LPCSTR lpstrTitle;
  DWORD Flags;
  WORD nFileOffset;
  WORD nFileExtension;
  LPCSTR lpstrDefExt;
  LPARAM lCustData;
  LPOFNHOOKPROC lpfnHook;
  LPCSTR lpTemplateName;
};
// OPENFILENAME_SIZE_VERSION_400A, which the headers compute with a cast.
static_assert(sizeof(OpenFileNameV4) == offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR));
static_assert(sizeof(void*) == 8 || sizeof(OpenFileNameV4) == platform::ofn::kRecordSize);
static_assert(offsetof(OpenFileNameV4, lpTemplateName) + sizeof(LPCSTR) == sizeof(OpenFileNameV4));

// A string as a NUL-terminated ANSI buffer of exactly size bytes (cut when
// longer; the last byte stays NUL).
std::vector<char> AnsiBuffer(StringView s, std::size_t size) {
  std::vector<char> buf(size, '\0');
  const std::string ansi = ToAnsi(s);
  std::copy_n(ansi.begin(), std::min(ansi.size(), size > 0 ? size - 1 : 0), buf.begin());
  return buf;
}

}  // namespace

std::optional<std::int32_t> Win32Dialogs::GetSaveFileName(platform::OpenFileName& record) {
  // The filter holds NULs of its own: converted whole, with its two ending NULs.
  const std::string filter = ToAnsi(record.lpstrFilter);
  std::vector<char> file = AnsiBuffer(record.lpstrFile, record.nMaxFile);
  std::vector<char> title = AnsiBuffer(record.lpstrFileTitle, record.nMaxFileTitle);
  const std::string initialDir = ToAnsi(platform::CutAtNul(record.lpstrInitialDir));
  const std::string dialogTitle = ToAnsi(platform::CutAtNul(record.lpstrTitle));
  const std::string defExt = ToAnsi(platform::CutAtNul(record.lpstrDefExt));

  OpenFileNameV4 ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = record.hwndOwner != 0 && IsWindow(Hwnd(record.hwndOwner)) != FALSE ? Hwnd(record.hwndOwner) : nullptr;
  ofn.hInstance = GetModuleHandleW(nullptr);
  ofn.lpstrFilter = filter.c_str();
  ofn.nMaxCustFilter = record.nMaxCustFilter;
  ofn.nFilterIndex = record.nFilterIndex;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrFileTitle = title.empty() ? nullptr : title.data();
  ofn.nMaxFileTitle = static_cast<DWORD>(title.size());
  ofn.lpstrInitialDir = initialDir.empty() ? nullptr : initialDir.c_str();
  ofn.lpstrTitle = dialogTitle.empty() ? nullptr : dialogTitle.c_str();
  ofn.Flags = record.Flags;
  ofn.lpstrDefExt = defExt.empty() ? nullptr : defExt.c_str();
  ofn.lCustData = static_cast<LPARAM>(record.lCustData);
  const BOOL chosen = ::GetSaveFileNameA(reinterpret_cast<OPENFILENAMEA*>(&ofn));
  if (chosen == FALSE) return 0;
  const String path = FromAnsi(std::string_view(file.data(), std::strlen(file.data())));
  if (!platform::StoreChosenFile(record, path, u"\\/")) return 0;
  if (!title.empty()) {
    record.lpstrFileTitle = FromAnsi(std::string_view(title.data(), std::strlen(title.data())));
    record.lpstrFileTitle.resize(record.nMaxFileTitle, u'\0');
  }
  record.nFileOffset = ofn.nFileOffset;
  record.nFileExtension = ofn.nFileExtension;
  return static_cast<std::int32_t>(chosen);
}

std::optional<std::vector<platform::FolderEntry>> Win32Dialogs::ListFolder(StringView folder) {
  std::wstring pattern(folder.begin(), folder.end());
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW found{};
  HANDLE find = FindFirstFileW(pattern.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) {
    return GetLastError() == ERROR_FILE_NOT_FOUND ? std::optional(std::vector<platform::FolderEntry>{}) : std::nullopt;
  }
  std::vector<platform::FolderEntry> entries;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    entries.push_back({.name = String(name.begin(), name.end()),
                       .folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileW(find, &found) != FALSE);
  FindClose(find);
  return entries;
}

String Win32Dialogs::HomeFolder() {
  wchar_t buf[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableW(L"USERPROFILE", buf, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  return String(buf, buf + n);
}

String Win32Dialogs::DocumentsFolder() {
  wchar_t buf[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, buf))) return {};
  return String(buf, buf + std::wcslen(buf));
}

bool Win32Dialogs::MaySaveIn(StringView folder) {
  const std::wstring path(folder.begin(), folder.end());
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

}  // namespace pd::win32
