// The widget views under a real X server: every widget in every family it comes in, in both
// languages and both palettes, drawn to PNG files for a look, with nothing cut off; and where
// room runs short, that the layout does cut off and says so.
#include <gtest/gtest.h>

#include <QDir>
#include <QFontMetricsF>

#include <ctime>
#include <tuple>

#include "WidgetTestSupport.h"
#include "widgets/UsageWidgetView.h"
#include "widgets/WidgetLayout.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;

const QString screenshots = QStringLiteral(HOLLIN_BINARY_DIR "/screenshots");

// Today at 12:23 on the local clock, so that a reading 25 minutes old is shown at 11:58 AM, the
// widest time of day in English; a test that took the real clock passed or failed with the hour.
WallTime localNoonish() {
  const std::time_t today = std::time(nullptr);
  std::tm local{};
  localtime_r(&today, &local);
  local.tm_hour = 12, local.tm_min = 23, local.tm_sec = 0, local.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

class WidgetViewsTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::widgetsApplication(); }
  const WallTime now = localNoonish();
};

TEST_F(WidgetViewsTest, EveryWidgetFitsItsFamilyInBothLanguagesAndIsDrawnInBothPalettes) {
  ASSERT_TRUE(QDir().mkpath(screenshots));
  // Each summary with the ending of its files' names.
  const std::pair<const char*, std::optional<WidgetSnapshot>> summaries[] = {
      {"", testing::fixtureSummary(now, 60s)}, {"-outdated", testing::fixtureSummary(now, 25min)},
      {"-widest", testing::widestSummary(now)}, {"-empty", std::nullopt},
  };
  const WidgetFonts fonts = WidgetFonts::system();
  for (const WidgetKind& kind : widgetKinds())
    for (WidgetFamily family : kind.families)
      for (const char* language : {"ja", "en"})
        for (const auto& [suffix, summary] : summaries) {
          const UsageFace face = usageFace(kind.mode, family, {now, summary}, language);
          const QSize size(widgetSize(family).width, widgetSize(family).height);
          const std::string name = "widget-" + std::to_string(kind.mode) + "-" + std::string(rawValue(family)) + "-" +
                                   language;
          // Nothing cut off, nothing runs over.
          EXPECT_FALSE(layoutWithTheme(face, size, fonts).clipped()) << name << suffix;
          for (const auto& [shade, palette] : {std::pair{"light", testing::widgetPalette(0xf6f6f6, 0x1d1d1f, 0x6e6e73)},
                                               std::pair{"dark", testing::widgetPalette(0x2c2c2e, 0xf2f2f7, 0x98989f)}}) {
            const QImage image = renderWidget(face, size, palette);
            const QString file = screenshots + "/" + QString::fromStdString(name) + "-" + shade + suffix + ".png";
            EXPECT_TRUE(image.save(file)) << file.toStdString();
            // The card is drawn in the palette's window colour and its corners stay clear.
            EXPECT_EQ(image.pixelColor(size.width() / 2, 2), palette.color(QPalette::Window)) << name;
            EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0) << name;
          }
        }
}

// The rows that cut off are what let the no-clipping check above fail at all.
TEST_F(WidgetViewsTest, TextsTakeShorterOptionsThenSmallerTypeAndReportWhatStillDoesNotFit) {
  const WidgetFonts fonts = WidgetFonts::system();
  const auto widthOf = [&](const QFont& font, const char* text) { return QFontMetricsF(font).horizontalAdvance(text); };
  const auto room = [](double text) { return static_cast<int>(text + 2 * widgetMargin) + 2; };
  const double longTexts = std::max(widthOf(fonts.title, "メモリー使用（目安）"), widthOf(fonts.caption, "10.5 GB / 16 GB"));
  const double shortTexts = std::max(widthOf(fonts.title, "メモリー"), widthOf(fonts.caption, "10.5 GB"));
  const RingFace ring{.title = {"メモリー使用（目安）", "メモリー", ""}, .fraction = 0.5, .centre = "100%",
                      .caption = {"10.5 GB / 16 GB", "10.5 GB"}, .toolTip = {}};
  const UsageFace memory{{{ring}}, std::nullopt, {}, {}, ""};
  const UsageFace large = usageFace(2, WidgetFamily::large, {now, testing::fixtureSummary(now, 60s)}, "en");
  const std::tuple<const char*, UsageFace, QSize, QString, QString, bool, bool> rows[] = {
      // The face, its size, the title and caption chosen (empty: not looked at), shrunk, cut off.
      {"room for the long texts", memory, {room(longTexts), 400}, "メモリー使用（目安）", "10.5 GB / 16 GB", false, false},
      {"a narrow widget takes the short title and caption", memory, {room(shortTexts), 400}, "メモリー", "10.5 GB", false, false},
      {"a little narrower still: the short texts shrink", memory, {room(shortTexts * 0.9), 400}, "メモリー", "10.5 GB", true, false},
      {"far too narrow: cut off", memory, {room(shortTexts * 0.6), 400}, "メモリー", "10.5 GB", true, true},
      {"the large combined widget in the medium height", large, {364, 170}, "", "", false, true},
  };
  for (const auto& [name, face, size, title, caption, shrunk, clipped] : rows) {
    const WidgetLayout layout = layoutWidget(face, size, fonts);
    EXPECT_EQ(layout.clipped(), clipped) << name;
    if (title.isEmpty()) continue;
    ASSERT_EQ(layout.texts.size(), 3u) << name;
    EXPECT_EQ(layout.texts[0].text, title) << name;
    EXPECT_EQ(layout.texts[2].text, caption) << name;
    EXPECT_EQ(layout.texts[0].scale < 1 || layout.texts[2].scale < 1, shrunk) << name;
    // The centre never runs over the ring: a wide figure is drawn smaller instead.
    EXPECT_LE(widthOf(fonts.value, "100%") * layout.texts[1].scale, ringSide - ringStroke) << name;
  }
  // In its own height: a divider in each row and between them, and a tool tip over each ring.
  const WidgetLayout laid = layoutWidget(large, QSize(364, 382), fonts);
  EXPECT_EQ(laid.dividers.size(), 3u);
  ASSERT_EQ(laid.toolTips.size(), 4u);
  EXPECT_EQ(laid.toolTips[1].text.toStdString(), large.ringRows[0][1].toolTip);
  EXPECT_TRUE(laid.toolTips[1].rect.contains(laid.rings[1].rect.center()));
}

}  // namespace
}  // namespace hollin
