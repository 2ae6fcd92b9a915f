// The host in this process on the test's display: the reload marker in the shared folder moves
// every widget to the new summary (also when the folder only appears later), widgets added and
// removed from the menu are remembered, and removing the last one quits.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include <fstream>

#include "WidgetTestSupport.h"
#include "widgets/WidgetHost.h"

namespace hollin {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The texts a window draws at the moment.
std::vector<std::string> drawn(const WidgetWindow& window) {
  std::vector<std::string> texts;
  for (const LaidText& text : window.view().layout().texts) texts.push_back(text.text.toStdString());
  return texts;
}

bool draws(const WidgetWindow& window, const std::string& text) {
  const auto texts = drawn(window);
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

TEST(WidgetHostTest, TheMarkerReloadsEveryWidgetAndTheMenuEditsTheRememberedList) {
  testing::widgetsApplication();
  QTemporaryDir root;
  const fs::path shared = fs::path(root.path().toStdString()) / "data" / "group";
  const QString settings = root.filePath("config/Hollin/Widgets.ini");
  fs::create_directories(shared.parent_path());
  const UsageProvider provider({shared / WidgetSnapshot::fileName, root.path().toStdString(), std::nullopt,
                                [] { return std::chrono::system_clock::now(); }, [] {}});
  WidgetHost host(provider, {shared, settings, "en"});
  QSignalSpy quit(&host, &WidgetHost::quitRequested);
  host.start();
  ASSERT_EQ(host.windows().size(), 1u) << "the default widget";
  const WidgetWindow& first = *host.windows()[0];
  EXPECT_EQ(first.kind().kind, "HollinCombined");
  EXPECT_TRUE(draws(first, "—")) << "no summary yet";

  // The folder appears with a summary, but only the marker makes the widgets read it.
  fs::create_directories(shared);
  WidgetSnapshot summary = testing::fixtureSummary(std::chrono::system_clock::now(), 60s);
  std::ofstream(shared / WidgetSnapshot::fileName) << encodeWidgetSnapshot(summary);
  EXPECT_FALSE(testing::waitUntil([&] { return draws(first, "66%"); }, 500ms));
  std::ofstream(shared / WidgetSnapshot::reloadFileName) << "1";
  EXPECT_TRUE(testing::waitUntil([&] { return draws(first, "66%"); })) << ::testing::PrintToString(drawn(first));

  // A new marker put in place of the old one (written aside, renamed over it) reads again.
  summary.memoryUsed = *summary.memoryTotal / 4;
  std::ofstream(shared / WidgetSnapshot::fileName) << encodeWidgetSnapshot(summary);
  std::ofstream(shared / "marker.new") << "2";
  fs::rename(shared / "marker.new", shared / WidgetSnapshot::reloadFileName);
  EXPECT_TRUE(testing::waitUntil([&] { return draws(first, "25%"); })) << ::testing::PrintToString(drawn(first));

  emit host.windows()[0]->addRequested("HollinCPU", WidgetFamily::small);
  ASSERT_EQ(host.windows().size(), 2u);
  EXPECT_TRUE(draws(*host.windows()[1], "37%")) << "a new widget reads the summary at once";
  std::vector<ConfiguredWidget> stored = loadWidgets(settings);
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[1].kind, "HollinCPU");
  EXPECT_TRUE(stored[0].position && stored[1].position && *stored[0].position != *stored[1].position);

  emit host.windows()[0]->removeRequested();
  ASSERT_EQ(host.windows().size(), 1u);
  EXPECT_EQ(loadWidgets(settings), std::vector{stored[1]});
  EXPECT_EQ(quit.count(), 0);
  emit host.windows()[0]->removeRequested();
  EXPECT_EQ(quit.count(), 1) << "nothing left to show";
  EXPECT_EQ(loadWidgets(settings), std::vector<ConfiguredWidget>{});
}

}  // namespace
}  // namespace hollin
