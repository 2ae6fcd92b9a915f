// Where every part of a widget goes, worked out from its face alone: the painter only replays
// this, and the tests check it (which option each text chose, whether anything is cut off)
// without painting.
#pragma once

#include <QFont>
#include <QLineF>
#include <QRectF>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/widgets/UsageWidgetFace.h"

namespace hollin {

// The core's UTF-8 text as Qt's.
inline QString qText(const std::string& text) { return QString::fromStdString(text); }

// The widget fonts, in pixels, all the system font.
enum class WidgetFont { title, caption, value, ringTemperature };

struct WidgetFonts {
  QFont title, caption, value, ringTemperature;
  static WidgetFonts system();
  const QFont& operator[](WidgetFont which) const;
};

struct LaidText {
  QRectF rect;
  QString text;      // the option chosen
  WidgetFont font = WidgetFont::caption;
  bool secondary = false;  // drawn in the palette's secondary text colour
  bool clipped = false;    // even the last option, shrunk as far as it may be, is wider than its room
  double scale = 1;        // below 1: drawn smaller to fit
};

struct LaidIcon {
  QRectF rect;
  QString name;  // a theme icon name
};

struct LaidRing {
  QRectF rect;  // the circle the strokes follow
  std::optional<double> fraction;
  bool fullCircle = false;
  WidgetTint tint = WidgetTint::grey;
};

struct ToolTipArea {
  QRectF rect;
  QString text;
};

struct WidgetLayout {
  QSizeF size;
  std::vector<LaidText> texts;
  std::vector<LaidIcon> icons;
  std::vector<LaidRing> rings;
  std::vector<QLineF> dividers;
  std::vector<ToolTipArea> toolTips;  // one per ring or figure
  QString toolTip;                    // elsewhere on the widget
  bool overflows = false;             // the content is taller than the widget
  bool clipped() const;               // anything cut off
};

inline constexpr double widgetMargin = 10;    // pixels around the content
inline constexpr double widgetSpacing = 4;    // between the stacked parts
inline constexpr double ringSide = 70;        // the circle's diameter
inline constexpr double ringPadding = 3;
inline constexpr double ringStroke = 8;
inline constexpr double rowSpacing = 16;      // between a ring and a divider
inline constexpr double dividerPadding = 8;   // around the divider between two rows
inline constexpr double titleIconGap = 4;
// How far a text whose last option is still too wide may shrink before it counts as cut off:
// figures further than captions, which must stay readable.
inline constexpr double smallestTextScale = 0.8;
inline constexpr double smallestFigureScale = 0.6;

// `hasIcon` says whether the icon theme has a name; without it no title shows an icon.
WidgetLayout layoutWidget(const UsageFace& face, QSize size, const WidgetFonts& fonts,
                          const std::function<bool(const QString&)>& hasIcon = {});

}  // namespace hollin
