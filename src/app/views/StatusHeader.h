#pragma once

#include <QFrame>
#include <QLabel>

#include <optional>
#include <string>

#include "core/ui/Screen.h"

namespace hollin {

// The window's status box: the level icon, its title and explanation, bordered in its colour.
class StatusHeader : public QFrame {
  Q_OBJECT
 public:
  StatusHeader(const std::string& language, QWidget* parent = nullptr);
  void display(const StatusTexts& status);
  QLabel* title() const { return title_; }
  QLabel* explanation() const { return explanation_; }

 private:
  QLabel* icon_;
  QLabel* title_;
  QLabel* explanation_;
  std::optional<StatusTexts> shown_;
};

}  // namespace hollin
