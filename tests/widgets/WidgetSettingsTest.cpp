// The configured widgets in their INI file: what a hand-edited or damaged file reads as, and
// what a written list reads back as.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>
#include <tuple>

#include "widgets/WidgetSettings.h"

namespace hollin {
namespace {

TEST(WidgetSettingsTest, AFileReadsAsItsValidWidgetsOnly) {
  const std::tuple<const char*, const char*, std::vector<ConfiguredWidget>> rows[] = {
      {"an unknown kind and a family the kind does not come in are left out, the rest kept in order",
       "[widgets]\n1\\kind=HollinWeather\n1\\family=small\n2\\kind=HollinCPU\n2\\family=small\n2\\x=40\n2\\y=-20\n"
       "3\\kind=HollinMemory\n3\\family=large\n4\\kind=HollinCombined\n4\\family=large\n4\\x=600\n4\\y=90\nsize=4\n",
       {{"HollinCPU", WidgetFamily::small, QPoint(40, -20)}, {"HollinCombined", WidgetFamily::large, QPoint(600, 90)}}},
      {"a position that is not two whole numbers is the program's to choose",
       "[widgets]\n1\\kind=HollinThermal\n1\\family=small\n1\\x=12.5\n1\\y=3\n"
       "2\\kind=HollinStorage\n2\\family=small\n2\\x=7\nsize=2\n",
       {{"HollinThermal", WidgetFamily::small, std::nullopt}, {"HollinStorage", WidgetFamily::small, std::nullopt}}},
      {"a list size beyond its entries reads the entries there are",
       "[widgets]\n1\\kind=HollinSSDTemperature\n1\\family=small\nsize=3\n",
       {{"HollinSSDTemperature", WidgetFamily::small, std::nullopt}}},
      {"not an INI file at all", "\x01\x02{\"widgets\": [1, 2]}\n\xff\xfe", {}},
  };
  for (const auto& [name, ini, widgets] : rows) {
    QTemporaryDir folder;
    const QString file = folder.filePath("Widgets.ini");
    std::ofstream(file.toStdString()) << ini;
    EXPECT_EQ(loadWidgets(file), widgets) << name;
  }
}

TEST(WidgetSettingsTest, AWrittenListReadsBackAndAShorterOneLeavesNothingBehind) {
  QTemporaryDir folder;
  const QString file = folder.filePath("Hollin/Widgets.ini");
  const std::vector<ConfiguredWidget> three = {{"HollinCombined", WidgetFamily::medium, QPoint(10, 20)},
                                               {"HollinCPU", WidgetFamily::small, std::nullopt},
                                               {"HollinCombined", WidgetFamily::large, QPoint(-5, 900)}};
  ASSERT_TRUE(saveWidgets(file, three));
  EXPECT_EQ(loadWidgets(file), three);
  // A shorter list leaves nothing behind: its first entry loses the position the longer list gave it.
  ASSERT_TRUE(saveWidgets(file, {three[1]}));
  EXPECT_EQ(loadWidgets(file), std::vector{three[1]});
}

}  // namespace
}  // namespace hollin
