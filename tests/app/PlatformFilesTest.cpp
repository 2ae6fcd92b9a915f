// The files Hollin keeps: whole-file writes, the data folder, the settings file, the metrics file.
#include "app/metrics/MetricsExport.h"
#include "app/platform/AtomicFile.h"
#include "app/platform/DataFolder.h"
#include "app/platform/QtSettings.h"
#include "core/setup/SetupGuide.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>

#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <csignal>

namespace hollin {
namespace {

using testing::contents;
using testing::ScopedVariable;

mode_t modeOf(const std::string& path) { return testing::fileStatus(path).st_mode & 07777; }

TEST(AtomicFile, WritesWholeOwnerOnlyFilesAndAFailureKeepsThePreviousOneAndNoTemporary) {
  QTemporaryDir folder;
  std::string path = folder.filePath("kept.json").toStdString();
  for (Durability durability : {Durability::durable, Durability::replaceOnly}) {
    ASSERT_EQ(writeFileAtomically(path, "first, and longer than the second", durability), 0);
    ASSERT_EQ(writeFileAtomically(path, "old", durability), 0);
    EXPECT_EQ(contents(path), "old");
    EXPECT_EQ(modeOf(path), 0600u);
  }
  // A write cut short by the file-size limit, which holds for root too.
  rlimit previous{};
  ::getrlimit(RLIMIT_FSIZE, &previous);
  rlimit small = previous;
  small.rlim_cur = 8;
  const auto handler = std::signal(SIGXFSZ, SIG_IGN);
  ::setrlimit(RLIMIT_FSIZE, &small);
  const int error = writeFileAtomically(path, "new, and longer than the limit");
  ::setrlimit(RLIMIT_FSIZE, &previous);
  std::signal(SIGXFSZ, handler);
  EXPECT_EQ(error, EFBIG);
  EXPECT_EQ(contents(path), "old");
  // A missing folder is reported, not created; a folder in the way is not replaced by a file.
  EXPECT_EQ(writeFileAtomically(folder.filePath("absent/x.json").toStdString(), "x"), ENOENT);
  ::mkdir(folder.filePath("blocked").toLocal8Bit().constData(), 0700);
  EXPECT_EQ(writeFileAtomically(folder.filePath("blocked").toStdString(), "x"), EISDIR);
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{"kept.json"});
}

// Which base folder applies is BaseDirectories' rule; the data folder is "Hollin" under it.
TEST(DataFolder, IsHollinUnderTheDataHomeCreatedOwnerOnlyAndRefusedWhenNotThisUsersAlone) {
  {
    ScopedVariable unset("XDG_DATA_HOME", nullptr), home("HOME", "relative");
    EXPECT_EQ(dataFolderPath(), std::nullopt);
    EXPECT_EQ(ensureDataFolder(), std::nullopt);
  }
  QTemporaryDir base;
  ScopedVariable data("XDG_DATA_HOME", base.filePath("deep/share").toLocal8Bit().constData());
  auto folder = ensureDataFolder();
  ASSERT_TRUE(folder);
  EXPECT_EQ(*folder, base.filePath("deep/share/Hollin").toStdString());
  EXPECT_EQ(modeOf(*folder), 0700u);
  EXPECT_EQ(modeOf(base.filePath("deep").toStdString()), 0700u);
  // A folder others may write into is made this user's alone.
  ::chmod(folder->c_str(), 0777);
  EXPECT_EQ(createDataFolder(*folder), 0);
  EXPECT_EQ(modeOf(*folder), 0700u);

  const std::string blocker = base.filePath("file").toStdString();
  ASSERT_EQ(writeFileAtomically(blocker, "not a folder"), 0);
  EXPECT_EQ(createDataFolder(blocker), ENOTDIR);
  EXPECT_EQ(createDataFolder(blocker + "/inner"), ENOTDIR);

  // A symbolic link in the folder's place, into a folder others can write, is not followed.
  const std::string elsewhere = base.filePath("elsewhere").toStdString(), linked = base.filePath("linked").toStdString();
  ::mkdir(elsewhere.c_str(), 0777);
  ::chmod(elsewhere.c_str(), 0777);
  ASSERT_EQ(::symlink(elsewhere.c_str(), linked.c_str()), 0);
  EXPECT_EQ(createDataFolder(linked), ELOOP);
  EXPECT_EQ(modeOf(elsewhere), 0777u) << "the link's target is left alone";
  // A parent that is a link is an ordinary home folder set-up.
  EXPECT_EQ(createDataFolder(linked + "/Hollin"), 0);

  if (::geteuid() == 0) {  // a folder of another account (as root, the test can make one)
    const std::string foreign = base.filePath("foreign").toStdString();
    ::mkdir(foreign.c_str(), 0700);
    ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
    EXPECT_EQ(createDataFolder(foreign), EPERM);
  }
}

TEST(DataFolder, StaleTemporariesOfInterruptedWritesAreRemovedAndNothingElse) {
  QTemporaryDir folder;
  auto path = [&](const char* name) { return folder.filePath(name).toStdString(); };
  for (const char* name : {"health.json.Xa3k9Q", "ssd-health-history.json.000000", "health.json", "notes.txt.backup",
                           "hollin.socket", "health.json.short"})
    ASSERT_EQ(writeFileAtomically(path(name), "x"), 0);
  ::mkdir(path("folder.json.AbCdEf").c_str(), 0700);
  ASSERT_EQ(::symlink(path("health.json").c_str(), path("link.json.AbCdEf").c_str()), 0);
  removeStaleTemporaries(folder.path().toStdString());
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name),
            (QStringList{"folder.json.AbCdEf", "health.json", "health.json.short", "hollin.socket", "link.json.AbCdEf",
                         "notes.txt.backup"}));
}

TEST(QtSettings, ValuesSurviveChangesFromOtherWritersShowAtOnceAndHandEditsMustBeBooleans) {
  QTemporaryDir folder;
  const QString path = folder.filePath("Hollin.conf");
  QtSettings settings(path);
  EXPECT_EQ(settings.boolean(hasOpenedKey), std::nullopt);
  settings.setBoolean(hasOpenedKey, true);
  EXPECT_EQ(QtSettings(path).boolean(hasOpenedKey), true);
  // The set-up command writes through its own object; the running one sees it.
  QtSettings(path).setBoolean(shareResponseStatusKey, true);
  EXPECT_EQ(settings.boolean(shareResponseStatusKey), true);

  std::ofstream(folder.filePath("edited.conf").toStdString())
      << "[General]\nhasOpened=yes\nshareResponseStatus=false\nsetupGuideCompleted=1\n"
         "metricsTextfileFolder=\"/srv/a, b\"\n";
  const QtSettings read(folder.filePath("edited.conf"));
  EXPECT_EQ(read.text(metricsTextfileFolderKey), "/srv/a, b");
  EXPECT_EQ(read.text("setupGuideCompleted"), "1");
  EXPECT_EQ(read.boolean(hasOpenedKey), std::nullopt);
  EXPECT_EQ(read.boolean(shareResponseStatusKey), false);
  EXPECT_EQ(read.boolean("setupGuideCompleted"), std::nullopt);
}

TEST(MetricsExport, OneReadableFileWhileSwitchedOnAndNothingLeftWhenOffOrEnded) {
  QTemporaryDir folder;
  const std::string collector = folder.path().toStdString();
  MemorySettings settings;
  std::vector<std::string> logged;
  MetricsExport metrics(settings, 1000, [&](const std::string& line) { logged.push_back(line); });
  EXPECT_EQ(metrics.folder(), std::nullopt);

  settings.setText(metricsTextfileFolderKey, collector);
  ASSERT_EQ(metrics.folder(), collector);
  metrics.write(collector, "one 1\n");
  const std::string file = collector + "/hollin-1000.prom";
  EXPECT_EQ(contents(file), "one 1\n");
  EXPECT_EQ(modeOf(file), 0644u) << "the collector reads it as an account of its own";
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 1) << "no temporary stays next to it";

  // Switched to a folder that is not there: said once, and the old file does not stay behind.
  const std::string missing = collector + "/gone";
  settings.setText(metricsTextfileFolderKey, missing);
  for (int tick = 0; tick < 2; ++tick) metrics.write(*metrics.folder(), "two 2\n");
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_EQ(logged.size(), 1u);

  // A relative path is refused once; switching off or ending removes what was written.
  settings.setText(metricsTextfileFolderKey, "relative/folder");
  EXPECT_EQ(metrics.folder(), std::nullopt);
  EXPECT_EQ(metrics.folder(), std::nullopt);
  EXPECT_EQ(logged.size(), 2u);
  settings.setText(metricsTextfileFolderKey, collector);
  metrics.write(*metrics.folder(), "three 3\n");
  ASSERT_TRUE(std::filesystem::exists(file));
  settings.setText(metricsTextfileFolderKey, "");
  EXPECT_EQ(metrics.folder(), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(file));
  settings.setText(metricsTextfileFolderKey, collector);
  metrics.write(*metrics.folder(), "four 4\n");
  metrics.withdraw();
  EXPECT_FALSE(std::filesystem::exists(file));
}

}  // namespace
}  // namespace hollin
