// Every file and folder of the running system that the Linux layer reads. Paths under /proc,
// /sys and /tmp are read below the host root; logind's state always belongs to the running
// system, which is what sd-login itself reads.
#pragma once

#include <string_view>

namespace hollin::native::files {

inline constexpr std::string_view proc = "/proc";
inline constexpr std::string_view meminfo = "/proc/meminfo";
inline constexpr std::string_view stat = "/proc/stat";
inline constexpr std::string_view vmstat = "/proc/vmstat";
inline constexpr std::string_view memoryPressure = "/proc/pressure/memory";
inline constexpr std::string_view blockDevices = "/sys/block";
inline constexpr std::string_view hwmon = "/sys/class/hwmon";
inline constexpr std::string_view thermalZones = "/sys/class/thermal";
inline constexpr std::string_view powerSupplies = "/sys/class/power_supply";
// The SSD: the mount table, block devices by number and by name, NVMe controllers, and the
// device nodes a mount's source names.
inline constexpr std::string_view mountinfo = "/proc/self/mountinfo";
inline constexpr std::string_view blockNumbers = "/sys/dev/block";  // + "/major:minor"
inline constexpr std::string_view blockClass = "/sys/class/block";
inline constexpr std::string_view nvmeControllers = "/sys/class/nvme";
inline constexpr std::string_view devices = "/dev/";
inline constexpr std::string_view deviceMapper = "/dev/mapper/";
// Timeshift: its configuration (current and older place), the links that name a device by its
// file-system UUID, and the mount table that says where a device is mounted.
inline constexpr std::string_view timeshiftConfiguration = "/etc/timeshift/timeshift.json";
inline constexpr std::string_view timeshiftOlderConfiguration = "/etc/timeshift.json";
inline constexpr std::string_view disksByUuid = "/dev/disk/by-uuid/";
inline constexpr std::string_view mounts = "/proc/self/mounts";
// The running program itself (never under the host root): the SSD helper is installed beside it.
inline constexpr const char* selfExecutable = "/proc/self/exe";
inline constexpr std::string_view x11Sockets = "/tmp/.X11-unix/X";  // + display number
// Crash records: systemd-coredump's dumps and apport's reports. The journal's own folders are
// found by sd-journal under the root it is given.
inline constexpr std::string_view coreDumps = "/var/lib/systemd/coredump";
inline constexpr std::string_view apportCrashes = "/var/crash";
// Where the kernel sends core dumps, this boot's id, and the system's name and version (the
// second place is the fallback os-release names).
inline constexpr std::string_view corePattern = "/proc/sys/kernel/core_pattern";
inline constexpr std::string_view bootID = "/proc/sys/kernel/random/boot_id";
inline constexpr std::string_view osRelease = "/etc/os-release";
inline constexpr std::string_view osReleaseFallback = "/usr/lib/os-release";
// What the firmware calls the computer (DMI), and the device tree's name where there is no DMI.
inline constexpr std::string_view productName = "/sys/class/dmi/id/product_name";
inline constexpr std::string_view systemVendor = "/sys/class/dmi/id/sys_vendor";
inline constexpr std::string_view deviceTreeModel = "/sys/firmware/devicetree/base/model";
// Exists exactly while systemd-logind runs (the test sd-login uses itself).
inline constexpr const char* logindSeats = "/run/systemd/seats/";

}  // namespace hollin::native::files
