#include "app/views/DocumentWindow.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include "app/views/Typography.h"

namespace hollin {

DocumentWindow::DocumentWindow(const DocumentView& document, QWidget* parent)
    : QWidget(parent, Qt::Window) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  text_ = new QPlainTextEdit(this);
  text_->setReadOnly(true);
  text_->setFont(Typography::body());
  text_->document()->setDocumentMargin(16);
  text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  layout->addWidget(text_);
  resize(document.width, document.height);
  // Centred once, on the screen the user works on; later showings keep where the user put it.
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void DocumentWindow::show(const DocumentView& document) {
  setWindowTitle(QString::fromStdString(document.title));
  text_->setPlainText(QString::fromStdString(document.text));
  QWidget::show();
  raise();
  activateWindow();
}

}  // namespace hollin
