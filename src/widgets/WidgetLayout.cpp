#include "widgets/WidgetLayout.h"

#include <QApplication>
#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace hollin {
namespace {

QFont widgetFont(int pixelSize, QFont::Weight weight) {
  QFont font = QApplication::font();
  font.setPixelSize(pixelSize);
  font.setWeight(weight);
  return font;
}

// The room a centre figure has inside the ring's stroke, less a little air on each side.
constexpr double ringInside = ringSide - ringStroke - 4;
constexpr double ringBox = ringSide + 2 * ringPadding;
constexpr double dividerBlock = 2 * dividerPadding + 1;

class Layouter {
 public:
  Layouter(const WidgetFonts& fonts, const std::function<bool(const QString&)>& hasIcon, WidgetLayout& out)
      : fonts_(fonts), hasIcon_(hasIcon), out_(out) {}

  const QFont& font(WidgetFont which) const { return fonts_[which]; }
  double lineHeight(WidgetFont which) const { return std::ceil(QFontMetricsF(font(which)).height()); }
  double width(WidgetFont which, const QString& text) const { return QFontMetricsF(font(which)).horizontalAdvance(text); }

  double ringColumnHeight() const {
    return lineHeight(WidgetFont::title) + widgetSpacing + ringBox + widgetSpacing + lineHeight(WidgetFont::caption);
  }
  double metricColumnHeight() const {
    return lineHeight(WidgetFont::title) + widgetSpacing + lineHeight(WidgetFont::value) + widgetSpacing +
           lineHeight(WidgetFont::caption);
  }

  // The first option that fits the width, else the last one drawn smaller, as far as it may.
  void fitting(const std::vector<std::string>& options, WidgetFont which, QRectF rect, bool secondary) {
    LaidText text{rect, {}, which, secondary};
    for (const std::string& option : options) {
      text.text = qText(option);
      if (width(which, text.text) <= rect.width()) {
        out_.texts.push_back(text);
        return;
      }
    }
    const double smallest = which == WidgetFont::value ? smallestFigureScale : smallestTextScale;
    text.scale = std::max(smallest, shrunk(which, text.text, rect.width()));
    text.clipped = width(which, text.text) * text.scale > rect.width();
    out_.texts.push_back(text);
  }

  // The scale at which the text fits the width, in whole pixel sizes as it is drawn.
  double shrunk(WidgetFont which, const QString& text, double room) const {
    QFont smaller = font(which);
    const int full = smaller.pixelSize();
    for (int size = full - 1; size > 0; --size) {
      smaller.setPixelSize(size);
      if (QFontMetricsF(smaller).horizontalAdvance(text) <= room) return static_cast<double>(size) / full;
    }
    return 0;
  }

  // Icon and the longer text when both fit, else the short text alone.
  void title(const WidgetTitle& title, QRectF rect) {
    const QString text = qText(title.text), icon = qText(title.icon);
    const bool withIcon = !icon.isEmpty() && hasIcon_ && hasIcon_(icon);
    const double iconSide = rect.height();
    const double wide = width(WidgetFont::title, text) + (withIcon ? iconSide + titleIconGap : 0);
    if (wide <= rect.width()) {
      const double left = rect.center().x() - wide / 2;
      if (withIcon) out_.icons.push_back({QRectF(left, rect.top(), iconSide, iconSide), icon});
      const double textLeft = left + (withIcon ? iconSide + titleIconGap : 0);
      out_.texts.push_back({QRectF(textLeft, rect.top(), wide - (textLeft - left), rect.height()), text, WidgetFont::title});
      return;
    }
    fitting({title.shortText}, WidgetFont::title, rect, false);
  }

  void ring(const RingFace& face, QRectF column) {
    const double titleHeight = lineHeight(WidgetFont::title);
    title(face.title, QRectF(column.left(), column.top(), column.width(), titleHeight));
    const double ringTop = column.top() + titleHeight + widgetSpacing + ringPadding;
    const QRectF circle(column.center().x() - ringSide / 2, ringTop, ringSide, ringSide);
    out_.rings.push_back({circle, face.fraction, face.fullCircle, face.tint});
    const WidgetFont centreFont = face.temperatureFont ? WidgetFont::ringTemperature : WidgetFont::value;
    LaidText centre{circle, qText(face.centre), centreFont};
    // A wide figure ("100%") shrinks rather than run over the ring.
    if (width(centreFont, centre.text) > ringInside) centre.scale = shrunk(centreFont, centre.text, ringInside);
    centre.clipped = centre.scale < smallestFigureScale;
    out_.texts.push_back(centre);
    const double captionTop = ringTop - ringPadding + ringBox + widgetSpacing;
    fitting(face.caption, WidgetFont::caption,
            QRectF(column.left(), captionTop, column.width(), lineHeight(WidgetFont::caption)), true);
    out_.toolTips.push_back({column, qText(face.toolTip)});
  }

  void metric(const MetricFace& face, QRectF column) {
    double top = column.top();
    const double titleHeight = lineHeight(WidgetFont::title), valueHeight = lineHeight(WidgetFont::value);
    title(face.title, QRectF(column.left(), top, column.width(), titleHeight));
    top += titleHeight + widgetSpacing;
    fitting({face.value}, WidgetFont::value, QRectF(column.left(), top, column.width(), valueHeight), false);
    top += valueHeight + widgetSpacing;
    fitting(face.caption, WidgetFont::caption,
            QRectF(column.left(), top, column.width(), lineHeight(WidgetFont::caption)), true);
    out_.toolTips.push_back({column, qText(face.toolTip)});
  }

  // Rings side by side, a vertical divider between each two.
  void ringRow(const std::vector<RingFace>& row, QRectF rect) {
    const auto count = static_cast<double>(row.size());
    const double gap = 2 * rowSpacing + 1;
    const double columnWidth = (rect.width() - (count - 1) * gap) / count;
    double left = rect.left();
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (i > 0) {
        const double x = left - rowSpacing - 0.5;
        out_.dividers.emplace_back(x, rect.top(), x, rect.bottom());
      }
      ring(row[i], QRectF(left, rect.top(), columnWidth, rect.height()));
      left += columnWidth + gap;
    }
  }

 private:
  const WidgetFonts& fonts_;
  const std::function<bool(const QString&)>& hasIcon_;
  WidgetLayout& out_;
};

}  // namespace

WidgetFonts WidgetFonts::system() {
  return {widgetFont(14, QFont::DemiBold), widgetFont(14, QFont::Normal), widgetFont(26, QFont::DemiBold),
          widgetFont(22, QFont::DemiBold)};
}

const QFont& WidgetFonts::operator[](WidgetFont which) const {
  switch (which) {
    case WidgetFont::title: return title;
    case WidgetFont::caption: return caption;
    case WidgetFont::value: return value;
    case WidgetFont::ringTemperature: return ringTemperature;
  }
  return caption;
}

bool WidgetLayout::clipped() const {
  return overflows || std::any_of(texts.begin(), texts.end(), [](const LaidText& text) { return text.clipped; });
}

WidgetLayout layoutWidget(const UsageFace& face, QSize size, const WidgetFonts& fonts,
                          const std::function<bool(const QString&)>& hasIcon) {
  WidgetLayout layout;
  layout.size = size;
  layout.toolTip = qText(face.toolTip);
  Layouter place(fonts, hasIcon, layout);

  // The parts from top to bottom, each with its height and how it is laid out at a given top.
  struct Block {
    double height;
    std::function<void(QRectF)> lay;
  };
  std::vector<Block> blocks;
  for (std::size_t r = 0; r < face.ringRows.size(); ++r) {
    if (r > 0)
      blocks.push_back({dividerBlock, [&layout](QRectF rect) {
                          const double y = rect.center().y();
                          layout.dividers.emplace_back(rect.left() + dividerPadding, y, rect.right() - dividerPadding, y);
                        }});
    const auto& row = face.ringRows[r];
    if (!row.empty()) blocks.push_back({place.ringColumnHeight(), [&place, &row](QRectF rect) { place.ringRow(row, rect); }});
  }
  if (face.metric)
    blocks.push_back({place.metricColumnHeight(), [&place, &face](QRectF rect) { place.metric(*face.metric, rect); }});
  const double captionHeight = place.lineHeight(WidgetFont::caption);
  for (const std::string& line : face.lines)
    blocks.push_back({captionHeight, [&place, &line](QRectF rect) { place.fitting({line}, WidgetFont::caption, rect, false); }});
  if (!face.footer.empty())
    blocks.push_back({captionHeight, [&place, &face](QRectF rect) { place.fitting(face.footer, WidgetFont::caption, rect, true); }});

  double total = 0;
  for (const Block& block : blocks) total += block.height;
  if (!blocks.empty()) total += widgetSpacing * static_cast<double>(blocks.size() - 1);
  const QRectF content = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(widgetMargin, widgetMargin, -widgetMargin, -widgetMargin);
  layout.overflows = total > content.height();
  double top = content.top() + std::max(0.0, (content.height() - total) / 2);
  for (const Block& block : blocks) {
    block.lay(QRectF(content.left(), top, content.width(), block.height));
    top += block.height + widgetSpacing;
  }
  return layout;
}

}  // namespace hollin
