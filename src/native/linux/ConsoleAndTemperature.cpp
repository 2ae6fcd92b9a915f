// The console user's X display socket and the CPU temperature sensors.
#include "native/linux/NativeReaders.h"
#include "native/linux/KernelFiles.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>

namespace hollin::native {
namespace {

// hwmon drivers whose every temperature input is a CPU package, die or core.
bool cpuDriver(std::string_view name) {
  constexpr std::string_view drivers[] = {"coretemp",    "k10temp",     "k8temp",  "zenpower",
                                          "cpu_thermal", "cpu-thermal", "via_cputemp"};
  return std::find(std::begin(drivers), std::end(drivers), name) != std::end(drivers);
}

// Thermal zones that measure the CPU ("x86_pkg_temp", "cpu-thermal", "cpu0-thermal", …).
bool cpuZone(std::string_view type) {
  return type == "x86_pkg_temp" || type.starts_with("cpu") || type.find("-cpu") != std::string_view::npos;
}

}  // namespace

std::vector<std::string> entriesStartingWith(const std::string& folder, std::string_view prefix) {
  std::vector<std::string> names;
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir) return names;
  while (auto* entry = ::readdir(dir.get()))
    if (std::string_view(entry->d_name).starts_with(prefix)) names.emplace_back(entry->d_name);
  std::sort(names.begin(), names.end());
  return names;
}

std::string firstLine(const std::string& path) {
  auto text = readSmallFile(path).value_or("");
  return text.substr(0, text.find('\n'));
}

std::optional<std::int64_t> integerFile(const std::string& path) {
  const std::string text = firstLine(path);
  std::int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<double> millidegrees(const std::string& path) {
  const auto value = integerFile(path);
  if (!value) return std::nullopt;
  return static_cast<double>(*value) / 1000.0;
}

std::uint32_t consoleUidFromDisplay(const std::string& root, const char* display) {
  constexpr std::uint32_t unknown = 4294967295u;
  if (!display) return unknown;
  std::string_view name = display;
  // Only a local display has a socket: ":N", ":N.S" or "unix:N".
  if (name.starts_with("unix:")) name.remove_prefix(4);
  if (!name.starts_with(':')) return unknown;
  name.remove_prefix(1);
  unsigned number = 0;
  auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), number);
  if (error != std::errc() || (end != name.data() + name.size() && *end != '.')) return unknown;
  struct stat socket {};
  auto path = underRoot(root, files::x11Sockets) + std::to_string(number);
  if (::stat(path.c_str(), &socket) != 0) return unknown;
  return socket.st_uid;
}

std::optional<double> readCpuTemperature(const std::string& root) {
  std::optional<double> hottest;
  auto consider = [&](const std::string& path) {
    auto celsius = millidegrees(path);
    if (celsius && plausibleTemperature(*celsius) && (!hottest || *celsius > *hottest)) hottest = celsius;
  };
  const std::string hwmon = underRoot(root, files::hwmon);
  for (const auto& name : entriesStartingWith(hwmon, "hwmon")) {
    const std::string device = hwmon + "/" + name;
    if (!cpuDriver(firstLine(device + "/name"))) continue;
    for (const auto& input : entriesStartingWith(device, "temp"))
      if (input.ends_with("_input")) consider(device + "/" + input);
  }
  const std::string zones = underRoot(root, files::thermalZones);
  for (const auto& zone : entriesStartingWith(zones, "thermal_zone"))
    if (cpuZone(firstLine(zones + "/" + zone + "/type"))) consider(zones + "/" + zone + "/temp");
  return hottest;
}

}  // namespace hollin::native
