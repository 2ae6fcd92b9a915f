#include "app/sampling/LiveSampling.h"

#include <memory>

#include "core/scope/LoginSessions.h"
#include "native/NativeMetrics.h"

namespace hollin {
namespace {

std::optional<double> cpuTemperature() {
  double celsius = 0;
  if (hl_cpu_temperature(&celsius) == 0) return std::nullopt;
  return celsius;
}

template <auto release>
struct Releaser {
  template <class T>
  void operator()(T* list) const { release(list); }
};

}  // namespace

ProcessListing listProcesses() {
  HLProcess* raw = nullptr;
  std::int32_t error = 0;
  const std::int32_t count = hl_processes(&raw, &error);
  const std::unique_ptr<HLProcess, Releaser<hl_free>> list(raw);
  if (count < 0) return Failure{error};
  std::vector<ProcessMemory> processes;
  processes.reserve(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) processes.push_back(processMemory(raw[i]));
  return processes;
}

std::optional<PlistValue> readLoginSessions() {
  HLLoginSession* raw = nullptr;
  const std::int32_t count = hl_login_sessions(&raw);
  const std::unique_ptr<HLLoginSession, Releaser<hl_free_sessions>> list(raw);
  return LoginSessions::value(raw, count);
}

SnapshotSources liveSnapshotSources() {
  return {
      .uptime = hl_uptime,
      .now = [] { return std::chrono::system_clock::now(); },
      .system = hl_system,
      .processes = listProcesses,
      .consoleUID = hl_console_uid,
      .cpuTemperature = cpuTemperature,
      .loginSessions = readLoginSessions,
  };
}

}  // namespace hollin
