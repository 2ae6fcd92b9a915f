// The backup reading: Déjà Dup through its settings, Timeshift through its configuration and
// snapshot folders, whichever is in use.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "app/early/EarlyWatch.h"
#include "core/early/DejaDup.h"
#include "core/early/Timeshift.h"
#include "native/Backups.h"

namespace hollin {
namespace {

using BackupRead = EarlyWatch::BackupRead;

constexpr const char* dejaDupName = "Déjà Dup";
constexpr const char* timeshiftName = "Timeshift";
constexpr const char* dejaDupSchemaFile = "org.gnome.DejaDup.gschema.xml";
constexpr const char* environmentProgram = "/usr/bin/env";
constexpr const char* fallbackGsettings = "/usr/bin/gsettings";
// What gsettings finds its schemas and the user's settings by. The tool runner hands a tool
// none of our environment, so these go to it through env.
constexpr const char* settingsVariables[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS",
                                             "XDG_RUNTIME_DIR", "DCONF_PROFILE", "GSETTINGS_BACKEND",
                                             "GSETTINGS_SCHEMA_DIR", "DBUS_SESSION_BUS_ADDRESS"};

const char* environmentVariable(const char* name) { return std::getenv(name); }

// A backup tool that is installed but could not be read.
BackupRead unavailable(const char* tool) { return {BackupStatus{}, "unavailable", tool}; }

// gsettings on PATH, else where Debian installs it. A folder with "=" in it would be taken by
// env for a variable, so it is passed over.
std::string gsettingsProgram() {
  const char* variable = std::getenv("PATH");
  std::string_view path = variable ? variable : "";
  while (!path.empty()) {
    const auto end = std::min(path.find(':'), path.size());
    const std::string folder(path.substr(0, end));
    path.remove_prefix(std::min(end + 1, path.size()));
    if (!folder.starts_with('/') || folder.find('=') != std::string::npos) continue;
    const std::string program = folder + "/gsettings";
    struct stat info {};
    if (::stat(program.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(program.c_str(), X_OK) == 0)
      return program;
  }
  return fallbackGsettings;
}

std::optional<BackupRead> readDejaDup(const std::string& root) {
  if (!native::settingsSchemaInstalled(root, dejaDupSchemaFile, environmentVariable)) return std::nullopt;
  // In the C locale gsettings would print every character beyond ASCII as "?".
  std::vector<std::string> arguments{"LC_ALL=C.UTF-8"};
  for (const char* name : settingsVariables)
    if (const char* value = std::getenv(name)) arguments.push_back(std::string(name) + "=" + value);
  arguments.insert(arguments.end(), {gsettingsProgram(), "list-recursively", DejaDup::schema});
  const auto output = EarlyWatch::run(environmentProgram, arguments);
  const auto status = output ? DejaDup::parse(*output, {}) : std::nullopt;
  if (!status) return unavailable(dejaDupName);
  return BackupRead{*status, "deja-dup", dejaDupName};
}

std::optional<BackupRead> readTimeshift(const std::string& root) {
  const auto file = native::readTimeshiftConfiguration(root);
  if (!file.present) return std::nullopt;
  const auto configuration = file.bytes ? Timeshift::parseConfiguration(*file.bytes) : std::nullopt;
  if (!configuration) return unavailable(timeshiftName);
  const auto snapshots = configuration->deviceUuid.empty()
                             ? native::TimeshiftSnapshots{}
                             : native::readTimeshiftSnapshots(root, configuration->deviceUuid);
  const auto status = Timeshift::status(*configuration, snapshots, {});
  return BackupRead{status, status.latest ? "timeshift-snapshots" : "timeshift", timeshiftName};
}

}  // namespace

BackupRead EarlyWatch::readBackup() { return readBackup(native::hostRoot()); }

BackupRead EarlyWatch::readBackup(const std::string& root) {
  std::optional<BackupRead> firstInstalled;
  for (const auto reader : {readDejaDup, readTimeshift}) {
    auto read = reader(root);
    if (!read) continue;
    if (read->status.configured == true) return *read;
    if (!firstInstalled) firstInstalled = std::move(read);
  }
  if (firstInstalled) return *firstInstalled;
  return {BackupStatus{false, std::nullopt, std::nullopt, false, false}, "none", ""};
}

}  // namespace hollin
