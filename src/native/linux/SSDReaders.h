// The Linux readers behind hl_ssd_health and hl_ssd_temperature: the drive finder (which NVMe
// controller holds the home folder), the udisks2 source, the helper program's source and the
// drive's own temperature sensor. Each takes the root directory it reads under, as the other
// readers do, so tests point them at fixture trees.
#pragma once

#include "native/SSDHealth.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace hollin::native {

// The NVMe drive behind a folder: its controller ("nvme0", the character device that answers
// admin commands) and one namespace disk of it ("nvme0n1", the block device udisks2 lists).
struct SSDDrive {
  std::string controller;
  std::string disk;
  bool operator==(const SSDDrive&) const = default;
};

// The mount that holds `path` in a mountinfo text: the longest mount point that is `path` or
// one of its parent folders (the last listed of several at the same point), with its device
// number and source, unescaped ("\040" → " ").
struct MountEntry {
  std::uint32_t major = 0, minor = 0;
  std::string mountPoint, source;
  bool operator==(const MountEntry&) const = default;
};
std::optional<MountEntry> mountHolding(std::string_view mountinfo, std::string_view path);

// The one NVMe controller behind the folder `home` (a path on the machine under root), found
// from the mount table in the file `mountinfo` and the sysfs under root: partitions lead to
// their disk, device-mapper and md devices to all their slaves; absent when any device at the
// bottom is not an NVMe namespace, or when the bottom spans more than one controller.
std::optional<SSDDrive> findSSDDrive(const std::string& root, const std::string& home,
                                     const std::string& mountinfo);

// A counter of the record: 128 bits, little-endian, from a 64-bit value.
void putCounter(std::uint8_t (&counter)[16], std::uint64_t value);

// udisks2's view of the drive that holds namespace disk `disk` (its NVMe.Controller SMART
// attributes and properties), through the bus at `busAddress` (null: the system bus). Absent
// when udisks2 is missing or too old to know NVMe, has never read the drive, answers with
// unexpected types or not within `timeout`, or the spare fields are not sane.
std::optional<HLSSDReading> readUDisksHealth(const std::string& disk, const char* busAddress,
                                             std::chrono::milliseconds timeout = std::chrono::seconds(3));

// The helper program's page: exactly one log page on its output, parsed. Absent when the
// program fails, hangs past five seconds, writes anything but 512 bytes or a page that is not
// sane.
std::optional<HLSSDReading> readToolHealth(const std::string& toolPath);

// Where the helper program is installed next to the running program: <bin>/../libexec/hollin,
// else <bin> itself (the build tree). Empty when it is in neither place.
std::string smartReadToolPath();

// Where a reading comes from: the bus udisks2 is reached on (null: the system bus) and the
// helper program (empty: none).
struct SSDSources {
  const char* busAddress = nullptr;
  std::string toolPath;
  std::chrono::milliseconds busTimeout = std::chrono::seconds(3);
};

// One health reading of the drive behind `home`: udisks2 first, then the helper program.
std::optional<HLSSDReading> readSSDHealth(const std::string& root, const std::string& home,
                                          const SSDSources& sources);

// The composite temperature the drive's controller reports through hwmon under root, in °C
// within -20…120: the input labelled "Composite", else temp1.
std::optional<double> readSSDTemperature(const std::string& root, const std::string& controller);

}  // namespace hollin::native
