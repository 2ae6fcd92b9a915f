// One probe pass at 20 applications against one run of `xprop -root` on the same desktop: a
// private Xvfb with openbox, a private session bus with at-spi2-core's accessibility bus
// switched on, and 20 small Qt applications on both. The pass is what a tick sets off: the
// desktop's application list (registry, bus daemon, X client list), the choice of nine, and
// the worker process asking each of them. Both sides are measured in wall time and in CPU time
// (this process's and its children's together); xprop is what a user would run to ask the
// same X server something.
//
//   probe_pass_bench [google benchmark flags]
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "app/response/LiveWorkspace.h"
#include "app/response/ProbePass.h"
#include "core/response/ProbeRotation.h"
#include "native/Desktop.h"
#include "native/NativeMetrics.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
constexpr int applicationCount = 20;

pid_t spawn(const std::vector<std::string>& command, int out = -1, int in = -1) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (in >= 0) posix_spawn_file_actions_adddup2(&actions, in, 0);
  else posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (out >= 0) posix_spawn_file_actions_adddup2(&actions, out, 1);
  else posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  for (const auto& part : command) argv.push_back(const_cast<char*>(part.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// The first line a program writes, then it runs on.
std::string firstLine(const std::vector<std::string>& command, pid_t& pid) {
  int ends[2];
  if (::pipe(ends) != 0) return {};
  pid = spawn(command, ends[1]);
  ::close(ends[1]);
  std::string line;
  char c;
  while (::read(ends[0], &c, 1) == 1 && c != '\n') line += c;
  ::close(ends[0]);
  return line;
}

bool waitFor(const std::function<bool()>& done, std::chrono::seconds deadline) {
  const auto until = std::chrono::steady_clock::now() + deadline;
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(50ms);
  }
  return true;
}

class Desktop {
 public:
  bool start() {
    pid_t pid = 0;
    const std::string display = firstLine({"Xvfb", "-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset"}, pid);
    started_.push_back(pid);
    if (display.empty()) return std::fputs("no Xvfb\n", stderr), false;
    ::setenv("DISPLAY", (":" + display).c_str(), 1);
    char folder[] = "/tmp/hollin-bench-XXXXXX";
    if (!::mkdtemp(folder)) return false;
    const std::string config = std::string(folder) + "/bus.conf";
    FILE* file = std::fopen(config.c_str(), "w");
    std::fprintf(file,
                 "<busconfig><type>session</type><listen>unix:dir=%s</listen><auth>EXTERNAL</auth><policy "
                 "context=\"default\"><allow user=\"*\"/><allow own=\"*\"/><allow send_destination=\"*\"/><allow "
                 "receive_sender=\"*\"/></policy></busconfig>\n",
                 folder);
    std::fclose(file);
    const std::string address = firstLine({"dbus-daemon", "--config-file=" + config, "--nofork", "--print-address=1"}, pid);
    started_.push_back(pid);
    if (address.empty()) return std::fputs("no dbus-daemon\n", stderr), false;
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    ::setenv("GSETTINGS_BACKEND", "memory", 1);
    started_.push_back(spawn({"/usr/libexec/at-spi-bus-launcher"}));
    started_.push_back(spawn({"openbox"}));
    if (!waitFor([] { return hollin::native::AccessibilityBus::enable(2000ms); }, 10s)) return std::fputs("no accessibility bus\n", stderr), false;
    std::this_thread::sleep_for(1s);  // openbox takes the root window
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    // The applications end when their input does; this one stays open until the end.
    if (::pipe2(commands_, O_CLOEXEC) != 0) return false;
    for (int i = 0; i < applicationCount; ++i) {
      applications_.push_back(spawn({HOLLIN_BINARY_DIR "/tests/hollin-test-responsive-app"}, -1, commands_[0]));
      started_.push_back(applications_.back());
    }
    hollin::LiveWorkspace workspace;
    return waitFor([&] { return workspace.read().applications.size() >= applicationCount; }, 60s);
  }
  void stop() {
    for (auto it = started_.rbegin(); it != started_.rend(); ++it)
      if (*it > 0) {
        ::kill(*it, SIGTERM);
        ::waitpid(*it, nullptr, 0);
      }
  }

 private:
  std::vector<pid_t> started_, applications_;
  int commands_[2] = {-1, -1};
};

// CPU seconds of this process and its reaped children so far.
double cpuSeconds() {
  auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
  rusage self{}, children{};
  getrusage(RUSAGE_SELF, &self);
  getrusage(RUSAGE_CHILDREN, &children);
  return seconds(self.ru_utime) + seconds(self.ru_stime) + seconds(children.ru_utime) + seconds(children.ru_stime);
}

std::map<std::string, double> cpuPerRun;

void probePass(benchmark::State& state) {
  hollin::LiveWorkspace workspace;
  hollin::ProbeRotation rotation;
  const hollin::ProbeCommand worker{HOLLIN_BINARY_DIR "/src/app/hollin", {"--probe-worker"}};
  const auto me = static_cast<std::uint32_t>(::getuid());
  double cpu = 0;
  for (auto _ : state) {
    const double before = cpuSeconds();
    hollin::Snapshot snapshot;
    snapshot.workspace = workspace.read();
    for (const auto& application : snapshot.workspace.applications) {
      std::uint32_t owner = 0;
      std::uint64_t start = 0;
      if (hl_identity(application.pid, &owner, &start)) snapshot.processes.push_back({application.pid, owner, start, "app", {}, {}});
    }
    const auto requests = rotation.next(snapshot.workspace, snapshot, me, ::getpid(), std::chrono::system_clock::now() + 60s, "app");
    bool ok = false;
    hollin::runProbePass(worker, requests, {[] {}, [&](std::vector<hollin::ProbeResult> results, bool whole) {
                                              ok = whole && results.size() == requests.size();
                                            }});
    if (!ok || requests.size() != 9) state.SkipWithError("the pass did not ask nine applications");
    cpu += cpuSeconds() - before;
  }
  cpuPerRun["pass"] = cpu / static_cast<double>(state.iterations());
  state.counters["applications"] = applicationCount;
}

void xpropRoot(benchmark::State& state) {
  double cpu = 0;
  for (auto _ : state) {
    const double before = cpuSeconds();
    int status = 0;
    ::waitpid(spawn({"xprop", "-root"}), &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("xprop failed");
    cpu += cpuSeconds() - before;
  }
  cpuPerRun["xprop"] = cpu / static_cast<double>(state.iterations());
}

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const auto& run : runs) wall_[run.benchmark_name().starts_with("probePass") ? "pass" : "xprop"] = run.GetAdjustedRealTime();
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    if (wall_.count("pass") && wall_.count("xprop") && wall_["xprop"] > 0)
      std::printf("ratio at %d applications: probe pass / xprop -root = %.2f wall, %.2f CPU (%.1f ms / %.1f ms of CPU)\n",
                  applicationCount, wall_["pass"] / wall_["xprop"], cpuPerRun["pass"] / cpuPerRun["xprop"],
                  cpuPerRun["pass"] * 1e3, cpuPerRun["xprop"] * 1e3);
  }

 private:
  std::map<std::string, double> wall_;
};

}  // namespace

int main(int argc, char** argv) {
  Desktop desktop;
  if (!desktop.start()) {
    std::fprintf(stderr, "probe_pass_bench: the desktop (Xvfb, dbus-daemon, at-spi2-core, openbox) did not start\n");
    desktop.stop();
    return 1;
  }
  benchmark::RegisterBenchmark("probePass", probePass)->Unit(benchmark::kMillisecond)->UseRealTime();
  benchmark::RegisterBenchmark("xpropRoot", xpropRoot)->Unit(benchmark::kMillisecond)->UseRealTime();
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  desktop.stop();
  benchmark::Shutdown();
}
