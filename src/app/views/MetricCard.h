#pragma once

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include <functional>

#include "core/ui/Screen.h"

namespace hollin {

// One metric card: name, value, optional detail and hint, a red border on alert. The style is
// set once; an alert only switches a property, and only what changed is touched.
class MetricCard : public QFrame {
  Q_OBJECT
  Q_PROPERTY(bool alert READ alert)
 public:
  // `act` answers the face's button; without it the button is disabled.
  MetricCard(const CardFace& face, const std::string& language, std::function<void()> act = {},
             QWidget* parent = nullptr);
  void display(const CardView& card);
  bool alert() const { return shown_.alert; }
  QLabel* value() const { return value_; }
  QLabel* detail() const { return detail_; }
  QPushButton* button() const { return button_; }

 private:
  QLabel* value_;
  QLabel* detail_;
  QPushButton* button_ = nullptr;
  CardView shown_;
};

}  // namespace hollin
