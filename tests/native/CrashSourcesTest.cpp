// The crash sources of a root: a real journal file written by systemd-journal-remote, and crash
// folders of empty files named as systemd-coredump and apport name them.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "FixtureTree.h"
#include "native/Machine.h"
#include "core/early/CrashReports.h"
#include "native/Crashes.h"
#include "native/ToolRunner.h"

namespace hollin::native {
namespace {

constexpr const char* journalRemote = "/lib/systemd/systemd-journal-remote";
constexpr const char* journalFolder = "var/log/journal/0123456789abcdef0123456789abcdef";
const std::string bootId = "fedcba9876543210fedcba9876543210";
constexpr std::uint64_t day = 86400'000'000;       // µs
constexpr std::uint64_t now = 1715342400'000'000;  // 2024-05-10 12:00 UTC

WallTime at(std::uint64_t microseconds) { return WallTime(std::chrono::microseconds(microseconds)); }

// One entry of the journal export format: a core dump of uid, or with no uid another message.
std::string entry(std::uint64_t realtime, const std::string& uid, const std::string& fields) {
  return "__REALTIME_TIMESTAMP=" + std::to_string(realtime) + "\n__MONOTONIC_TIMESTAMP=" +
         std::to_string(realtime % day) + "\n_BOOT_ID=" + bootId + "\n" +
         (uid.empty() ? "" : "MESSAGE_ID=fc2e22bc6ee647b6b90729ab34a250b1\nCOREDUMP_UID=" + uid + "\n") + fields + "\n";
}

void touch(const test::FixtureTree& tree, const std::string& relative, std::uint64_t modified = now) {
  tree.write(relative, "");
  const timespec time{static_cast<time_t>(modified / 1'000'000), 0}, times[2] = {time, time};
  ASSERT_EQ(::utimensat(AT_FDCWD, tree.path(relative).c_str(), times, 0), 0);
}

TEST(CrashSources, TheJournalAndTheFoldersGiveThisUsersCrashesOnce) {
  if (::access(journalRemote, X_OK) != 0) GTEST_SKIP() << "systemd-journal-remote is not installed";
  const test::FixtureTree tree("");
  const std::uint64_t crash = now - day / 24;
  // The export stream written into a journal file under the tree, as journald would keep it.
  tree.write("export", entry(now - 9 * day, "1000", "COREDUMP_COMM=ancient\n") +
                           entry(crash + 3000, "1000", "COREDUMP_COMM=gnome-text-edit\nCOREDUMP_PID=4242\n"
                                 "COREDUMP_TIMESTAMP=" + std::to_string(crash) + "\n") +
                           entry(now - day, "1000", "COREDUMP_PID=1\n") + entry(now - day, "1001", "COREDUMP_COMM=intruder\n") +
                           entry(now - day, "", "MESSAGE=Started something.\n") +
                           entry(now - 2 * day, "1000", "COREDUMP_EXE=/usr/lib/evince/evince-thumbnailer\n"));
  std::filesystem::create_directories(tree.path(journalFolder));
  ASSERT_TRUE(runTool({journalRemote, {"-o", tree.path(std::string(journalFolder) + "/remote.journal"), tree.path("export")}}));
  // The dump of the journal's crash, and a name whose numbers are no time.
  const std::string dumps = "var/lib/systemd/coredump/core.";
  touch(tree, dumps + "gnome-text-edit.1000." + bootId + ".4242." + std::to_string(crash) + ".zst");
  touch(tree, dumps + "vim.1000." + bootId + ".18446744073709551615.18446744073709551615");
  touch(tree, dumps + "vim.1000." + bootId + ".77." + std::to_string(now - 3 * day));
  touch(tree, dumps + "vim.1001." + bootId + ".78." + std::to_string(now - 3 * day));
  touch(tree, "var/crash/_usr_bin_nautilus.1000.crash", now - 4 * day);
  touch(tree, "var/crash/_usr_bin_totem.1001.crash");
  // apport's report of the journal's crash a minute later, under the name the kernel cut short.
  touch(tree, "var/crash/_usr_bin_gnome-text-editor.1000.crash", crash + 60'000'000);

  auto records = CrashReports::fromSources(readCrashSources(tree.root(), 1000, now - 8 * day), 1000);
  ASSERT_TRUE(records);
  std::ranges::sort(*records, {}, &CrashRecord::name);
  EXPECT_EQ(*records, (std::vector<CrashRecord>{{"evince-thumbnailer", at(now - 2 * day)}, {"gnome-text-edit", at(crash)},
                                                {"nautilus", at(now - 4 * day)}, {"vim", at(now - 3 * day)}}));
}

TEST(CrashSources, AbsentOnlyWhenNoSourceCanBeRead) {
  const test::FixtureTree tree("");
  const auto read = [&tree] { return CrashReports::fromSources(readCrashSources(tree.root(), 1000, 0), 1000); };
  EXPECT_FALSE(read()) << "no journal and no crash folder";

  tree.write(std::string(journalFolder) + "/system.journal", "not a journal");
  EXPECT_FALSE(readCrashSources(tree.root(), 1000, 0).journal) << "a journal without a file it can read";
  tree.write("var/crash", "a file where the folder should be");
  EXPECT_FALSE(read()) << "a crash folder that cannot be listed";

  tree.write("var/lib/systemd/coredump/.#core.gedit.1000.partial", "");
  EXPECT_EQ(read(), std::vector<CrashRecord>{}) << "a listed folder without crashes is no crashes";
}

TEST(MachineName, TheFirmwaresNamesOrTheDeviceTreesModel) {
  const test::FixtureTree tree("");
  EXPECT_EQ(readMachineName(tree.root()), MachineName{}) << "nothing to read";
  tree.write("sys/firmware/devicetree/base/model", std::string("Raspberry Pi 4 Model B Rev 1.4\0", 31));
  EXPECT_EQ(readMachineName(tree.root()), (MachineName{"Raspberry Pi 4 Model B Rev 1.4", std::nullopt}));
  tree.write("sys/class/dmi/id/product_name", "20XW0055US\n");
  tree.write("sys/class/dmi/id/sys_vendor", "LENOVO\n");
  EXPECT_EQ(readMachineName(tree.root()), (MachineName{"20XW0055US", "LENOVO"}));
}

}  // namespace
}  // namespace hollin::native
