// Draws one widget from its face: the layout decides where everything goes, this only paints
// it in the desktop palette and answers tool tips for each ring or figure.
#pragma once

#include <QImage>
#include <QPalette>
#include <QWidget>

#include "core/widgets/UsageWidgetFace.h"
#include "widgets/WidgetLayout.h"

class QPainter;

namespace hollin {

inline constexpr double widgetCornerRadius = 18;  // pixels

// Paints `layout` with `palette`: the window colour on a rounded card, the window text for
// figures and titles, the placeholder text for captions and grey.
void paintWidget(QPainter& painter, const WidgetLayout& layout, const WidgetFonts& fonts, const QPalette& palette);

// The face's layout under the theme's icons.
WidgetLayout layoutWithTheme(const UsageFace& face, QSize size, const WidgetFonts& fonts);

// The widget drawn alone on a transparent image of `size`.
QImage renderWidget(const UsageFace& face, QSize size, const QPalette& palette);

class UsageWidgetView : public QWidget {
  Q_OBJECT
 public:
  explicit UsageWidgetView(QWidget* parent = nullptr);
  void display(const UsageFace& face);
  const WidgetLayout& layout() const { return layout_; }

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  UsageFace face_;
  WidgetFonts fonts_ = WidgetFonts::system();
  WidgetLayout layout_;
};

}  // namespace hollin
