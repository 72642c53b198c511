// The program's identity from its module file name, and the single-instance
// token: a named mutex of the logged-on user's session.
#include <windows.h>

#include <string>

#include "platform/win32/backend.h"

namespace pd::win32 {
namespace {

String OwnModulePath() {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) {
      buf.resize(n);
      break;
    }
    if (buf.size() >= 32768) return {};
    buf.resize(buf.size() * 2);
  }
  return String(buf.begin(), buf.end());
}

}  // namespace

Win32App::Win32App(String token) : token_(std::move(token)) {
  const String path = OwnModulePath();
  const auto cut = path.find_last_of(u"\\/");
  folder_ = cut == String::npos ? String() : path.substr(0, cut);
  String file = cut == String::npos ? path : path.substr(cut + 1);
  const auto dot = file.rfind(u'.');
  exeName_ = dot == String::npos || dot == 0 ? file : file.substr(0, dot);
}

Win32App::~Win32App() {
  if (mutex_ != nullptr) CloseHandle(mutex_);
}

bool Win32App::PrevInstance() {
  if (claimed_) return previous_;
  claimed_ = true;
  const std::wstring name(token_.begin(), token_.end());
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
  const DWORD error = GetLastError();
  // Access denied: the mutex exists but belongs to someone this process may
  // not open, which is another instance as well.
  previous_ = error == ERROR_ALREADY_EXISTS || (mutex == nullptr && error == ERROR_ACCESS_DENIED);
  mutex_ = mutex;  // kept for the program's life, so the token stays claimed
  return previous_;
}

}  // namespace pd::win32
