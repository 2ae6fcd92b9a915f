// The provider's replacement check: every call first compares the launched build with the
// Info.plist on disk, and a different build ends the call before anything is read.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>

#include "WidgetTestSupport.h"
#include "widgets/UsageProvider.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;

void writeInfo(const std::filesystem::path& folder, const std::string& build) {
  std::ofstream(folder / BundleReplacement::infoFile)
      << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>CFBundleVersion</key><string>"
      << build << "</string></dict></plist>\n";
}

TEST(UsageProviderTest, EveryCallFirstEndsAReplacedBuildAndOtherwiseReadsTheSummaryAnew) {
  QTemporaryDir folder;
  const std::filesystem::path data = folder.path().toStdString(), summaryFile = data / "widget-summary.json";
  const WallTime now = std::chrono::system_clock::now();
  writeInfo(data, "41");
  int replacements = 0;
  const UsageProvider provider({summaryFile, data, "41", [now] { return now; }, [&] { ++replacements; }});

  // No summary yet: entries without one.
  EXPECT_EQ(provider.placeholder(), (UsageEntry{now, std::nullopt}));
  EXPECT_EQ(provider.getSnapshot(), (UsageEntry{now, std::nullopt}));
  const std::string written = encodeWidgetSnapshot(testing::fixtureSummary(now, 60s));
  std::ofstream(summaryFile) << written;
  const auto summary = decodeWidgetSnapshot(written);
  const auto timeline = provider.getTimeline();
  ASSERT_TRUE(timeline);
  ASSERT_EQ(timeline->entries.size(), 2u) << "now, and when the summary turns outdated";
  EXPECT_EQ(timeline->entries[0].snapshot, summary);
  EXPECT_EQ(provider.getSnapshot()->snapshot, summary);

  writeInfo(data, "41");  // reinstalled, the same build
  EXPECT_TRUE(provider.getTimeline());
  writeInfo(data, "42");
  EXPECT_FALSE(provider.placeholder());
  EXPECT_FALSE(provider.getSnapshot());
  EXPECT_FALSE(provider.getTimeline());
  EXPECT_EQ(replacements, 3);

  // A build that never knew its number is never taken as replaced.
  const UsageProvider unnumbered({summaryFile, data, std::nullopt, [now] { return now; }, [&] { ++replacements; }});
  EXPECT_TRUE(unnumbered.getTimeline());
  EXPECT_EQ(replacements, 3);
}

}  // namespace
}  // namespace hollin
