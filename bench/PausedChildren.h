// Extra processes for benchmarks: children that wait in pause(), started to top the machine up
// to a process count and killed (only they) at the end.
#pragma once

#include <dirent.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <vector>

namespace hollin::bench {

inline int processCount() {
  int count = 0;
  if (DIR* dir = opendir("/proc")) {
    while (auto* entry = readdir(dir)) count += std::isdigit(static_cast<unsigned char>(entry->d_name[0])) != 0;
    closedir(dir);
  }
  return count;
}

class PausedChildren {
 public:
  ~PausedChildren() { stop(); }
  // Tops the machine up to about `total` processes.
  void growTo(int total) {
    for (int missing = total - processCount(); missing > 0; --missing) {
      pid_t child = fork();
      if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive an interrupted run
        pause();
        _exit(0);
      }
      if (child < 0) break;
      children_.push_back(child);
    }
  }
  void stop() {
    for (pid_t child : children_) kill(child, SIGKILL);
    for (pid_t child : children_) waitpid(child, nullptr, 0);
    children_.clear();
  }

 private:
  std::vector<pid_t> children_;
};

}  // namespace hollin::bench
