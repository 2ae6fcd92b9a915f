#include "app/views/StatusHeader.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/views/StatusIcon.h"
#include "app/views/Typography.h"
#include "core/L10n.h"

namespace hollin {
namespace {

constexpr int iconPixels = 44;

QString borderStyle(const QString& colour) {
  return QString("#statusBox { border: 3px solid %1; border-radius: 12px; }").arg(colour);
}

}  // namespace

StatusHeader::StatusHeader(const std::string& language, QWidget* parent) : QFrame(parent) {
  setObjectName("statusBox");
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(18, 14, 18, 14);
  row->setSpacing(16);
  icon_ = new QLabel(this);
  icon_->setFixedSize(iconPixels, iconPixels);
  row->addWidget(icon_, 0, Qt::AlignVCenter);
  auto* texts = new QVBoxLayout;
  texts->setSpacing(4);
  title_ = new QLabel(QString::fromStdString(L10n::render(msg("確認中"), language)), this);
  title_->setFont(Typography::status());
  explanation_ = new QLabel(QString::fromStdString(L10n::render(msg("このMacの状態を確認しています…"), language)), this);
  explanation_->setFont(Typography::lead());
  explanation_->setWordWrap(true);
  texts->addWidget(title_);
  texts->addWidget(explanation_);
  row->addLayout(texts, 1);
  setStyleSheet(borderStyle("palette(mid)"));
}

void StatusHeader::display(const StatusTexts& status) {
  if (shown_ == status) return;
  if (!shown_ || shown_->colour != status.colour) {
    icon_->setPixmap(QPixmap::fromImage(drawStatusIcon(status.colour, iconPixels)));
    setStyleSheet(borderStyle(qColor(rgba(status.colour)).name()));
  }
  title_->setText(QString::fromStdString(status.title));
  explanation_->setText(QString::fromStdString(status.explanation));
  setToolTip(QString::fromStdString(status.toolTip));
  shown_ = status;
}

}  // namespace hollin
