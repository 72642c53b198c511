// Helpers of the Linux backend tests: child processes, a tmpfs of their own,
// environment variables restored afterwards, and waiting for the real
// system with a deadline.
#pragma once

#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/processes.h"
#include "platform/text.h"

extern char** environ;

namespace pd::test {

// A program started with posix_spawn (after exec has happened); killed and
// reaped when the object goes, unless the test reaped it.
class Child {
 public:
  explicit Child(std::vector<std::string> argv) {
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    if (posix_spawnp(&pid_, args[0], nullptr, nullptr, args.data(), environ) != 0) pid_ = -1;
  }
  ~Child() {
    if (pid_ > 0 && !reaped_) {
      kill(pid_, SIGKILL);
      Reap();
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  [[nodiscard]] pid_t Pid() const { return pid_; }
  [[nodiscard]] ProcessId Id() const { return static_cast<ProcessId>(pid_); }
  // Waits for the child to end; its wait status.
  int Reap() {
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
    return status;
  }

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
};

// Sets (or, with nullopt, removes) an environment variable for one test.
class EnvVar {
 public:
  EnvVar(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      setenv(name, value->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }
  ~EnvVar() {
    if (old_) {
      setenv(name_.c_str(), old_->c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
  }
  EnvVar(const EnvVar&) = delete;
  EnvVar& operator=(const EnvVar&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// A tmpfs mounted on a folder for one test (root only). Error() says why
// it could not be mounted.
class Tmpfs {
 public:
  Tmpfs(const std::filesystem::path& where, const std::string& options) : where_(where) {
    if (geteuid() != 0) {
      error_ = "mounting a tmpfs needs root";
      return;
    }
    std::filesystem::create_directories(where);
    if (mount("tmpfs", where.c_str(), "tmpfs", 0, options.c_str()) != 0) {
      error_ = std::string("mount -t tmpfs failed: ") + std::strerror(errno);
      return;
    }
    mounted_ = true;
  }
  ~Tmpfs() {
    if (mounted_) umount2(where_.c_str(), MNT_DETACH);
  }
  Tmpfs(const Tmpfs&) = delete;
  Tmpfs& operator=(const Tmpfs&) = delete;

  [[nodiscard]] bool Mounted() const { return mounted_; }
  [[nodiscard]] const std::string& Error() const { return error_; }
  bool MakeReadOnly() {
    return mount("tmpfs", where_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }

 private:
  std::filesystem::path where_;
  bool mounted_ = false;
  std::string error_;
};

// Polls until pred holds or ms have passed; the last value of pred.
template <typename Pred>
bool WaitFor(Pred pred, int ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    if (pred()) return true;
    if (std::chrono::steady_clock::now() > deadline) return pred();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

// The entry of a process in one walk, if listed.
inline std::optional<platform::ProcessEntry> FindInWalk(platform::Processes& procs, ProcessId id) {
  std::optional<platform::ProcessEntry> found;
  procs.Walk([&](const platform::ProcessEntry& e) {
    if (e.th32ProcessID != id) return true;
    found = e;
    return false;
  });
  return found;
}

inline String ExeFileOf(const platform::ProcessEntry& e) {
  return String(e.szExeFile.data(), std::char_traits<char16_t>::length(e.szExeFile.data()));
}

}  // namespace pd::test
