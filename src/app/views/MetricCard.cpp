#include "app/views/MetricCard.h"

#include <QStyle>
#include <QVBoxLayout>

#include "app/views/QtText.h"
#include "app/views/Typography.h"
#include "core/L10n.h"

namespace hollin {

MetricCard::MetricCard(const CardFace& face, const std::string& language, std::function<void()> act,
                       QWidget* parent)
    : QFrame(parent) {
  setObjectName("metricCard");
  // Parsed once for the life of the card; the alert border follows the property.
  setStyleSheet(
      "#metricCard { border: 1px solid palette(mid); border-radius: 10px; background: palette(base); }"
      "#metricCard[alert=\"true\"] { border: 2px solid rgb(255, 59, 48); }");
  auto* stack = new QVBoxLayout(this);
  stack->setContentsMargins(12, 10, 12, 10);
  stack->setSpacing(4);
  stack->addWidget(Typography::wrappingLabel(qText(L10n::render(face.name, language)), Typography::body(), this));
  stack->addSpacing(4);
  value_ = Typography::wrappingLabel({}, Typography::cardValue(), this);
  stack->addWidget(value_);
  stack->addSpacing(6);
  detail_ = Typography::wrappingLabel({}, Typography::note(), this);
  detail_->hide();
  stack->addWidget(detail_);
  if (face.hint) {
    auto* hint = Typography::wrappingLabel(qText(L10n::render(*face.hint, language)), Typography::note(), this);
    hint->setForegroundRole(QPalette::PlaceholderText);
    stack->addWidget(hint);
  }
  if (face.toolTip) setToolTip(qText(L10n::render(*face.toolTip, language)));
  stack->addStretch();
  if (face.action) {
    button_ = new QPushButton(qText(L10n::render(*face.action, language)), this);
    button_->setFont(Typography::body());
    button_->setEnabled(bool(act));
    if (act) connect(button_, &QPushButton::clicked, this, [act = std::move(act)] { act(); });
    stack->addWidget(button_, 0, Qt::AlignLeft);
  }
  // A card never gives up the room its texts need; the table below gives way instead.
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
}

void MetricCard::display(const CardView& card) {
  if (card.value != shown_.value || value_->text().isEmpty()) value_->setText(qText(card.value));
  if (card.detail != shown_.detail) {
    detail_->setText(qText(card.detail));
    detail_->setVisible(!card.detail.empty());
  }
  const bool restyle = card.alert != shown_.alert;
  shown_ = card;
  if (restyle) {
    style()->unpolish(this);
    style()->polish(this);
    update();
  }
}

}  // namespace hollin
