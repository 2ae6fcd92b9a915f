// The running application against btop on the same machine in the same run: both started side
// by side at about 500 and 2000 processes, Hollin headless with its 5 s tick and btop refreshing
// every 5 s on a pseudo-terminal, then each one's CPU time (utime + stime from /proc/PID/stat)
// over the same stretch, per tick and per refresh. Also Hollin's resident memory at the start
// and the end of the stretch, which must not grow.
//
//   app_tick_bench [--seconds=N]   (N per size, default 180; other arguments are ignored)
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "PausedChildren.h"

namespace {

constexpr double tickSeconds = 5.0;
constexpr auto warmUp = std::chrono::seconds(15);

// User plus system CPU seconds of a running process.
double cpuSeconds(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  auto close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int index = 3; fields >> field; ++index) {  // field 3 is the state
    if (index == 14) utime = std::stoull(field);
    if (index == 15) {
      stime = std::stoull(field);
      break;
    }
  }
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// A "Key:   N kB" line of /proc/PID/status, in MiB.
double statusMiB(pid_t pid, const std::string& key) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(file, line))
    if (line.rfind(key + ":", 0) == 0) return std::atof(line.c_str() + key.size() + 1) / 1024.0;
  return -1;
}

std::string temporaryHome(const char* name) {
  std::string path = "/tmp/hollin-bench-" + std::string(name) + "-XXXXXX";
  return mkdtemp(path.data()) ? path : "/tmp";
}

pid_t startHollin(const std::string& home) {
  pid_t child = fork();
  if (child == 0) {
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", home.c_str(), 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    if (!freopen("/dev/null", "w", stderr)) _exit(127);
    execl(HOLLIN_BINARY_DIR "/src/app/hollin", "hollin", static_cast<char*>(nullptr));
    _exit(127);
  }
  return child;
}

// btop needs a terminal: it gets a pseudo-terminal whose output a thread reads and drops. Its
// refresh interval comes from its configuration file.
pid_t startBtop(const std::string& home, std::thread& drain) {
  mkdir((home + "/.config").c_str(), 0700);
  mkdir((home + "/.config/btop").c_str(), 0700);
  std::ofstream(home + "/.config/btop/btop.conf") << "update_ms = 5000\n";
  int master = -1;
  winsize size{50, 200, 0, 0};
  pid_t child = forkpty(&master, nullptr, nullptr, &size);
  if (child == 0) {
    setenv("HOME", home.c_str(), 1);
    setenv("TERM", "xterm-256color", 1);
    setenv("LANG", "C.UTF-8", 1);
    execlp("btop", "btop", "--utf-force", static_cast<char*>(nullptr));
    _exit(127);
  }
  if (child > 0) {
    drain = std::thread([master] {
      char buffer[65536];
      while (read(master, buffer, sizeof buffer) > 0) {
      }
      close(master);
    });
  }
  return child;
}

void stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 180;
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]).rfind("--seconds=", 0) == 0) seconds = std::atof(argv[i] + 10);

  hollin::bench::PausedChildren children;
  for (int size : {500, 2000}) {
    children.growTo(size);
    std::thread drain;
    pid_t hollin = startHollin(temporaryHome("hollin"));
    pid_t btop = startBtop(temporaryHome("btop"), drain);
    std::this_thread::sleep_for(warmUp);
    double hollinStart = cpuSeconds(hollin), btopStart = cpuSeconds(btop);
    double residentStart = statusMiB(hollin, "VmRSS");
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    double hollinCPU = cpuSeconds(hollin) - hollinStart, btopCPU = cpuSeconds(btop) - btopStart;
    double residentEnd = statusMiB(hollin, "VmRSS"), anonymousEnd = statusMiB(hollin, "RssAnon");
    const int processes = hollin::bench::processCount();
    stop(hollin);
    stop(btop);
    if (drain.joinable()) drain.join();

    if (hollinStart < 0 || btopStart < 0 || btopCPU <= 0) {
      std::printf("%d processes: hollin or btop did not run\n", size);
      continue;
    }
    const double ticks = seconds / tickSeconds;
    std::printf("%d processes over %.0f s: hollin %.2f ms per tick, btop %.2f ms per refresh, ratio %.3f\n",
                processes, seconds, 1000 * hollinCPU / ticks, 1000 * btopCPU / ticks, hollinCPU / btopCPU);
    std::printf("  hollin resident %.1f MiB at the start, %.1f MiB at the end (%.1f MiB anonymous)\n",
                residentStart, residentEnd, anonymousEnd);
  }
}
