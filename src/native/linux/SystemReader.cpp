// hl_system over a root directory: /proc/meminfo, /proc/vmstat, /proc/stat, PSI, zram, statvfs.
#include "native/linux/NativeReaders.h"
#include "native/linux/CheckedArithmetic.h"
#include "native/linux/KernelFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <memory>

namespace hollin::native {
namespace {

// Memory every zram device holds for its compressed pages, or absent when one cannot be read.
std::optional<std::uint64_t> zramMemory(const std::string& root) {
  std::uint64_t total = 0;
  auto block = underRoot(root, files::blockDevices);
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(block.c_str()), closedir);
  if (!dir) return total;  // no block devices visible: no zram either
  while (auto* entry = readdir(dir.get())) {
    std::string_view name = entry->d_name;
    if (!name.starts_with("zram")) continue;
    auto text = readSmallFile(block + "/" + entry->d_name + "/mm_stat");
    auto sum = checkedSum({total, text ? parseZramMemUsed(*text) : std::nullopt});
    if (!sum) return std::nullopt;
    total = *sum;
  }
  return total;
}

// /proc/vmstat "pswpout": pages written to swap since boot, in bytes.
std::optional<std::uint64_t> swapOutBytes(const std::string& root) {
  auto text = readSmallFile(underRoot(root, files::vmstat));
  if (!text) return std::nullopt;
  return checkedProduct(parseVmStat(*text, "pswpout"), static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)));
}

void readMemory(const std::string& root, const MemInfo& memory, HLSystem& system) {
  system.physical = memory.memTotal.value_or(0);
  if (memory.memTotal && memory.memAvailable && *memory.memAvailable <= *memory.memTotal &&
      *memory.memTotal > 0) {
    system.memory_used = *memory.memTotal - *memory.memAvailable;
    system.memory_used_valid = 1;
  }
  if (memory.swapTotal && memory.swapFree && *memory.swapFree <= *memory.swapTotal) {
    system.swap_used = *memory.swapTotal - *memory.swapFree;
    system.swap_valid = 1;
  }

  // Wired: what can be neither reclaimed nor swapped. Unevictable covers mlocked and ramfs
  // pages; the kernel's own unreclaimable slab, stacks and page tables are pinned as well.
  auto wired = checkedSum({memory.unevictable, memory.sUnreclaim, memory.kernelStack, memory.pageTables});
  if (!wired) return;
  auto swapouts = swapOutBytes(root);
  // Kernels without zswap have no line.
  auto compressed = checkedSum({memory.zswap.value_or(0), zramMemory(root)});
  if (!swapouts || !compressed) return;
  system.wired = *wired;
  system.compressed = *compressed;
  system.swapouts = *swapouts;
  system.vm_valid = 1;
}

void readCpu(const std::string& root, HLSystem& system) {
  auto text = readSmallFile(underRoot(root, files::stat));
  auto ticks = text ? parseCpuTicks(*text) : std::nullopt;
  if (!ticks) return;
  system.cpu_busy = ticks->busy;
  system.cpu_idle = ticks->idle;
  system.cpu_valid = 1;
}

void readDisk(const std::string& path, HLSystem& system) {
  struct statvfs volume {};
  if (statvfs(path.c_str(), &volume) != 0) return;
  std::uint64_t block = volume.f_frsize, available = volume.f_bavail, total = volume.f_blocks;
  auto totalBytes = checkedProduct(total, block);
  if (block == 0 || available > total || !totalBytes) return;
  system.disk_available = available * block;  // no more than the total, which fits
  system.disk_total = *totalBytes;
  system.disk_valid = 1;
}

}  // namespace

HLSystem readSystem(const std::string& root, const std::string& diskPath) {
  HLSystem system{};
  auto meminfo = readSmallFile(underRoot(root, files::meminfo));
  auto memory = meminfo ? parseMemInfo(*meminfo) : MemInfo{};
  readMemory(root, memory, system);
  readCpu(root, system);

  auto psi = readSmallFile(underRoot(root, files::memoryPressure));
  if (auto level = pressureLevel(psi ? parsePressureStall(*psi) : std::nullopt, memory)) {
    system.pressure = *level;
    system.pressure_valid = 1;
  }
  readDisk(diskPath, system);
  return system;
}

std::string underRoot(const std::string& root, std::string_view path) {
  std::string_view base = root;
  while (!base.empty() && base.back() == '/') base.remove_suffix(1);
  return std::string(base).append(path);
}

std::optional<std::string> readSmallFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string text;
  char chunk[16384];
  ssize_t got = 0;
  constexpr std::size_t limit = 1 << 20;  // kernel text files are far smaller
  while ((got = ::read(fd, chunk, sizeof chunk)) > 0 && text.size() < limit) text.append(chunk, got);
  ::close(fd);
  if (got < 0) return std::nullopt;
  return text;
}

}  // namespace hollin::native
