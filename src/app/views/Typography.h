#pragma once

#include <QFont>

#include <memory>

class QLabel;
class QMessageBox;
class QWidget;

// The shared fonts of the menus and windows, sized in pixels as the points of the design.
namespace hollin::Typography {

QFont font(int pixelSize, QFont::Weight weight = QFont::Normal);

inline QFont pageTitle() { return font(24, QFont::DemiBold); }
inline QFont heading() { return font(18, QFont::DemiBold); }
inline QFont helpGroup() { return font(21, QFont::Bold); }
inline QFont status() { return font(28, QFont::Bold); }
inline QFont lead() { return font(16); }
inline QFont cardValue() {
  QFont value = font(24, QFont::DemiBold);
  value.setStyleHint(QFont::Monospace, QFont::PreferDefault);  // steady digits between ticks
  return value;
}
inline QFont body() { return font(15); }
inline QFont bodyEmphasis() { return font(15, QFont::DemiBold); }
inline QFont note() { return font(14); }
inline QFont tableHeader() { return font(14, QFont::DemiBold); }

// A label in `font` that wraps its text at word boundaries.
QLabel* wrappingLabel(const QString& text, const QFont& font, QWidget* parent);

// An alert whose message is `title` and whose text wraps in a label 440 pixels wide below it,
// as tall as the text needs. Buttons are the caller's.
std::unique_ptr<QMessageBox> alert(const QString& title, const QString& text);

}  // namespace hollin::Typography
