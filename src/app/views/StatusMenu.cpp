#include "app/views/StatusMenu.h"

#include <QMessageBox>

#include "app/views/StatusIcon.h"
#include "core/L10n.h"
#include "core/ui/StatusView.h"

namespace hollin {

StatusMenu::StatusMenu(const ViewSetup& setup, const PresenterActions& actions, std::function<void()> showAnalysis,
                       QObject* parent)
    : QObject(parent), language_(setup.language), actions_(actions), menu_(new QMenu),
      tray_(new QSystemTrayIcon(this)) {
  const auto run = [](const std::function<void()>& action) {
    return [action] {
      if (action) action();
    };
  };
  statusRow_ = menu_->addAction(QString(), this, showAnalysis);
  menu_->addSeparator();
  menu_->addAction(text(msg("分析を見る")), QKeySequence(Qt::CTRL | Qt::Key_I), this, showAnalysis);
  menu_->addAction(text(msg("初回設定の案内…")), this, run(actions_.showSetup))->setEnabled(bool(actions_.showSetup));
  menu_->addAction(text(msg("今すぐ更新")), QKeySequence(Qt::CTRL | Qt::Key_R), this, run(actions_.refresh));
  monitor_ = menu_->addAction(text(msg("アクティビティモニタを開く")), QKeySequence(Qt::ALT | Qt::CTRL | Qt::Key_A), this,
                              run(actions_.openSystemMonitor));
  // Offered only when the desktop has a system monitor to open.
  monitor_->setVisible(bool(actions_.openSystemMonitor));
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
    guide->addAction(QString::fromStdString(statusTexts(level, language_).menuRow), this, run(actions_.showStatusHelp));
  menu_->addAction(text(msg("ヘルプ")), QKeySequence::HelpContents, this, run(actions_.showHelp))
      ->setEnabled(bool(actions_.showHelp));
  menu_->addSeparator();
  feedback_ = menu_->addAction(text(msg("ご意見・不具合を送る…")), this, run(actions_.sendFeedback));
  feedback_->setEnabled(bool(actions_.sendFeedback));
  update_ = menu_->addAction(text(msg("アップデートを確認…")), this, run(actions_.checkForUpdate));
  update_->setEnabled(bool(actions_.checkForUpdate));
  const QString version = text(versionLine(setup.version, setup.build));
  menu_->addAction(version, this, [this, version] {
    QMessageBox::about(nullptr, text(msg("ホリン")), text(msg("ホリン")) + " — " + version);
  });
  menu_->addSeparator();
  quit_ = menu_->addAction(text(msg("このアカウントの監視を終了")), QKeySequence(Qt::CTRL | Qt::Key_Q), this,
                           run(actions_.quit));
  connect(menu_, &QMenu::aboutToShow, this, &StatusMenu::prepareToOpen);
  tray_->setContextMenu(menu_);
  // A left click opens the window, as the first row would; the menu stays on the right click.
  connect(tray_, &QSystemTrayIcon::activated, this, [showAnalysis](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger) showAnalysis();
  });
  display(statusTexts(ShownStatus{}, language_));
}

StatusMenu::~StatusMenu() { delete menu_; }

QString StatusMenu::text(const LocalizedMessage& message) const {
  return QString::fromStdString(L10n::render(message, language_));
}

void StatusMenu::display(const StatusTexts& status) {
  if (shown_ == status) return;
  if (!shown_ || shown_->colour != status.colour) tray_->setIcon(statusIcon(status.colour));
  tray_->setToolTip(QString::fromStdString(status.toolTip));
  statusRow_->setText(QString::fromStdString(status.menuRow));
  statusRow_->setToolTip(QString::fromStdString(status.explanation));
  shown_ = status;
}

void StatusMenu::showIcon() { tray_->show(); }

void StatusMenu::prepareToOpen() {
  const auto title = actions_.resumeTitle ? actions_.resumeTitle() : std::nullopt;
  resume_->setVisible(title.has_value());
  if (title) resume_->setText(QString::fromStdString(*title));
}

}  // namespace hollin
