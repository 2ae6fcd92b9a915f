// The configured widgets in their INI file: what a hand-edited or damaged file reads as, and
// what a written list reads back as.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>

#include "widgets/WidgetSettings.h"

namespace hollin {
namespace {

TEST(WidgetSettingsTest, AFileReadsAsItsValidWidgetsOnly) {
  const struct {
    const char* name;
    const char* ini;  // nullptr: no file at all
    std::vector<ConfiguredWidget> widgets;
  } rows[] = {
      {"no file", nullptr, {}},
      {"an empty list", "[widgets]\nsize=0\n", {}},
      {"two widgets in their order",
       "[widgets]\n1\\kind=HollinCPU\n1\\family=small\n1\\x=40\n1\\y=-20\n"
       "2\\kind=HollinCombined\n2\\family=large\n2\\x=600\n2\\y=90\nsize=2\n",
       {{"HollinCPU", WidgetFamily::small, QPoint(40, -20)}, {"HollinCombined", WidgetFamily::large, QPoint(600, 90)}}},
      {"an unknown kind and a family the kind does not come in are left out",
       "[widgets]\n1\\kind=HollinWeather\n1\\family=small\n2\\kind=HollinMemory\n2\\family=large\n"
       "3\\kind=HollinCombined\n3\\family=small\n4\\kind=HollinSwapChange\n4\\family=small\nsize=4\n",
       {{"HollinSwapChange", WidgetFamily::small, std::nullopt}}},
      {"a position that is not two whole numbers is the program's to choose",
       "[widgets]\n1\\kind=HollinThermal\n1\\family=small\n1\\x=12.5\n1\\y=3\n"
       "2\\kind=HollinStorage\n2\\family=small\n2\\x=7\nsize=2\n",
       {{"HollinThermal", WidgetFamily::small, std::nullopt}, {"HollinStorage", WidgetFamily::small, std::nullopt}}},
      {"a list size beyond its entries reads the entries there are",
       "[widgets]\n1\\kind=HollinSSDTemperature\n1\\family=small\nsize=3\n",
       {{"HollinSSDTemperature", WidgetFamily::small, std::nullopt}}},
      {"not an INI file at all", "\x01\x02{\"widgets\": [1, 2]}\n\xff\xfe", {}},
  };
  for (const auto& row : rows) {
    QTemporaryDir folder;
    const QString file = folder.filePath("Widgets.ini");
    if (row.ini) std::ofstream(file.toStdString()) << row.ini;
    EXPECT_EQ(loadWidgets(file), row.widgets) << row.name;
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
  ASSERT_TRUE(saveWidgets(file, {three[1]}));
  EXPECT_EQ(loadWidgets(file), std::vector{three[1]});
  ASSERT_TRUE(saveWidgets(file, {}));
  EXPECT_EQ(loadWidgets(file), std::vector<ConfiguredWidget>{}) << "the next start shows the default again";
}

TEST(WidgetSettingsTest, TheFileFollowsTheConfigurationHome) {
  const struct {
    const char* name;
    const char* config;
    const char* home;
    QString file;
  } rows[] = {
      {"XDG_CONFIG_HOME first", "/c", "/h", "/c/Hollin/Widgets.ini"},
      {"else the home's .config", nullptr, "/h", "/h/.config/Hollin/Widgets.ini"},
      {"a relative value does not count", "c", "/h", "/h/.config/Hollin/Widgets.ini"},
      {"neither: nowhere", nullptr, "h", ""},
  };
  for (const auto& row : rows)
    EXPECT_EQ(widgetSettingsFile([&](const char* name) {
                return std::string_view(name) == "XDG_CONFIG_HOME" ? row.config
                       : std::string_view(name) == "HOME"          ? row.home
                                                                   : nullptr;
              }),
              row.file)
        << row.name;
}

}  // namespace
}  // namespace hollin
