#include "app/views/SettingsPanel.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/views/Typography.h"
#include "core/L10n.h"

namespace hollin {

SettingsPanel::SettingsPanel(const ViewSetup& setup, const PresenterActions& actions, QWidget* parent)
    : QWidget(parent) {
  const auto text = [&](const LocalizedMessage& message) {
    return QString::fromStdString(L10n::render(message, setup.language));
  };
  auto* stack = new QVBoxLayout(this);
  stack->setContentsMargins(0, 0, 0, 0);
  stack->setSpacing(10);
  permissions_ = new QLabel(text(msg("通知と応答確認の許可を確認しています。")), this);
  permissions_->setFont(Typography::body());
  permissions_->setWordWrap(true);
  stack->addWidget(permissions_);
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(10);
  const auto button = [&](const LocalizedMessage& title, const std::function<void()>& action, QBoxLayout* into) {
    auto* b = new QPushButton(text(title), this);
    b->setFont(Typography::body());
    b->setEnabled(bool(action));
    connect(b, &QPushButton::clicked, this, [action] {
      if (action) action();
    });
    into->addWidget(b);
  };
  button(msg("通知を許可…"), actions.requestNotifications, buttons);
  button(msg("応答確認の許可…"), actions.requestAccessibility, buttons);
  button(msg("設定手順"), actions.showSetup, buttons);
  button(setup.scope.supportsSharing() ? msg("自動起動と共有を設定") : msg("自動起動を設定"),
         actions.configureMonitoring, buttons);
  buttons->addStretch();
  stack->addLayout(buttons);
  loginBox_ = new QCheckBox(text(msg("このアカウントへのログイン時に起動する")), this);
  shareBox_ = new QCheckBox(text(msg("複数アカウントでメモリーと応答状態を共有する")), this);
  shareBox_->setVisible(setup.scope.supportsSharing());
  for (auto* box : {loginBox_, shareBox_}) {
    box->setFont(Typography::body());
    stack->addWidget(box);
  }
  loginBox_->setEnabled(bool(actions.toggleLogin));
  connect(loginBox_, &QCheckBox::clicked, this, [toggle = actions.toggleLogin](bool on) {
    if (toggle) toggle(on);
  });
  connect(shareBox_, &QCheckBox::clicked, this, [toggle = actions.toggleSharing](bool on) {
    if (toggle) toggle(on);
  });
  stack->addSpacing(14);
  auto* end = new QHBoxLayout;
  button(msg("このアカウントの監視を終了"), actions.quit, end);
  end->addStretch();
  stack->addLayout(end);
}

void SettingsPanel::display(const Screen& screen) {
  permissions_->setText(QString::fromStdString(screen.permissions));
  loginBox_->setChecked(screen.loginChecked);
  shareBox_->setChecked(screen.sharingChecked);
  shareBox_->setToolTip(QString::fromStdString(screen.sharingTip));
}

}  // namespace hollin
