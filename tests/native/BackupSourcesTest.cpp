// The backup tools' files over a recorded Timeshift machine: the configuration, the device link,
// the mount table and the snapshot folders; and the settings-schema lookup.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "native/Backups.h"
#include "FixtureTree.h"

namespace hollin::native {
namespace {

constexpr const char* backupDevice = "5d6e2c1a-0b7f-4c3e-9a1d-2f8e4b6c7d90";

TEST(TimeshiftFiles, TheConfigurationInItsCurrentOrOlderPlace) {
  // The current place is read in the application's tests of the recorded machine.
  const test::FixtureTree tree("timeshift");
  tree.remove("etc/timeshift");
  EXPECT_EQ(readTimeshiftConfiguration(tree.root()), ConfigurationFile{}) << "neither file: not installed";
  tree.write("etc/timeshift.json", "{}");
  EXPECT_EQ(readTimeshiftConfiguration(tree.root()), (ConfigurationFile{true, "{}"}));
  tree.write("etc/timeshift/timeshift.json/x", "");  // a folder where the file should be
  EXPECT_EQ(readTimeshiftConfiguration(tree.root()), (ConfigurationFile{true, std::nullopt}))
      << "present but unreadable, and the older file is not consulted";
}

TEST(TimeshiftFiles, SnapshotFoldersOnEveryMountOfTheBackupDeviceAndNoOtherDevice) {
  const test::FixtureTree tree("timeshift");
  // Mounted by a link to the device and by the device itself; the latter twice.
  const auto snapshots = readTimeshiftSnapshots(tree.root(), backupDevice);
  EXPECT_TRUE(snapshots.mounted && snapshots.listed);
  EXPECT_THAT(snapshots.names, ::testing::UnorderedElementsAre("2024-04-30_08-00-00", "2024-05-01_10-15-30",
                                                               "2024-05-02_09-00-00", "2024-13-01_00-00-00"));
  // A device name that leads elsewhere names no device: ../../sda2 from /dev/disk/by-uuid is the
  // system disk, mounted at "/".
  for (const char* uuid : {"../../sda2", "..", ".", "", "no-such-uuid"})
    EXPECT_EQ(readTimeshiftSnapshots(tree.root(), uuid), TimeshiftSnapshots{}) << uuid;

  // The system disk: mounted at "/", with no snapshots folder on it.
  EXPECT_EQ(readTimeshiftSnapshots(tree.root(), "0f1e2d3c-4b5a-4968-8776-a5b4c3d2e1f0"), (TimeshiftSnapshots{true, false, {}}));
  tree.write("timeshift/snapshots/2024-06-01_00-00-00/info.json", "{}");
  EXPECT_EQ(readTimeshiftSnapshots(tree.root(), "0f1e2d3c-4b5a-4968-8776-a5b4c3d2e1f0"),
            (TimeshiftSnapshots{true, true, {"2024-06-01_00-00-00"}}));

  tree.replaceLine("proc/self/mounts", "/dev/", "tmpfs /tmp tmpfs rw 0 0");
  EXPECT_EQ(readTimeshiftSnapshots(tree.root(), backupDevice), TimeshiftSnapshots{}) << "not mounted";
  tree.remove("proc/self/mounts");
  EXPECT_EQ(readTimeshiftSnapshots(tree.root(), backupDevice), TimeshiftSnapshots{}) << "no mount table";
}

TEST(SettingsSchemas, LookedUpWhereGLibLooks) {
  const test::FixtureTree tree("");
  const std::string file = "org.gnome.DejaDup.gschema.xml";
  // The environment, the folder the schema lies in, and whether it is found there.
  const std::tuple<const char*, std::map<std::string, std::string>, const char*, bool> rows[] = {
      {"the system's folder by default", {}, "usr/share/glib-2.0/schemas", true},
      {"a folder of the schema list", {{"GSETTINGS_SCHEMA_DIR", "relative:/opt/schemas"}}, "opt/schemas", true},
      {"the user's data folder under HOME", {{"HOME", "/home/ana"}}, "home/ana/.local/share/glib-2.0/schemas", true},
      {"data folders replace the default", {{"XDG_DATA_DIRS", "/opt/share"}}, "usr/share/glib-2.0/schemas", false},
      {"an empty variable is the default", {{"XDG_DATA_DIRS", ""}}, "usr/local/share/glib-2.0/schemas", true},
  };
  for (const auto& [name, environment, folder, found] : rows) {
    SCOPED_TRACE(name);
    tree.write(std::string(folder) + "/" + file, "<schemalist/>");
    const auto lookup = [&environment](const char* variable) -> const char* {
      const auto value = environment.find(variable);
      return value == environment.end() ? nullptr : value->second.c_str();
    };
    EXPECT_EQ(settingsSchemaInstalled(tree.root(), file, lookup), found);
    EXPECT_FALSE(settingsSchemaInstalled(tree.root(), "other.gschema.xml", lookup));
    tree.remove(folder);
  }
}

}  // namespace
}  // namespace hollin::native
