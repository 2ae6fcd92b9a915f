// One full sample of the native layer (hl_system, hl_processes, hl_free) against one run of
// `ps -e -o pid,uid,lstart,rss,comm` over the same machine, at about 100, 500 and 2000
// processes. The benchmark starts the extra processes itself (children that wait in pause())
// and kills only those. Both sides are measured in CPU time: the sample's own, and ps's from
// the child's resource usage, since ps's start-up is part of what it costs.
#include "native/NativeMetrics.h"

#include "PausedChildren.h"

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

namespace {

hollin::bench::PausedChildren children;
using hollin::bench::processCount;

void growTo(int total) { children.growTo(total); }

void sample(benchmark::State& state) {
  growTo(static_cast<int>(state.range(0)));
  auto once = [] {
    auto system = hl_system();
    benchmark::DoNotOptimize(system);
    HLProcess* list = nullptr;
    std::int32_t error = 0;
    benchmark::DoNotOptimize(hl_processes(&list, &error));
    hl_free(list);
  };
  once();  // steady state: every process's descriptor is already held
  for (auto _ : state) once();
  state.counters["processes"] = processCount();
}

// CPU seconds of one ps run, from the child's resource usage.
double psSeconds() {
  pid_t child = fork();
  if (child == 0) {
    if (!freopen("/dev/null", "w", stdout)) _exit(127);
    execlp("ps", "ps", "-e", "-o", "pid,uid,lstart,rss,comm", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void ps(benchmark::State& state) {
  growTo(static_cast<int>(state.range(0)));
  for (auto _ : state) state.SetIterationTime(psSeconds());
  state.counters["processes"] = processCount();
}

// Prints the usual table, then sample ÷ ps at each size (the sample's CPU time, ps's manual time).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const auto& run : runs) {
      auto name = run.benchmark_name();
      int size = std::atoi(name.c_str() + name.find('/') + 1);
      if (name.starts_with("sample")) hollin_[size] = run.GetAdjustedCPUTime();
      if (name.starts_with("ps")) ps_[size] = run.GetAdjustedRealTime();
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const auto& [size, time] : ps_)
      if (hollin_.count(size) && time > 0)
        std::printf("ratio at %d processes: sample / ps = %.3f\n", size, hollin_[size] / time);
  }

 private:
  std::map<int, double> hollin_, ps_;
};

}  // namespace

int main(int argc, char** argv) {
  // Sizes grow only, so each size runs both sides before the next adds processes.
  for (int size : {100, 500, 2000}) {
    benchmark::RegisterBenchmark("sample", sample)->Arg(size)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("ps", ps)->Arg(size)->UseManualTime()->Unit(benchmark::kMicrosecond);
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  children.stop();
  benchmark::Shutdown();
}
