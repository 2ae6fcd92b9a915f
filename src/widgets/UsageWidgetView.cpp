#include "widgets/UsageWidgetView.h"

#include <QFontMetricsF>
#include <QHelpEvent>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace hollin {
namespace {

QColor colour(Rgba rgba) { return QColor::fromRgbF(float(rgba.red), float(rgba.green), float(rgba.blue), float(rgba.alpha)); }

QColor secondaryText(const QPalette& palette) { return palette.color(QPalette::PlaceholderText); }

// Grey follows the palette's secondary text, so it stays visible on a dark card.
QColor tintColour(WidgetTint tint, const QPalette& palette) {
  return tint == WidgetTint::grey ? secondaryText(palette) : colour(rgba(tint));
}

void paintRing(QPainter& painter, const LaidRing& ring, const QPalette& palette) {
  QColor track = secondaryText(palette);
  track.setAlphaF(track.alphaF() * 0.2f);
  const QColor tint = tintColour(ring.tint, palette);
  if (ring.fullCircle) {
    painter.setPen(QPen(tint, ringStroke, Qt::SolidLine, Qt::FlatCap));
    painter.drawEllipse(ring.rect);
    return;
  }
  painter.setPen(QPen(track, ringStroke, Qt::SolidLine, Qt::FlatCap));
  painter.drawEllipse(ring.rect);
  if (!ring.fraction || *ring.fraction <= 0) return;
  // From the top, clockwise; Qt counts sixteenths of a degree, anticlockwise from three o'clock.
  painter.setPen(QPen(tint, ringStroke, Qt::SolidLine, Qt::RoundCap));
  painter.drawArc(ring.rect, 90 * 16, -static_cast<int>(std::lround(std::min(1.0, *ring.fraction) * 360 * 16)));
}

void paintText(QPainter& painter, const LaidText& text, const WidgetFonts& fonts, const QPalette& palette) {
  QFont font = fonts[text.font];
  if (text.scale < 1) font.setPixelSize(std::max(1, static_cast<int>(std::lround(font.pixelSize() * text.scale))));
  painter.setFont(font);
  painter.setPen(text.secondary ? secondaryText(palette) : palette.color(QPalette::WindowText));
  const QString shown =
      text.clipped ? QFontMetricsF(font).elidedText(text.text, Qt::ElideRight, text.rect.width()) : text.text;
  painter.drawText(text.rect, Qt::AlignCenter | Qt::TextSingleLine, shown);
}

}  // namespace

void paintWidget(QPainter& painter, const WidgetLayout& layout, const WidgetFonts& fonts, const QPalette& palette) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  QPainterPath card;
  card.addRoundedRect(QRectF(QPointF(0, 0), layout.size), widgetCornerRadius, widgetCornerRadius);
  painter.fillPath(card, palette.color(QPalette::Window));
  painter.setClipPath(card);

  QColor divider = secondaryText(palette);
  divider.setAlphaF(divider.alphaF() * 0.35f);
  painter.setPen(QPen(divider, 1));
  for (const QLineF& line : layout.dividers) painter.drawLine(line);
  for (const LaidRing& ring : layout.rings) paintRing(painter, ring, palette);
  for (const LaidIcon& icon : layout.icons) QIcon::fromTheme(icon.name).paint(&painter, icon.rect.toAlignedRect());
  for (const LaidText& text : layout.texts) paintText(painter, text, fonts, palette);
  painter.restore();
}

WidgetLayout layoutWithTheme(const UsageFace& face, QSize size, const WidgetFonts& fonts) {
  return layoutWidget(face, size, fonts, [](const QString& name) { return QIcon::hasThemeIcon(name); });
}

QImage renderWidget(const UsageFace& face, QSize size, const QPalette& palette) {
  const WidgetFonts fonts = WidgetFonts::system();
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  paintWidget(painter, layoutWithTheme(face, size, fonts), fonts, palette);
  return image;
}

UsageWidgetView::UsageWidgetView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TranslucentBackground);
}

void UsageWidgetView::display(const UsageFace& face) {
  if (face == face_ && layout_.size == QSizeF(size())) return;
  face_ = face;
  layout_ = layoutWithTheme(face_, size(), fonts_);
  update();
}

void UsageWidgetView::resizeEvent(QResizeEvent* event) {
  layout_ = layoutWithTheme(face_, size(), fonts_);
  QWidget::resizeEvent(event);
}

void UsageWidgetView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  paintWidget(painter, layout_, fonts_, palette());
}

bool UsageWidgetView::event(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QWidget::event(event);
  const auto* help = static_cast<QHelpEvent*>(event);
  for (const ToolTipArea& area : layout_.toolTips)
    if (area.rect.contains(help->pos())) {
      QToolTip::showText(help->globalPos(), area.text, this, area.rect.toAlignedRect());
      return true;
    }
  QToolTip::showText(help->globalPos(), layout_.toolTip, this);
  return true;
}

}  // namespace hollin
