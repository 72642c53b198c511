#include "Win32TestUtil.h"

#include <vector>

namespace pd::test {

std::wstring HelperProcess::Path() {
  std::wstring self(MAX_PATH * 4, L'\0');
  self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
  return self.substr(0, self.find_last_of(L"\\/") + 1) + L"win32_helper.exe";
}

HelperProcess::HelperProcess(const std::wstring& args) {
  std::wstring line = L"\"" + Path() + L"\" " + args;
  std::vector<wchar_t> buf(line.begin(), line.end());
  buf.push_back(L'\0');
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  if (!CreateProcessW(nullptr, buf.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si,
                      &info_)) {
    info_ = {};
  }
}

HelperProcess::~HelperProcess() {
  if (info_.hProcess != nullptr && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(info_.hProcess, 1);
    WaitForSingleObject(info_.hProcess, 5000);
  }
  Release();
}

long HelperProcess::Wait(DWORD ms) {
  if (info_.hProcess == nullptr || WaitForSingleObject(info_.hProcess, ms) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(info_.hProcess, &code);
  return static_cast<long>(code);
}

void HelperProcess::Release() {
  if (info_.hThread != nullptr) CloseHandle(info_.hThread);
  if (info_.hProcess != nullptr) CloseHandle(info_.hProcess);
  info_.hThread = info_.hProcess = nullptr;
}

bool UnixProgramExists(const char* path) {
  const std::string dos = std::string("Z:") + path;
  const DWORD a = GetFileAttributesA(dos.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool RunUnix(const std::string& shellCommand, const std::function<void()>& pump, DWORD timeoutMs) {
  // The command leaves a mark in /tmp (drive Z: under Wine) when it is done.
  static int serial = 0;
  const std::string mark = "/tmp/pd-win32-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                           std::to_string(++serial);
  const std::string dosMark = "Z:" + mark;
  std::string line = "/bin/sh -c \"" + shellCommand + "; touch " + mark + "\"";
  std::vector<char> buf(line.begin(), line.end());
  buf.push_back('\0');
  STARTUPINFOA si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, buf.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  // Wine starts a Linux program without a Windows process: the handles it
  // returns name nothing of it, and closing them may close one of ours (the
  // test's output went missing that way). They are left alone.
  const bool done = WaitFor([&] { return GetFileAttributesA(dosMark.c_str()) != INVALID_FILE_ATTRIBUTES; }, pump,
                            timeoutMs);
  DeleteFileA(dosMark.c_str());
  return done;
}

}  // namespace pd::test
