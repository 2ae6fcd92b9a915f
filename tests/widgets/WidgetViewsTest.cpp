// The widget views under a real X server: every widget in every family it comes in, in both
// languages and both palettes, drawn to PNG files for a look, with nothing cut off; and the
// layout's own choices where room runs short.
#include <gtest/gtest.h>

#include <QDir>
#include <QFontMetricsF>

#include "WidgetTestSupport.h"
#include "widgets/UsageWidgetView.h"
#include "widgets/WidgetLayout.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;

const QString screenshots = QStringLiteral(HOLLIN_BINARY_DIR "/screenshots");

std::vector<std::string> clippedTexts(const WidgetLayout& layout) {
  std::vector<std::string> clipped;
  for (const LaidText& text : layout.texts)
    if (text.clipped) clipped.push_back(text.text.toStdString());
  return clipped;
}

class WidgetViewsTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::widgetsApplication(); }
  const WallTime now = std::chrono::system_clock::now();
};

TEST_F(WidgetViewsTest, EveryWidgetFitsItsFamilyInBothLanguagesAndIsDrawnInBothPalettes) {
  ASSERT_TRUE(QDir().mkpath(screenshots));
  const struct {
    const char* name;  // appended to the file name
    std::optional<WidgetSnapshot> summary;
  } summaries[] = {
      {"", testing::fixtureSummary(now, 60s)},
      {"-outdated", testing::fixtureSummary(now, 25min)},
      {"-widest", testing::widestSummary(now)},
      {"-empty", std::nullopt},
  };
  const WidgetFonts fonts = WidgetFonts::system();
  int drawn = 0;
  for (const WidgetKind& kind : widgetKinds())
    for (WidgetFamily family : kind.families)
      for (const char* language : {"ja", "en"})
        for (const auto& [suffix, summary] : summaries) {
          const UsageEntry entry{now, summary};
          const UsageFace face = usageFace(kind.mode, family, entry, language);
          const WidgetSize size = widgetSize(family);
          const WidgetLayout layout = layoutWithTheme(face, QSize(size.width, size.height), fonts);
          const std::string name = "widget-" + std::to_string(kind.mode) + "-" + std::string(rawValue(family)) + "-" +
                                   language;
          EXPECT_FALSE(layout.overflows) << name << suffix;
          EXPECT_EQ(clippedTexts(layout), std::vector<std::string>{}) << name << suffix;
          for (const auto& [shade, palette] : {std::pair{"light", testing::lightPalette()}, std::pair{"dark", testing::darkPalette()}}) {
            const QImage image = renderWidget(face, QSize(size.width, size.height), palette);
            const QString file = screenshots + "/" + QString::fromStdString(name) + "-" + shade + suffix + ".png";
            EXPECT_TRUE(image.save(file)) << file.toStdString();
            // The card is drawn in the palette's window colour and its corners stay clear.
            EXPECT_EQ(image.pixelColor(size.width / 2, 2), palette.color(QPalette::Window)) << name;
            EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0) << name;
            ++drawn;
          }
        }
  EXPECT_EQ(drawn, 8 * 2 * 4 * 2) << "seven widgets, the combined one in two families";
}

TEST_F(WidgetViewsTest, TextsFallBackToShorterOptionsAndReportWhatStillDoesNotFit) {
  RingFace ring;
  ring.title = {"メモリー使用（目安）", "メモリー", ""};
  ring.fraction = 0.5;
  ring.centre = "100%";
  ring.caption = {"10.5 GB / 16 GB", "10.5 GB"};
  const WidgetFonts fonts = WidgetFonts::system();
  auto widthOf = [&](const QFont& font, const char* text) { return QFontMetricsF(font).horizontalAdvance(text); };
  const double longTitle = widthOf(fonts.title, "メモリー使用（目安）"), shortTitle = widthOf(fonts.title, "メモリー");
  const double longCaption = widthOf(fonts.caption, "10.5 GB / 16 GB"), shortCaption = widthOf(fonts.caption, "10.5 GB");
  const auto width = [](double text) { return static_cast<int>(text + 2 * widgetMargin) + 2; };
  const double widestShort = std::max(shortTitle, shortCaption);
  const struct {
    const char* name;
    int width;
    QString title, caption;
    bool shrunk, clipped;
  } rows[] = {
      {"room for the long texts", width(std::max(longTitle, longCaption)), "メモリー使用（目安）", "10.5 GB / 16 GB", false, false},
      {"a narrow widget takes the short title and caption", width(widestShort), "メモリー", "10.5 GB", false, false},
      {"a little narrower still: the short texts shrink", width(widestShort * 0.9), "メモリー", "10.5 GB", true, false},
      {"far too narrow: cut off", width(widestShort * 0.6), "メモリー", "10.5 GB", true, true},
  };
  for (const auto& row : rows) {
    const WidgetLayout layout = layoutWidget(UsageFace{{{ring}}, std::nullopt, {}, {}, ""}, QSize(row.width, 400), fonts);
    ASSERT_EQ(layout.texts.size(), 3u) << row.name;
    EXPECT_EQ(layout.texts[0].text, row.title) << row.name;
    EXPECT_EQ(layout.texts[2].text, row.caption) << row.name;
    EXPECT_EQ(layout.texts[0].scale < 1 || layout.texts[2].scale < 1, row.shrunk) << row.name;
    EXPECT_EQ(layout.clipped(), row.clipped) << row.name;
    // The centre never runs over the ring: a wide figure is drawn smaller instead.
    EXPECT_LE(widthOf(fonts.value, "100%") * layout.texts[1].scale, ringSide - ringStroke) << row.name;
  }
}

TEST_F(WidgetViewsTest, TheLargeCombinedWidgetStacksTwoRowsAndNeedsItsHeight) {
  const UsageFace face = usageFace(2, WidgetFamily::large, {now, testing::fixtureSummary(now, 60s)}, "en");
  const WidgetFonts fonts = WidgetFonts::system();
  const WidgetLayout large = layoutWidget(face, QSize(364, 382), fonts);
  ASSERT_EQ(large.rings.size(), 4u);
  EXPECT_LT(large.rings[0].rect.bottom(), large.rings[2].rect.top()) << "memory and storage above CPU and heat";
  EXPECT_EQ(large.rings[0].rect.top(), large.rings[1].rect.top());
  EXPECT_EQ(large.dividers.size(), 3u) << "one in each row and one between them";
  // Each ring answers with its own tool tip; the rest of the widget with the widget's name.
  ASSERT_EQ(large.toolTips.size(), 4u);
  EXPECT_EQ(large.toolTips[1].text.toStdString(), face.ringRows[0][1].toolTip);
  EXPECT_TRUE(large.toolTips[1].rect.contains(large.rings[1].rect.center()));
  EXPECT_FALSE(large.toolTips[0].rect.intersects(large.toolTips[1].rect));
  // Squeezed into the medium height it no longer fits.
  EXPECT_TRUE(layoutWidget(face, QSize(364, 170), fonts).overflows);
}

}  // namespace
}  // namespace hollin
