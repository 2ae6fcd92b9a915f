#include "app/views/Typography.h"

#include <QApplication>

namespace hollin::Typography {

QFont font(int pixelSize, QFont::Weight weight) {
  QFont font = QApplication::font();
  font.setPixelSize(pixelSize);
  font.setWeight(weight);
  return font;
}

}  // namespace hollin::Typography
