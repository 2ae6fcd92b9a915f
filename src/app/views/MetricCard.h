#pragma once

#include <QFrame>
#include <QLabel>

#include "core/ui/Cards.h"

namespace hollin {

// One metric card: name, value, optional detail and hint, a red border on alert.
class MetricCard : public QFrame {
  Q_OBJECT
 public:
  MetricCard(const CardTitle& title, const std::string& language, QWidget* parent = nullptr);
  void update(const CardView& card);
  QLabel* value() const { return value_; }
  QLabel* detail() const { return detail_; }

 private:
  void setAlert(bool alert);
  QLabel* value_;
  QLabel* detail_;
};

}  // namespace hollin
