#include "native/LiveSnapshotSources.h"

#include <time.h>

#include <memory>

#include "native/LoginSessionSource.h"
#include "native/NativeMetrics.h"

namespace hollin {

namespace {

std::optional<double> cpuTemperature() {
  double celsius = 0;
  if (hl_cpu_temperature(&celsius) == 0) return std::nullopt;
  return celsius;
}

struct ProcessListDeleter {
  void operator()(HLProcess* list) const { hl_free(list); }
};

}  // namespace

double bootTimeUptime() {
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

ProcessListing listProcesses() {
  HLProcess* raw = nullptr;
  std::int32_t error = 0;
  const std::int32_t count = hl_processes(&raw, &error);
  const std::unique_ptr<HLProcess, ProcessListDeleter> list(raw);
  if (count < 0) return Failure{error};
  std::vector<ProcessMemory> processes;
  processes.reserve(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) processes.push_back(processMemory(raw[i]));
  return processes;
}

SnapshotSources liveSnapshotSources() {
  return {
      .uptime = bootTimeUptime,
      .now = [] { return std::chrono::system_clock::now(); },
      .system = hl_system,
      .processes = listProcesses,
      .consoleUID = hl_console_uid,
      .cpuTemperature = cpuTemperature,
      .loginSessions = readLoginSessions,
  };
}

Snapshot takeLiveSnapshot() {
  static const SnapshotSources sources = liveSnapshotSources();
  static SnapshotCache cache;
  return Snapshot::take(sources, cache);
}

}  // namespace hollin
