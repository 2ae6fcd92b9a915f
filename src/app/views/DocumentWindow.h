#pragma once

#include <QPlainTextEdit>
#include <QWidget>

#include "core/ui/Screen.h"

namespace hollin {

// A window holding one read-only text (the SSD history). Built once, centred once, kept when
// closed; every showing replaces its text and brings it to the front.
class DocumentWindow : public QWidget {
  Q_OBJECT
 public:
  explicit DocumentWindow(const DocumentView& document, QWidget* parent = nullptr);

  void show(const DocumentView& document);
  QPlainTextEdit* text() const { return text_; }

 private:
  QPlainTextEdit* text_;
};

}  // namespace hollin
