#include "app/views/StatusIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <map>

namespace hollin {

QColor qColor(Rgba colour) {
  return QColor::fromRgbF(static_cast<float>(colour.red), static_cast<float>(colour.green),
                          static_cast<float>(colour.blue), static_cast<float>(colour.alpha));
}

QImage drawStatusIcon(StatusColour colour, int pixels) {
  QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(pixels / iconSize, pixels / iconSize);
  for (const auto& shape : iconShapes()) {
    QPainterPath path;
    path.addRoundedRect(QRectF(shape.x, shape.y, shape.width, shape.height), shape.radius,
                        shape.radius);
    painter.fillPath(path, shape.levelFill ? qColor(rgba(colour)) : qColor(shape.fill));
    painter.strokePath(path, QPen(qColor(shape.stroke), shape.lineWidth));
  }
  return image;
}

const QIcon& statusIcon(StatusColour colour) {
  static std::map<StatusColour, QIcon> cache;
  auto found = cache.find(colour);
  if (found == cache.end()) {
    QIcon icon;
    for (int scale : {1, 2})
      icon.addPixmap(QPixmap::fromImage(drawStatusIcon(colour, static_cast<int>(iconSize) * scale)));
    found = cache.emplace(colour, icon).first;
  }
  return found->second;
}

}  // namespace hollin
