// Extra processes for the Linux benchmarks: `sleep 1000` children that die
// with the benchmark even if it is killed.
#pragma once

#include <dirent.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace pd::bench {

inline std::vector<pid_t> StartSleepers(int count) {
  std::vector<pid_t> pids;
  const pid_t parent = getpid();
  for (int i = 0; i < count; ++i) {
    const pid_t pid = fork();
    if (pid == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (getppid() != parent) _exit(1);
      execl("/bin/sleep", "sleep", "1000", static_cast<char*>(nullptr));
      _exit(127);
    }
    if (pid > 0) pids.push_back(pid);
  }
  return pids;
}

inline void StopSleepers(const std::vector<pid_t>& pids) {
  for (pid_t pid : pids) kill(pid, SIGKILL);
  for (pid_t pid : pids) waitpid(pid, nullptr, 0);
}

// The processes running now (the numeric entries of /proc).
inline int RunningProcesses() {
  int running = 0;
  DIR* proc = opendir("/proc");
  while (const dirent* de = proc != nullptr ? readdir(proc) : nullptr) {
    if (de->d_name[0] >= '1' && de->d_name[0] <= '9') ++running;
  }
  if (proc != nullptr) closedir(proc);
  return running;
}

}  // namespace pd::bench
