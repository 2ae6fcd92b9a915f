// hl_ssd_health and hl_ssd_temperature: the drive behind the home folder, read through
// udisks2 when it knows the drive, else through the helper program that holds the privileges
// the log page needs; its temperature from the controller's hwmon sensor.
#include "native/SSDHealth.h"

#include "native/linux/KernelFiles.h"
#include "native/linux/NativeReaders.h"
#include "native/linux/SSDReaders.h"
#include "native/ToolRunner.h"

#include <unistd.h>

#include <vector>

namespace hollin::native {
namespace {

constexpr const char* toolName = "hollin-smart-read";

// The hwmon folders of a controller: its own (newer kernels) or its PCI device's, each either
// directly inside or inside a "hwmon" folder.
std::vector<std::string> hwmonFolders(const std::string& controller) {
  std::vector<std::string> folders;
  for (const auto& base : {controller, controller + "/device"})
    for (const auto& name : entriesStartingWith(base, "hwmon")) {
      if (name == "hwmon")
        for (const auto& inner : entriesStartingWith(base + "/hwmon", "hwmon")) folders.push_back(base + "/hwmon/" + inner);
      else
        folders.push_back(base + "/" + name);
    }
  return folders;
}

std::optional<SSDDrive> liveDrive() {
  const auto& root = hostRoot();
  return findSSDDrive(root, homeFolder(), underRoot(root, files::mountinfo));
}

}  // namespace

std::optional<HLSSDReading> readToolHealth(const std::string& toolPath) {
  // The helper answers at once or not at all; a page is 512 bytes, so more than a few
  // kilobytes is no page.
  const auto output = runTool({toolPath, {}, std::chrono::seconds(5), 4096});
  if (!output || output->size() != HL_SSD_PAGE_SIZE) return std::nullopt;
  HLSSDReading reading{};
  if (hl_ssd_parse_page(reinterpret_cast<const std::uint8_t*>(output->data()), output->size(), &reading) != 1)
    return std::nullopt;
  return reading;
}

std::string smartReadToolPath() {
  char target[4096];
  const ssize_t length = ::readlink(files::selfExecutable, target, sizeof target);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target) return {};
  const std::string self(target, static_cast<std::size_t>(length));
  const std::string folder = self.substr(0, self.rfind('/'));
  // Installed: bin/hollin and libexec/hollin/…; in the build tree the helper sits beside it.
  for (const auto& candidate : {folder + "/../libexec/hollin/" + toolName, folder + "/" + toolName})
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  return {};
}

std::optional<HLSSDReading> readSSDHealth(const std::string& root, const std::string& home,
                                          const SSDSources& sources) {
  const auto drive = findSSDDrive(root, home, underRoot(root, files::mountinfo));
  if (!drive) return std::nullopt;
  if (auto reading = readUDisksHealth(drive->disk, sources.busAddress, sources.busTimeout)) return reading;
  if (sources.toolPath.empty()) return std::nullopt;
  return readToolHealth(sources.toolPath);
}

std::optional<double> readSSDTemperature(const std::string& root, const std::string& controller) {
  const std::string folder = underRoot(root, files::nvmeControllers) + "/" + controller;
  for (const auto& hwmon : hwmonFolders(folder)) {
    std::string input = hwmon + "/temp1_input";
    for (const auto& label : entriesStartingWith(hwmon, "temp"))
      if (label.ends_with("_label") && firstLine(hwmon + "/" + label) == "Composite") {
        input = hwmon + "/" + label.substr(0, label.size() - 6) + "_input";
        break;
      }
    const auto celsius = millidegrees(input);
    if (celsius && *celsius >= -20 && *celsius <= 120) return celsius;
  }
  return std::nullopt;
}

}  // namespace hollin::native

using namespace hollin::native;

extern "C" {

int32_t hl_ssd_health(HLSSDReading* out) {
  if (!out) return 0;
  const auto reading = readSSDHealth(hostRoot(), homeFolder(), {nullptr, smartReadToolPath()});
  if (!reading) return 0;
  *out = *reading;
  return 1;
}

int32_t hl_ssd_temperature(double* celsius) {
  if (!celsius) return 0;
  const auto drive = liveDrive();
  const auto reading = drive ? readSSDTemperature(hostRoot(), drive->controller) : std::nullopt;
  if (!reading) return 0;
  *celsius = *reading;
  return 1;
}

}
