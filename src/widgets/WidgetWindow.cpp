#include "widgets/WidgetWindow.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMenu>
#include <QPainterPath>
#include <QRegion>
#include <QUrl>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

#include "core/L10n.h"

namespace hollin {
namespace {

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
  const auto cookie = xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
  const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
  std::free(reply);
  return atom;
}

// Qt asks for "below" from WindowStaysOnBottomHint but has no flag for the task bar and pager.
// The states go on the window before it is first mapped; Qt merges its own into the list then.
void keepOffTaskbar(QWidget& window) {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  // Another platform (the offscreen one answers too, without a connection): left to it.
  xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
  if (connection == nullptr) return;
  const auto id = static_cast<xcb_window_t>(window.winId());
  const xcb_atom_t state = internAtom(connection, "_NET_WM_STATE");
  for (const char* name : {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}) {
    const xcb_atom_t atom = internAtom(connection, name);
    if (state != XCB_ATOM_NONE && atom != XCB_ATOM_NONE)
      xcb_change_property(connection, XCB_PROP_MODE_APPEND, id, state, XCB_ATOM_ATOM, 32, 1, &atom);
  }
  xcb_flush(connection);
}

// The kinds and families offered in the menu, the combined widget once per family.
QString familyLabel(const WidgetKind& kind, WidgetFamily family, const std::string& language) {
  const std::string name = L10n::render(kind.displayName, language);
  if (kind.families.size() < 2) return qText(name);
  switch (family) {
    case WidgetFamily::small: return qText(L10n::render(msg("{0}（小）", name), language));
    case WidgetFamily::medium: return qText(L10n::render(msg("{0}（中）", name), language));
    case WidgetFamily::large: return qText(L10n::render(msg("{0}（大）", name), language));
  }
  return qText(name);
}

}  // namespace

void openAnalysis() { QDesktopServices::openUrl(QUrl(QString::fromUtf8(widgetURL))); }

WidgetWindow::WidgetWindow(const WidgetKind& kind, WidgetFamily family, std::string language, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint),
      kind_(kind),
      family_(family),
      language_(std::move(language)),
      view_(new UsageWidgetView(this)) {
  setAttribute(Qt::WA_TranslucentBackground);
  setAttribute(Qt::WA_DeleteOnClose);
  setAttribute(Qt::WA_AlwaysShowToolTips);  // a widget on the desktop is hardly ever the active window
  setWindowTitle(qText(L10n::render(kind.displayName, language_)));
  const WidgetSize size = widgetSize(family);
  setFixedSize(size.width, size.height);
  view_->setGeometry(rect());
  // An X server without a compositor would show the transparent corners black; the window's
  // shape cuts them off. Other platforms composite.
  if (QGuiApplication::platformName() == "xcb") {
    QPainterPath card;
    card.addRoundedRect(QRectF(rect()), widgetCornerRadius, widgetCornerRadius);
    setMask(QRegion(card.toFillPolygon().toPolygon()));
  }
  keepOffTaskbar(*this);
}

void WidgetWindow::display(const UsageEntry& entry) { view_->display(usageFace(kind_.mode, family_, entry, language_)); }

void WidgetWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  pressedAt_ = event->globalPosition().toPoint();
  startedFrom_ = pos();
  dragging_ = false;
}

void WidgetWindow::mouseMoveEvent(QMouseEvent* event) {
  if (!pressedAt_) return QWidget::mouseMoveEvent(event);
  const QPoint moved = event->globalPosition().toPoint() - *pressedAt_;
  if (!dragging_ && moved.manhattanLength() < QApplication::startDragDistance()) return;
  dragging_ = true;
  move(*startedFrom_ + moved);
}

void WidgetWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressedAt_) return QWidget::mouseReleaseEvent(event);
  pressedAt_.reset();
  if (dragging_)
    emit dragged(pos());
  else
    openAnalysis();
  dragging_ = false;
}

void WidgetWindow::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QMenu* add = menu.addMenu(qText(L10n::render(msg("ウィジェットを追加"), language_)));
  for (const WidgetKind& offered : widgetKinds())
    for (WidgetFamily family : offered.families) {
      const std::string kind(offered.kind);
      connect(add->addAction(familyLabel(offered, family, language_)), &QAction::triggered, this,
              [this, kind, family] { emit addRequested(kind, family); });
    }
  connect(menu.addAction(qText(L10n::render(msg("このウィジェットを削除"), language_))), &QAction::triggered, this,
          &WidgetWindow::removeRequested);
  menu.addSeparator();
  connect(menu.addAction(qText(L10n::render(msg("ホリンを開く"), language_))), &QAction::triggered, this, openAnalysis);
  connect(menu.addAction(qText(L10n::render(msg("ウィジェットを終了"), language_))), &QAction::triggered, this,
          &WidgetWindow::quitRequested);
  menu.exec(event->globalPos());
}

}  // namespace hollin
