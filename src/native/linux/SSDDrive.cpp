// The drive finder: the NVMe controller behind the home folder. The mount table gives the
// device that holds the folder; sysfs leads from it down to the disks at the bottom (through
// partitions, device-mapper and md), and from each disk to its controller. Paths are resolved
// by hand within the root, so a fixture tree with relative links reads like the real /sys.
#include "native/linux/KernelFiles.h"
#include "native/linux/NativeReaders.h"
#include "native/linux/SSDReaders.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <memory>
#include <set>
#include <vector>

namespace hollin::native {
namespace {

std::vector<std::string> components(std::string_view path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    const auto end = std::min(path.find('/', start), path.size());
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::string joined(const std::vector<std::string>& parts) {
  std::string path;
  for (const auto& part : parts) path += "/" + part;
  return path.empty() ? "/" : path;
}

// "." and ".." taken out and slashes collapsed, without looking at the file system.
std::string lexicallyNormal(std::string_view path) {
  std::vector<std::string> kept;
  for (auto& part : components(path)) {
    if (part == ".") continue;
    if (part == "..") {
      if (!kept.empty()) kept.pop_back();
    } else {
      kept.push_back(std::move(part));
    }
  }
  return joined(kept);
}

std::string_view baseName(std::string_view path) { return path.substr(path.rfind('/') + 1); }
std::string parentOf(std::string_view path) {
  const auto slash = path.rfind('/');
  return slash == 0 || slash == std::string_view::npos ? "/" : std::string(path.substr(0, slash));
}

}  // namespace

std::optional<std::string> resolveUnder(const std::string& root, std::string_view path) {
  std::vector<std::string> done;
  std::vector<std::string> todo = components(path);  // in reverse: the next part is at the back
  std::reverse(todo.begin(), todo.end());
  int links = 0;
  while (!todo.empty()) {
    std::string part = std::move(todo.back());
    todo.pop_back();
    if (part == ".") continue;
    if (part == "..") {
      if (!done.empty()) done.pop_back();
      continue;
    }
    done.push_back(part);
    const std::string here = underRoot(root, joined(done));
    struct stat info {};
    if (::lstat(here.c_str(), &info) != 0) return std::nullopt;
    if (!S_ISLNK(info.st_mode)) continue;
    if (++links > 40) return std::nullopt;
    char target[4096];
    const ssize_t length = ::readlink(here.c_str(), target, sizeof target);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target) return std::nullopt;
    done.pop_back();
    const std::string_view link(target, static_cast<std::size_t>(length));
    if (link.front() == '/') done.clear();
    auto more = components(link);
    todo.insert(todo.end(), more.rbegin(), more.rend());
  }
  return joined(done);
}

namespace {

bool exists(const std::string& root, const std::string& path) {
  struct stat info {};
  return ::stat(underRoot(root, path).c_str(), &info) == 0;
}

std::vector<std::string> entries(const std::string& root, const std::string& folder) {
  std::vector<std::string> names;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(underRoot(root, folder).c_str()), ::closedir);
  if (!dir) return names;
  while (auto* entry = ::readdir(dir.get())) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string firstLine(const std::string& path) {
  auto text = readSmallFile(path).value_or("");
  return text.substr(0, text.find('\n'));
}

// "nvme" followed by digits, then (for a namespace) "n" and digits.
bool nvmeName(std::string_view name, bool namespaceDisk) {
  auto digits = [&name] {
    std::size_t count = 0;
    while (count < name.size() && name[count] >= '0' && name[count] <= '9') ++count;
    name.remove_prefix(count);
    return count > 0;
  };
  if (!name.starts_with("nvme")) return false;
  name.remove_prefix(4);
  if (!digits()) return false;
  if (namespaceDisk) {
    if (!name.starts_with('n')) return false;
    name.remove_prefix(1);
    if (!digits()) return false;
  }
  return name.empty();
}

}  // namespace

std::string unescapedMountField(std::string_view field) {
  std::string text;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const auto octal = field.substr(i + 1, 3);
      if (octal.size() == 3 && octal.find_first_not_of("01234567") == std::string_view::npos) {
        text += static_cast<char>((octal[0] - '0') * 64 + (octal[1] - '0') * 8 + (octal[2] - '0'));
        i += 3;
        continue;
      }
    }
    text += field[i];
  }
  return text;
}

namespace {

bool holds(std::string_view mountPoint, std::string_view path) {
  if (mountPoint == "/") return true;
  return path.starts_with(mountPoint) && (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

// The sysfs node of the device a mount comes from.
std::optional<std::string> mountDevice(const std::string& root, const MountEntry& mount) {
  // A real block device has its own number; btrfs and the like show an anonymous 0:N, and
  // then only the source names the device.
  if (mount.major != 0)
    return resolveUnder(root, std::string(files::blockNumbers) + "/" + std::to_string(mount.major) + ":" +
                                  std::to_string(mount.minor));
  const std::string_view source = mount.source;
  if (source.starts_with(files::deviceMapper)) {
    const auto name = source.substr(files::deviceMapper.size());
    for (const auto& entry : entries(root, std::string(files::blockClass))) {
      const std::string node = std::string(files::blockClass) + "/" + entry;
      if (entry.starts_with("dm-") && firstLine(underRoot(root, node + "/dm/name")) == name)
        return resolveUnder(root, node);
    }
    return std::nullopt;
  }
  if (!source.starts_with(files::devices)) return std::nullopt;
  // /dev/disk/by-uuid/… and the like are links to the device node.
  const auto node = resolveUnder(root, source);
  const auto name = baseName(node ? std::string_view(*node) : source);
  return resolveUnder(root, std::string(files::blockClass) + "/" + std::string(name));
}

struct Walk {
  const std::string& root;
  std::set<std::string> controllers;
  std::string disk;
  std::set<std::string> visited;
  bool foreign = false;  // a device at the bottom that is not an NVMe namespace, or a dead end
};

void descend(Walk& walk, std::string node, int depth) {
  constexpr int deepest = 16;  // dm on dm on md …; far beyond any real stack
  if (walk.foreign) return;
  if (depth > deepest) {
    walk.foreign = true;
    return;
  }
  if (exists(walk.root, node + "/partition")) node = parentOf(node);
  if (!walk.visited.insert(node).second) return;
  const auto slaves = entries(walk.root, node + "/slaves");
  if (!slaves.empty()) {
    for (const auto& slave : slaves) {
      const auto below = resolveUnder(walk.root, node + "/slaves/" + slave);
      if (!below) {
        walk.foreign = true;
        return;
      }
      descend(walk, *below, depth + 1);
    }
    return;
  }
  const auto name = baseName(node);
  const auto controller = resolveUnder(walk.root, node + "/device");
  // The disk is named after the NVMe subsystem, which need not number like the controller.
  if (!nvmeName(name, true) || !controller || !nvmeName(baseName(*controller), false)) {
    walk.foreign = true;
    return;
  }
  walk.controllers.emplace(baseName(*controller));
  if (walk.disk.empty()) walk.disk = name;
}

}  // namespace

std::string realFolder(const std::string& path) {
  const std::unique_ptr<char, decltype(&::free)> real(::realpath(path.c_str(), nullptr), ::free);
  return real ? std::string(real.get()) : path;
}

std::optional<MountEntry> mountHolding(std::string_view mountinfo, std::string_view path) {
  const std::string target = lexicallyNormal(path);
  std::optional<MountEntry> best;
  while (!mountinfo.empty()) {
    const auto end = std::min(mountinfo.find('\n'), mountinfo.size());
    const auto line = mountinfo.substr(0, end);
    mountinfo.remove_prefix(std::min(end + 1, mountinfo.size()));
    // id parent major:minor root mount-point options [optional…] - type source super-options
    std::vector<std::string_view> fields;
    for (std::size_t start = 0; start < line.size();) {
      const auto space = std::min(line.find(' ', start), line.size());
      if (space > start) fields.push_back(line.substr(start, space - start));
      start = space + 1;
    }
    std::size_t separator = 6;
    while (separator < fields.size() && fields[separator] != "-") ++separator;
    if (fields.size() < 6 || separator + 2 >= fields.size()) continue;
    MountEntry entry;
    const auto number = fields[2];
    const auto colon = number.find(':');
    if (colon == std::string_view::npos) continue;
    auto [majorEnd, majorError] = std::from_chars(number.data(), number.data() + colon, entry.major);
    auto [minorEnd, minorError] =
        std::from_chars(number.data() + colon + 1, number.data() + number.size(), entry.minor);
    if (majorError != std::errc() || minorError != std::errc() || majorEnd != number.data() + colon ||
        minorEnd != number.data() + number.size())
      continue;
    entry.mountPoint = lexicallyNormal(unescapedMountField(fields[4]));
    entry.source = unescapedMountField(fields[separator + 2]);
    if (!holds(entry.mountPoint, target)) continue;
    // At the same point, the later mount hides the earlier one.
    if (!best || entry.mountPoint.size() >= best->mountPoint.size()) best = std::move(entry);
  }
  return best;
}

std::optional<SSDDrive> findSSDDrive(const std::string& root, const std::string& home,
                                     const std::string& mountinfo) {
  const auto table = readSmallFile(mountinfo);
  if (!table) return std::nullopt;
  const auto mount = mountHolding(*table, home);
  if (!mount) return std::nullopt;
  const auto device = mountDevice(root, *mount);
  if (!device) return std::nullopt;
  Walk walk{root, {}, {}, {}, false};
  descend(walk, *device, 0);
  if (walk.foreign || walk.controllers.size() != 1) return std::nullopt;
  return SSDDrive{*walk.controllers.begin(), walk.disk};
}

}  // namespace hollin::native
