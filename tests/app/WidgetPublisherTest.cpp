// The widget summary's writer on a real folder: its one-minute limit, when it asks the widget
// program to read again, and what a broken folder does. What the summary says of a snapshot
// (an old one is "unavailable") is widgetSummary's, read in the core's tests.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "app/widgets/WidgetPublisher.h"
#include "core/snapshot/Snapshot.h"

namespace hollin {
namespace {

class WidgetPublisherTest : public ::testing::Test {
 protected:
  std::string folder() const { return temporary_.filePath("data/group").toStdString(); }
  std::string path(std::string_view name) const { return folder() + "/" + std::string(name); }
  // The inode of a file: each atomic write brings a new one.
  ino_t inode(std::string_view name) const { return testing::fileStatus(path(name)).st_ino; }
  // One call at `now` seconds of uptime with a snapshot taken then; whether it wrote the summary
  // and whether it asked for a reload.
  std::pair<bool, bool> publish(WidgetPublisher& publisher, double now, MenuBarLevel level) {
    const ino_t summary = inode(WidgetSnapshot::fileName), reload = inode(WidgetSnapshot::reloadFileName);
    snapshot_.uptime = now;
    publisher.publish(snapshot_, {now, wall_ + std::chrono::seconds(static_cast<long>(now)), false, level, 0.25, -4096, "en"});
    return {inode(WidgetSnapshot::fileName) != summary, inode(WidgetSnapshot::reloadFileName) != reload};
  }

  QTemporaryDir temporary_;
  Snapshot snapshot_;
  WallTime wall_ = std::chrono::system_clock::now();
};

TEST_F(WidgetPublisherTest, WritesOnceAMinuteAndAsksForReloadsAtStartLevelChangesAndEveryFifteenMinutes) {
  WidgetPublisher publisher(folder());
  struct Row { const char* name; double now; MenuBarLevel level; bool writes, reloads; };
  const Row rows[] = {
      {"the first write reloads", 1000, MenuBarLevel::green, true, true},
      {"59 s later nothing is written", 1059, MenuBarLevel::green, false, false},
      {"60 s after the first the second reloads too", 1060, MenuBarLevel::green, true, true},
      {"the same level later only writes", 1120, MenuBarLevel::green, true, false},
      {"still within 900 s of the last reload", 1900, MenuBarLevel::green, true, false},
      {"a level change reloads at once", 1960, MenuBarLevel::orange, true, true},
      {"unchanged again", 2020, MenuBarLevel::orange, true, false},
      {"900 s after the last reload", 2860, MenuBarLevel::orange, true, true},
  };
  for (const Row& row : rows) EXPECT_EQ(publish(publisher, row.now, row.level), std::pair(row.writes, row.reloads)) << row.name;
  EXPECT_TRUE(publisher.healthy());
  EXPECT_EQ(publisher.reloadsSinceLaunch(), 4);
  // The folder's owner-only mode is DataFolder's.
  const auto summary = WidgetSnapshot::read(path(WidgetSnapshot::fileName));
  ASSERT_TRUE(summary);
  EXPECT_EQ(summary->level, "orange");
}

TEST_F(WidgetPublisherTest, AFolderThatCannotBeMadeIsUnhealthyUntilItCan) {
  WidgetPublisher none(std::nullopt);
  none.publish(snapshot_, {10, wall_, false, MenuBarLevel::green, {}, {}, "en"});
  EXPECT_FALSE(none.healthy());

  ASSERT_TRUE(QDir().mkpath(temporary_.filePath("data")));
  std::ofstream(folder()) << "a file where the folder belongs";
  WidgetPublisher publisher(folder());
  EXPECT_FALSE(publish(publisher, 100, MenuBarLevel::green).first);
  EXPECT_FALSE(publisher.healthy());
  ASSERT_TRUE(QFile::remove(QString::fromStdString(folder())));
  EXPECT_TRUE(publish(publisher, 160, MenuBarLevel::green).second) << "the first write that worked asks for a reload";
  EXPECT_TRUE(publisher.healthy());
}

}  // namespace
}  // namespace hollin
