// One widget on the desktop: a small frameless window kept below the others and out of the
// task bar and pager. Dragging moves it; a click without a drag opens the analysis; its context
// menu adds and removes widgets and opens or quits.
#pragma once

#include <QPoint>
#include <QWidget>

#include <optional>
#include <string>

#include "core/widgets/UsageWidgetFace.h"
#include "widgets/UsageWidgetView.h"

namespace hollin {

class WidgetWindow : public QWidget {
  Q_OBJECT
 public:
  WidgetWindow(const WidgetKind& kind, WidgetFamily family, std::string language, QWidget* parent = nullptr);

  const WidgetKind& kind() const { return kind_; }
  WidgetFamily family() const { return family_; }
  void display(const UsageEntry& entry);
  const UsageWidgetView& view() const { return *view_; }

 signals:
  void dragged(QPoint position);  // released at a new place
  void addRequested(std::string kind, WidgetFamily family);
  void removeRequested();
  void quitRequested();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  const WidgetKind& kind_;
  WidgetFamily family_;
  std::string language_;
  UsageWidgetView* view_;
  // Where the press was, on the screen and of the window, while the left button is down.
  std::optional<QPoint> pressedAt_, startedFrom_;
  bool dragging_ = false;
};

// Opens the analysis of the application through its URL, as the widgets always do.
void openAnalysis();

}  // namespace hollin
