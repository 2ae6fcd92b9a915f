#include "app/views/MetricCard.h"

#include <QVBoxLayout>

#include "app/views/Typography.h"
#include "core/L10n.h"

namespace hollin {

namespace {

QLabel* label(const QString& text, const QFont& font, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setFont(font);
  label->setWordWrap(true);
  return label;
}

QString qText(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

MetricCard::MetricCard(const CardTitle& title, const std::string& language, QWidget* parent)
    : QFrame(parent) {
  setObjectName("metricCard");
  auto* stack = new QVBoxLayout(this);
  stack->setContentsMargins(12, 10, 12, 10);
  stack->setSpacing(4);
  stack->addWidget(label(qText(L10n::render(title.name, language)), Typography::body(), this));
  stack->addSpacing(4);
  value_ = label({}, Typography::cardValue(), this);
  stack->addWidget(value_);
  stack->addSpacing(6);
  detail_ = label({}, Typography::note(), this);
  detail_->hide();
  stack->addWidget(detail_);
  if (title.hint) {
    auto* hint = label(qText(L10n::render(*title.hint, language)), Typography::note(), this);
    hint->setForegroundRole(QPalette::PlaceholderText);
    stack->addWidget(hint);
  }
  stack->addStretch();
  setAlert(false);
}

void MetricCard::update(const CardView& card) {
  value_->setText(qText(card.value));
  detail_->setText(qText(card.detail));
  detail_->setVisible(!card.detail.empty());
  setToolTip(qText(card.toolTip));
  setAlert(card.alert);
}

void MetricCard::setAlert(bool alert) {
  setStyleSheet(alert ? "#metricCard { border: 2px solid rgb(255, 59, 48); border-radius: 10px;"
                        " background: palette(base); }"
                      : "#metricCard { border: 1px solid palette(mid); border-radius: 10px;"
                        " background: palette(base); }");
}

}  // namespace hollin
