// The backup tools' files: a settings schema looked up where GLib looks, Timeshift's
// configuration, and the snapshot folders on the mounts of its backup device.
#include "native/Backups.h"

#include "native/linux/KernelFiles.h"
#include "native/linux/NativeReaders.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace hollin::native {
namespace {

// A colon-separated list of absolute folders; the empty and relative ones left out.
std::vector<std::string> absoluteFolders(std::string_view list) {
  std::vector<std::string> folders;
  while (!list.empty()) {
    const auto end = std::min(list.find(':'), list.size());
    if (list.substr(0, end).starts_with('/')) folders.emplace_back(list.substr(0, end));
    list.remove_prefix(std::min(end + 1, list.size()));
  }
  return folders;
}

// An environment variable as XDG reads it: unset and empty alike give `fallback`.
std::string variableOr(const EnvironmentLookup& environment, const char* name, std::string fallback) {
  const char* value = environment(name);
  return value && *value ? std::string(value) : fallback;
}

// The names in a folder; absent when it cannot be listed.
std::optional<std::vector<std::string>> folderEntries(const std::string& folder) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir) return std::nullopt;
  std::vector<std::string> names;
  while (auto* entry = ::readdir(dir.get())) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  return names;
}

// /proc/self/mounts: "source mount-point type options 0 0"; the mount points whose source
// leads to `device`, each once, in the table's order.
std::vector<std::string> mountPointsOf(const std::string& root, const std::string& device, std::string_view table) {
  std::vector<std::string> points;
  while (!table.empty()) {
    const auto end = std::min(table.find('\n'), table.size());
    const auto line = table.substr(0, end);
    table.remove_prefix(std::min(end + 1, table.size()));
    const auto space = line.find(' ');
    if (space == std::string_view::npos) continue;
    const auto pointEnd = std::min(line.find(' ', space + 1), line.size());
    const std::string source = unescapedMountField(line.substr(0, space));
    const std::string point = unescapedMountField(line.substr(space + 1, pointEnd - space - 1));
    // Pseudo file systems name no device ("proc", "tmpfs").
    if (!source.starts_with('/') || !point.starts_with('/')) continue;
    if (resolveUnder(root, source) == device && std::find(points.begin(), points.end(), point) == points.end())
      points.push_back(point);
  }
  return points;
}

}  // namespace

bool settingsSchemaInstalled(const std::string& root, std::string_view fileName, const EnvironmentLookup& environment) {
  std::vector<std::string> folders = absoluteFolders(variableOr(environment, "GSETTINGS_SCHEMA_DIR", ""));
  const char* home = environment("HOME");
  const std::string dataHome = variableOr(environment, "XDG_DATA_HOME", home ? std::string(home) + "/.local/share" : "");
  std::vector<std::string> dataFolders;
  if (dataHome.starts_with('/')) dataFolders.push_back(dataHome);  // one folder, not a list
  for (auto& folder : absoluteFolders(variableOr(environment, "XDG_DATA_DIRS", "/usr/local/share:/usr/share")))
    dataFolders.push_back(std::move(folder));
  for (const auto& folder : dataFolders) folders.push_back(folder + "/glib-2.0/schemas");
  return std::any_of(folders.begin(), folders.end(), [&](const std::string& folder) {
    struct stat info {};
    const std::string file = underRoot(root, folder) + "/" + std::string(fileName);
    return ::stat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode);
  });
}

ConfigurationFile readTimeshiftConfiguration(const std::string& root) {
  for (const auto path : {files::timeshiftConfiguration, files::timeshiftOlderConfiguration}) {
    const std::string file = underRoot(root, path);
    struct stat info {};
    // A folder we may not search hides whether the file is there: count it as there, unread.
    if (::stat(file.c_str(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR)) continue;
    return {true, readSmallFile(file)};
  }
  return {};
}

TimeshiftSnapshots readTimeshiftSnapshots(const std::string& root, std::string_view deviceUuid) {
  TimeshiftSnapshots snapshots;
  // The UUID comes from a configuration file: it must not lead out of /dev/disk/by-uuid.
  if (deviceUuid.empty() || deviceUuid == "." || deviceUuid == ".." ||
      deviceUuid.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos)
    return snapshots;
  const auto device = resolveUnder(root, std::string(files::disksByUuid).append(deviceUuid));
  const auto table = readSmallFile(underRoot(root, files::mounts));
  if (!device || !table) return snapshots;
  const auto points = mountPointsOf(root, *device, *table);
  snapshots.mounted = !points.empty();
  for (const auto& point : points)
    for (const char* folder : {"/timeshift/snapshots", "/timeshift-btrfs/snapshots"}) {
      auto names = folderEntries(underRoot(root, point == "/" ? std::string() : point) + folder);
      if (!names) continue;
      snapshots.listed = true;
      snapshots.names.insert(snapshots.names.end(), names->begin(), names->end());
    }
  return snapshots;
}

}  // namespace hollin::native
