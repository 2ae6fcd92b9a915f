// The running application against btop on the same machine in the same run, at about 500 and
// 2000 processes: btop refreshing every 5 s on a pseudo-terminal, and four Hollins with their
// 5 s tick side by side: headless; on a display with a tray, where only the icon shows (a
// desktop's usual state; the window is built when first opened); on a display without a
// tray, where the window is built and shown; and headless with the metrics export on, whose
// cost is the difference to the first. Each one's CPU time over the same stretch, per tick and
// per refresh, and Hollin's resident memory at the start and the end, which must not grow.
// Then start-up: the time from launch to the first self-health record at 2000 processes, on a
// display with a tray and headless, against the time a bare Qt widgets program takes to show a
// window, reach its event loop and write a file (reference/bare_qt), each the median of seven
// launches.
//
//   app_tick_bench [--seconds=N] [--start-up-only]   (N per size, default 120; other arguments
//                                                   are ignored)
#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "PausedChildren.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double tickSeconds = 5.0;
constexpr auto warmUp = std::chrono::seconds(15);

// CPU seconds of a running process: the scheduler's run time of each of its threads, in
// nanoseconds (/proc/PID/task/TID/schedstat), where utime and stime count 10 ms clock ticks, too
// coarse to tell a tenth of a millisecond per tick apart.
double cpuSeconds(pid_t pid) {
  double seconds = 0;
  std::error_code error;
  for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
    std::ifstream file(task.path() / "schedstat");
    unsigned long long nanoseconds = 0;
    if (file >> nanoseconds) seconds += static_cast<double>(nanoseconds) / 1e9;
  }
  return seconds;
}

// A "Key:   N kB" line of /proc/PID/status, in MiB.
double statusMiB(pid_t pid, const std::string& key) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(file, line))
    if (line.rfind(key + ":", 0) == 0) return std::atof(line.c_str() + key.size() + 1) / 1024.0;
  return -1;
}

std::string temporaryFolder(const char* name) {
  std::string path = "/tmp/hollin-bench-" + std::string(name) + "-XXXXXX";
  return mkdtemp(path.data()) ? path : "/tmp";
}

// Starts a program with its output dropped; `environment` is set on top of ours.
pid_t launch(const std::vector<std::string>& command, const std::map<std::string, std::string>& environment,
             const std::vector<std::string>& unset = {}) {
  std::fflush(stdout);  // a child must not write what this process has not written yet
  pid_t child = fork();
  if (child == 0) {
    for (const auto& name : unset) unsetenv(name.c_str());
    for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
    const int null = open("/dev/null", O_WRONLY);
    if (null < 0 || dup2(null, STDOUT_FILENO) < 0 || dup2(null, STDERR_FILENO) < 0) _exit(127);
    std::vector<char*> argv;
    for (const auto& part : command) argv.push_back(const_cast<char*>(part.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  return child;
}

void stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

// A session bus of its own, as every desktop session has: without one the D-Bus library would
// start a bus for each program that asks.
struct SessionBus {
  SessionBus() {
    folder = temporaryFolder("bus");
    config = folder + "/bus.conf";
    std::ofstream(config) << "<busconfig><type>session</type><listen>unix:dir=" << folder
                          << "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow user=\"*\"/>"
                             "<allow own=\"*\"/><allow send_destination=\"*\"/><allow receive_sender=\"*\"/>"
                             "</policy></busconfig>\n";
    int out[2];
    if (pipe(out) != 0) return;
    daemon = fork();
    if (daemon == 0) {
      dup2(out[1], STDOUT_FILENO);
      // No service of the machine is started on demand: a notification daemon would want a
      // display of its own, and the measured programs only need the bus.
      execlp("dbus-daemon", "dbus-daemon", ("--config-file=" + config).c_str(), "--nofork", "--print-address=1",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    char line[512] = {};
    const ssize_t got = read(out[0], line, sizeof line - 1);
    close(out[0]);
    if (got > 0) address.assign(line, static_cast<std::size_t>(got));
    while (!address.empty() && address.back() == '\n') address.pop_back();
    setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
  }
  ~SessionBus() { stop(daemon); }
  pid_t daemon = -1;
  std::string folder, config, address;
};

// An X server of its own (display :N) with, when asked, a tray host.
struct Display {
  explicit Display(int number, bool tray) : name(":" + std::to_string(number)) {
    server = launch({"Xvfb", name, "-screen", "0", "1400x1000x24", "-nolisten", "tcp", "-noreset"}, {});
    std::this_thread::sleep_for(std::chrono::seconds(1));
    if (tray) host = launch({"trayer", "--edge", "top"}, {{"DISPLAY", name}});
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  ~Display() {
    stop(host);
    stop(server);
  }
  std::string name;
  pid_t server = -1, host = -1;
};

// Hollin with a home of its own, headless unless a display is given; with `exporting`, its
// settings switch the metrics export on, into a folder of that home.
pid_t startHollin(const std::string& home, const std::string& display, bool exporting = false) {
  std::map<std::string, std::string> environment{{"HOME", home}, {"XDG_DATA_HOME", home + "/data"},
                                                 {"XDG_CONFIG_HOME", home + "/config"}, {"XDG_RUNTIME_DIR", home}};
  if (exporting) {
    std::filesystem::create_directories(home + "/config/Hollin");
    std::filesystem::create_directories(home + "/textfile");
    std::ofstream(home + "/config/Hollin/Hollin.ini") << "[General]\nmetricsTextfileFolder=" << home << "/textfile\n";
  }
  if (!display.empty()) environment["DISPLAY"] = display;
  return launch({HOLLIN_BINARY_DIR "/src/app/hollin"}, environment,
                display.empty() ? std::vector<std::string>{"DISPLAY", "WAYLAND_DISPLAY"} : std::vector<std::string>{"WAYLAND_DISPLAY"});
}

// btop needs a terminal: it gets a pseudo-terminal whose output a thread reads and drops. Its
// refresh interval comes from its configuration file.
pid_t startBtop(const std::string& home, std::thread& drain) {
  std::filesystem::create_directories(home + "/.config/btop");
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

// Seconds from launch until `file` exists, or a negative number after 30 s.
double secondsUntil(pid_t child, const std::string& file) {
  const auto start = Clock::now();
  while (!std::filesystem::exists(file)) {
    if (Clock::now() - start > std::chrono::seconds(30)) return -1;
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  stop(child);
  return seconds;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? -1 : values[values.size() / 2];
}

struct Run {
  const char* name;
  pid_t pid = -1;
  double start = 0, residentStart = 0;
};

}  // namespace

int main(int argc, char** argv) {
  double seconds = 120;
  bool ticks = true;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]).rfind("--seconds=", 0) == 0) seconds = std::atof(argv[i] + 10);
    if (std::string(argv[i]) == "--start-up-only") ticks = false;
  }

  hollin::bench::PausedChildren children;
  SessionBus bus;
  Display withTray(71, true), withoutTray(72, false);
  for (int size : {500, 2000}) {
    children.growTo(size);
    if (!ticks) continue;
    std::thread drain;
    pid_t btop = startBtop(temporaryFolder("btop"), drain);
    Run runs[] = {{"headless"}, {"tray icon, no window"}, {"window shown"}, {"headless, exporting"}};
    runs[0].pid = startHollin(temporaryFolder("headless"), "");
    runs[1].pid = startHollin(temporaryFolder("tray"), withTray.name);
    runs[2].pid = startHollin(temporaryFolder("shown"), withoutTray.name);
    runs[3].pid = startHollin(temporaryFolder("export"), "", true);
    std::this_thread::sleep_for(warmUp);
    const double btopStart = cpuSeconds(btop);
    for (Run& run : runs) {
      run.start = cpuSeconds(run.pid);
      run.residentStart = statusMiB(run.pid, "VmRSS");
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double btopCPU = cpuSeconds(btop) - btopStart;
    const double ticks = seconds / tickSeconds;
    std::printf("%d processes over %.0f s: btop %.2f ms per refresh\n", hollin::bench::processCount(), seconds,
                1000 * btopCPU / ticks);
    double tickCPU[std::size(runs)] = {};
    for (std::size_t index = 0; index < std::size(runs); ++index) {
      Run& run = runs[index];
      const double cpu = tickCPU[index] = cpuSeconds(run.pid) - run.start;
      std::printf("  hollin, %-20s %.2f ms per tick, ratio %.3f; resident %.1f MiB at the start, %.1f MiB at the end\n",
                  run.name, 1000 * cpu / ticks, btopCPU > 0 ? cpu / btopCPU : -1, run.residentStart,
                  statusMiB(run.pid, "VmRSS"));
      stop(run.pid);
    }
    // The two headless runs differ only in the export: its share of a tick.
    std::printf("  the metrics export adds %+.1f %% to the CPU per headless tick\n",
                tickCPU[0] > 0 ? 100 * (tickCPU[3] - tickCPU[0]) / tickCPU[0] : 0.0);
    stop(btop);
    if (drain.joinable()) drain.join();
  }

  // Start-up at 2000 processes: on the display with a tray, and headless against a bare program
  // on Qt's offscreen platform.
  for (const bool headless : {false, true}) {
    std::vector<double> hollinStarts, bareStarts;
    for (int round = 0; round < 7; ++round) {
      const std::string home = temporaryFolder("start");
      hollinStarts.push_back(
          secondsUntil(startHollin(home, headless ? "" : withTray.name), home + "/data/Hollin/health.json"));
      const std::string record = temporaryFolder("bare") + "/record.json";
      std::map<std::string, std::string> environment{{"BARE_QT_RECORD", record}};
      if (headless) environment["QT_QPA_PLATFORM"] = "offscreen";
      else environment["DISPLAY"] = withTray.name;
      bareStarts.push_back(secondsUntil(launch({HOLLIN_BINARY_DIR "/bench/reference/bare_qt"}, environment), record));
    }
    const double hollinStart = median(hollinStarts), bareStart = median(bareStarts);
    std::printf("start-up to the first record at %d processes, %s: hollin %.0f ms, bare Qt %.0f ms, ratio %.2f\n",
                hollin::bench::processCount(), headless ? "headless" : "display with a tray", 1000 * hollinStart,
                1000 * bareStart, hollinStart / bareStart);
  }
}
