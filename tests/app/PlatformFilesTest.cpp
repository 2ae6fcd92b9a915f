#include "app/platform/AtomicFile.h"
#include "app/platform/DataFolder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace hollin {
namespace {

std::string contents(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

mode_t modeOf(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

// Sets or clears environment variables for one test and puts them back afterwards.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedVariable() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(AtomicFile, ReplacesWholeFileWithOwnerOnlyModeAndLeavesNoTemporary) {
  QTemporaryDir folder;
  std::string path = folder.filePath("health.json").toStdString();
  for (Durability durability : {Durability::durable, Durability::replaceOnly}) {
    ASSERT_EQ(writeFileAtomically(path, "first, and longer than the second", durability), 0);
    ASSERT_EQ(writeFileAtomically(path, "second", durability), 0);
    EXPECT_EQ(contents(path), "second");
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{"health.json"});
  }
}

TEST(AtomicFile, FailureLeavesPreviousFileAndNoTemporary) {
  QTemporaryDir folder;
  std::string path = folder.filePath("kept.json").toStdString();
  ASSERT_EQ(writeFileAtomically(path, "old"), 0);
  ::chmod(folder.path().toLocal8Bit().constData(), 0500);  // no new entries may be made
  int error = writeFileAtomically(path, "new");
  ::chmod(folder.path().toLocal8Bit().constData(), 0700);
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  EXPECT_EQ(error, EACCES);
  EXPECT_EQ(contents(path), "old");
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{"kept.json"});
}

TEST(AtomicFile, MissingFolderIsReportedNotCreated) {
  QTemporaryDir folder;
  EXPECT_EQ(writeFileAtomically(folder.filePath("absent/x.json").toStdString(), "x"), ENOENT);
  // A target that is a folder cannot be replaced by a file; the temporary is cleaned up.
  std::string blocked = folder.filePath("blocked").toStdString();
  ::mkdir(blocked.c_str(), 0700);
  EXPECT_EQ(writeFileAtomically(blocked, "x"), EISDIR);
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{});
}

TEST(DataFolder, PathFollowsTheBaseDirectoryRules) {
  struct Row {
    const char* name;
    const char* dataHome;
    const char* home;
    std::optional<std::string> expected;
  } rows[] = {
      {"XDG_DATA_HOME wins", "/data", "/home/a", "/data/Hollin"},
      {"unset falls back to HOME", nullptr, "/home/a", "/home/a/.local/share/Hollin"},
      {"empty falls back to HOME", "", "/home/a", "/home/a/.local/share/Hollin"},
      {"relative is ignored", "rel/data", "/home/a", "/home/a/.local/share/Hollin"},
      {"nothing absolute gives none", nullptr, "relative", std::nullopt},
  };
  for (const auto& row : rows) {
    ScopedVariable data("XDG_DATA_HOME", row.dataHome), home("HOME", row.home);
    EXPECT_EQ(dataFolderPath(), row.expected) << row.name;
  }
}

TEST(DataFolder, CreatesMissingParentsOwnerOnlyAndKeepsExistingFolders) {
  QTemporaryDir base;
  ScopedVariable data("XDG_DATA_HOME", base.filePath("deep/share").toLocal8Bit().constData());
  auto folder = ensureDataFolder();
  ASSERT_TRUE(folder);
  EXPECT_EQ(*folder, base.filePath("deep/share/Hollin").toStdString());
  EXPECT_EQ(modeOf(*folder), 0700u);
  EXPECT_EQ(modeOf(base.filePath("deep").toStdString()), 0700u);
  // Existing folders are left with the modes their owner gave them.
  ::chmod(folder->c_str(), 0750);
  EXPECT_EQ(createDataFolder(*folder), 0);
  EXPECT_EQ(modeOf(*folder), 0750u);
}

TEST(DataFolder, FileInTheWayIsAnError) {
  QTemporaryDir base;
  std::string blocker = base.filePath("Hollin").toStdString();
  ASSERT_EQ(writeFileAtomically(blocker, "not a folder"), 0);
  EXPECT_EQ(createDataFolder(blocker), ENOTDIR);
  EXPECT_EQ(createDataFolder(blocker + "/inner"), ENOTDIR);
}

}  // namespace
}  // namespace hollin
