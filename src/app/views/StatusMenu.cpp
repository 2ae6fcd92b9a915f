#include "app/views/StatusMenu.h"

#include <QMessageBox>

#include "app/views/StatusIcon.h"
#include "core/L10n.h"
#include "core/ui/StatusView.h"

namespace hollin {

StatusMenu::StatusMenu(const ViewState& initial, PresenterActions actions,
                       std::function<void()> showAnalysis, std::function<WallTime()> clock,
                       std::optional<SystemMonitorApp> monitor, QObject* parent)
    : QObject(parent), language_(initial.language), actions_(std::move(actions)),
      clock_(std::move(clock)), monitorApp_(std::move(monitor)), menu_(new QMenu),
      tray_(new QSystemTrayIcon(this)) {
  const auto run = [](const std::function<void()>& action) {
    return [action] {
      if (action) action();
    };
  };
  statusRow_ = menu_->addAction(text(msg("確認中")), this, showAnalysis);
  menu_->addSeparator();
  menu_->addAction(text(msg("分析を見る")), QKeySequence(Qt::CTRL | Qt::Key_I), this, showAnalysis);
  menu_->addAction(text(msg("今すぐ更新")), QKeySequence(Qt::CTRL | Qt::Key_R), this,
                   run(actions_.refresh));
  monitor_ = menu_->addAction(text(msg("アクティビティモニタを開く")),
                              QKeySequence(Qt::ALT | Qt::CTRL | Qt::Key_A), this, [this] {
                                if (monitorApp_) launchSystemMonitor(*monitorApp_);
                              });
  monitor_->setEnabled(monitorApp_.has_value());
  menu_->addSeparator();
  auto* mute = menu_->addMenu(text(msg("通知を止める（危ないときは知らせる）")));
  for (const auto& choice : muteChoices()) {
    auto* item = mute->addAction(text(choice.title), this, [this, seconds = choice.seconds] {
      if (actions_.mute) actions_.mute(seconds);
    });
    item->setData(choice.seconds);
  }
  resume_ = menu_->addAction(text(msg("通知を再開")), this, run(actions_.resume));
  resume_->setVisible(false);
  menu_->addSeparator();
  auto* guide = menu_->addMenu(text(msg("状態の見方")));
  for (const auto& level : levelGuide())
    guide->addAction(QString::fromStdString(statusRowTitle(level, language_)));
  menu_->addSeparator();
  const QString version = text(versionLine(initial.version, initial.build));
  menu_->addAction(version, this, [this, version] {
    QMessageBox::about(nullptr, text(msg("ホリン")), text(msg("ホリン")) + " — " + version);
  });
  menu_->addSeparator();
  menu_->addAction(text(msg("このアカウントの監視を終了")), QKeySequence(Qt::CTRL | Qt::Key_Q),
                   this, run(actions_.quit));
  connect(menu_, &QMenu::aboutToShow, this, &StatusMenu::prepareToOpen);
  tray_->setContextMenu(menu_);
  // A left click opens the window, as the first row would; the menu stays on the right click.
  connect(tray_, &QSystemTrayIcon::activated, this,
          [showAnalysis](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger) showAnalysis();
          });
  updateMenuBar(ShownStatus{});
  tray_->show();
}

QString StatusMenu::text(const LocalizedMessage& message) const {
  return QString::fromStdString(L10n::render(message, language_));
}

void StatusMenu::render(const ViewState& state) {
  mutedUntil_ = state.mutedUntil;
  if (!state.snapshot) return;  // before the first take the initial state stays
  updateMenuBar(state.status);
}

void StatusMenu::updateMenuBar(const ShownStatus& status) {
  if (shownColour_ != status.colour) {
    shownColour_ = status.colour;
    tray_->setIcon(statusIcon(status.colour));
  }
  const std::string tip = statusToolTip(status, language_);
  if (tip != toolTip_) {
    toolTip_ = tip;
    tray_->setToolTip(QString::fromStdString(tip));
  }
  levelTitle_ = L10n::render(status.title, language_);
  statusRow_->setText(QString::fromStdString(statusRowTitle(status, language_)));
  statusRow_->setToolTip(QString::fromStdString(L10n::render(status.explanation, language_)));
}

void StatusMenu::prepareToOpen() {
  const auto title = hollin::resumeRow(mutedUntil_, clock_(), language_);
  resume_->setVisible(title.has_value());
  if (title) resume_->setText(QString::fromStdString(*title));
}

}  // namespace hollin
