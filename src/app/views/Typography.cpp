#include "app/views/Typography.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QSpacerItem>

namespace hollin::Typography {

QFont font(int pixelSize, QFont::Weight weight) {
  QFont font = QApplication::font();
  font.setPixelSize(pixelSize);
  font.setWeight(weight);
  return font;
}

QLabel* wrappingLabel(const QString& text, const QFont& font, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setFont(font);
  label->setWordWrap(true);
  return label;
}

std::unique_ptr<QMessageBox> alert(const QString& title, const QString& text) {
  auto box = std::make_unique<QMessageBox>();
  box->setIcon(QMessageBox::NoIcon);
  box->setWindowTitle(title);
  box->setText(title);
  box->setInformativeText(text);
  box->setFont(body());
  // The text wraps at 440 pixels: a spacer across the box's grid holds that width open.
  if (auto* grid = qobject_cast<QGridLayout*>(box->layout()))
    grid->addItem(new QSpacerItem(440, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), grid->rowCount(), 0, 1,
                  grid->columnCount());
  return box;
}

}  // namespace hollin::Typography
