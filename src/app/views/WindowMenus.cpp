#include "app/views/WindowMenus.h"

#include <QApplication>
#include <QClipboard>
#include <QInputDialog>
#include <QMenuBar>
#include <QMessageBox>

#include <memory>

#include "app/views/AnalysisWindow.h"
#include "core/L10n.h"

namespace hollin {

void buildWindowMenus(AnalysisWindow& window, const ViewSetup& setup, const PresenterActions& actions,
                      std::function<void(AnalysisTab)> choose) {
  const auto text = [&](const LocalizedMessage& message) {
    return QString::fromStdString(L10n::render(message, setup.language));
  };
  const auto run = [](const std::function<void()>& action) {
    return [action] {
      if (action) action();
    };
  };
  QMenuBar* bar = window.menuBar();
  TablePage* table = window.table();

  auto* app = bar->addMenu(text(msg("ホリン")));
  app->addAction(text(msg("ホリンについて")), &window,
                 [&window, title = text(msg("ホリン"))] { QMessageBox::about(&window, title, window.windowTitle()); });
  app->addSeparator();
  app->addAction(text(msg("ホリンを終了")), QKeySequence(Qt::CTRL | Qt::Key_Q), &window, run(actions.quit));

  auto* edit = bar->addMenu(text(msg("編集")));
  edit->addAction(text(msg("コピー")), QKeySequence::Copy, &window,
                  [table] { QApplication::clipboard()->setText(table->selectedText()); });
  edit->addAction(text(msg("すべてを選択")), QKeySequence::SelectAll, &window, [table] { table->selectAll(); });
  auto findText = std::make_shared<QString>();
  edit->addAction(text(msg("探す…")), QKeySequence::Find, &window, [&window, table, findText, title = text(msg("探す…"))] {
    bool ok = false;
    const QString wanted = QInputDialog::getText(&window, title, {}, QLineEdit::Normal, *findText, &ok);
    if (!ok) return;
    *findText = wanted;
    table->find(*findText, 1);
  });
  edit->addAction(text(msg("次を探す")), QKeySequence(Qt::CTRL | Qt::Key_G), &window,
                  [table, findText] { table->find(*findText, 1); });
  edit->addAction(text(msg("前を探す")), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_G), &window,
                  [table, findText] { table->find(*findText, -1); });

  auto* view = bar->addMenu(text(msg("表示")));
  view->addAction(text(msg("今すぐ更新")), QKeySequence(Qt::CTRL | Qt::Key_R), &window, run(actions.refresh))
      ->setEnabled(bool(actions.refresh));
  const auto order = tabOrder(setup.scope);
  for (std::size_t i = 0; i < order.size(); ++i)
    view->addAction(text(plainLabel(order[i])), QKeySequence(Qt::CTRL | (Qt::Key_1 + static_cast<int>(i))), &window,
                    [choose, tab = order[i]] { choose(tab); });

  auto* windows = bar->addMenu(text(msg("ウインドウ")));
  windows->addAction(text(msg("閉じる")), QKeySequence::Close, &window, [&window] { window.close(); });
  windows->addAction(text(msg("しまう")), QKeySequence(Qt::CTRL | Qt::Key_M), &window, [&window] { window.showMinimized(); });

  auto* help = bar->addMenu(text(msg("ヘルプ")));
  help->addAction(text(msg("ホリンのヘルプ")), QKeySequence::HelpContents, &window, run(actions.showHelp))
      ->setEnabled(bool(actions.showHelp));
}

}  // namespace hollin
