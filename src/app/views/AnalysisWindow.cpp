#include "app/views/AnalysisWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "app/views/StatusIcon.h"
#include "app/views/Typography.h"
#include "core/L10n.h"
#include "core/ui/StatusView.h"

namespace hollin {

namespace {

constexpr int rowHeight = 34;      // every tab but the health tab
constexpr int cellPadding = 8;     // horizontal room a wrapping cell keeps free
constexpr int minimumWrapWidth = 80;
constexpr int rowPadding = 14;     // vertical room around the tallest wrapped cell
constexpr int statusIconPixels = 44;
constexpr int segmentMinimumWidth = 150;
constexpr int segmentPadding = 32;  // room beside a segment's label so longer labels never touch

QString qText(const std::string& text) { return QString::fromStdString(text); }

// Segments are at least 150 wide and always wide enough for their current label.
void fitSegment(QAbstractButton* button) {
  button->setMinimumWidth(std::max(
      segmentMinimumWidth, button->fontMetrics().horizontalAdvance(button->text()) + segmentPadding));
}

QColor urgentText(const QPalette& palette) {
  const bool dark = palette.color(QPalette::Window).lightness() < 128;
  return dark ? QColor(255, 176, 166) : QColor(150, 0, 20);
}

}  // namespace

AnalysisWindow::AnalysisWindow(const ViewState& initial, PresenterActions actions, QWidget* parent)
    : QMainWindow(parent), language_(initial.language), scope_(initial.scope),
      actions_(std::move(actions)) {
  setWindowTitle(text(msg("ホリン")) + " — " +
                 text(versionLine(initial.version, initial.build)));
  buildMenus();
  auto* content = new QWidget(this);
  auto* stack = new QVBoxLayout(content);
  stack->setContentsMargins(22, 20, 22, 20);
  stack->setSpacing(14);
  stack->addWidget(buildHeader());
  const auto& titles = cardTitles();
  for (int row = 0; row < 2; ++row) {
    auto* cardRow = new QHBoxLayout;
    cardRow->setSpacing(12);
    for (int column = 0; column < 4; ++column) {
      const int index = row * 4 + column;
      cards_[index] = new MetricCard(titles[index], language_, content);
      cardRow->addWidget(cards_[index], 1, Qt::AlignTop);
    }
    stack->addLayout(cardRow);
  }
  stack->addWidget(buildSegments());
  stack->addWidget(buildSettings());
  coverage_ = new QLabel(content);
  earlySummary_ = new QLabel(content);
  for (auto* note : {coverage_, earlySummary_}) {
    note->setFont(Typography::body());
    note->setWordWrap(true);
    note->hide();
    stack->addWidget(note);
  }
  table_ = new QTableWidget(content);
  table_->setAlternatingRowColors(true);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setDefaultSectionSize(rowHeight);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->horizontalHeader()->setFont(Typography::tableHeader());
  table_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  table_->setTextElideMode(Qt::ElideRight);
  table_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  table_->setFont(Typography::body());
  table_->setMinimumHeight(120);
  stack->addWidget(table_, 1);
  auto* help = new QPushButton(text(msg("ヘルプ")), content);
  help->setFont(Typography::body());
  help->setEnabled(bool(actions_.showHelp));
  connect(help, &QPushButton::clicked, this, [this] { run(actions_.showHelp); });
  stack->addWidget(help, 0, Qt::AlignLeft);
  setCentralWidget(content);
  setMinimumSize(1000, 840);
  resize(1100, 880);
}

QString AnalysisWindow::text(const LocalizedMessage& message) const {
  return qText(L10n::render(message, language_));
}

void AnalysisWindow::run(const std::function<void()>& action) const {
  if (action) action();
}

void AnalysisWindow::buildMenus() {
  auto* app = menuBar()->addMenu(text(msg("ホリン")));
  app->addAction(text(msg("ホリンについて")), this, [this] {
    QMessageBox::about(this, text(msg("ホリン")), windowTitle());
  });
  app->addSeparator();
  app->addAction(text(msg("ホリンを終了")), QKeySequence(Qt::CTRL | Qt::Key_Q), this,
                 [this] { run(actions_.quit); });

  auto* edit = menuBar()->addMenu(text(msg("編集")));
  edit->addAction(text(msg("コピー")), QKeySequence::Copy, this, [this] {
    QStringList lines;
    for (const auto& range : table_->selectedRanges())
      for (int row = range.topRow(); row <= range.bottomRow(); ++row) {
        QStringList cells;
        for (int column = 0; column < table_->columnCount(); ++column)
          if (auto* item = table_->item(row, column)) cells << item->text();
        lines << cells.join('\t');
      }
    QApplication::clipboard()->setText(lines.join('\n'));
  });
  edit->addAction(text(msg("すべてを選択")), QKeySequence::SelectAll, this,
                  [this] { table_->selectAll(); });
  edit->addAction(text(msg("探す…")), QKeySequence::Find, this, [this] {
    bool ok = false;
    const QString wanted = QInputDialog::getText(this, text(msg("探す…")), {}, QLineEdit::Normal,
                                                 findText_, &ok);
    if (!ok) return;
    findText_ = wanted;
    findInTable(1);
  });
  edit->addAction(text(msg("次を探す")), QKeySequence(Qt::CTRL | Qt::Key_G), this,
                  [this] { findInTable(1); });
  edit->addAction(text(msg("前を探す")), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_G), this,
                  [this] { findInTable(-1); });

  auto* view = menuBar()->addMenu(text(msg("表示")));
  auto* refresh = view->addAction(text(msg("今すぐ更新")), QKeySequence(Qt::CTRL | Qt::Key_R),
                                  this, [this] { run(actions_.refresh); });
  refresh->setEnabled(bool(actions_.refresh));
  const auto order = tabOrder(scope_);
  for (std::size_t i = 0; i < order.size(); ++i) {
    const AnalysisTab tab = order[i];
    tabActions_ << view->addAction(text(plainLabel(tab)),
                                   QKeySequence(Qt::CTRL | (Qt::Key_1 + static_cast<int>(i))),
                                   this, [this, tab] {
                                     if (tab != selected_) selectTab(tab);
                                   });
  }

  auto* window = menuBar()->addMenu(text(msg("ウインドウ")));
  window->addAction(text(msg("閉じる")), QKeySequence::Close, this, [this] { close(); });
  window->addAction(text(msg("しまう")), QKeySequence(Qt::CTRL | Qt::Key_M), this,
                    [this] { showMinimized(); });

  auto* help = menuBar()->addMenu(text(msg("ヘルプ")));
  auto* guide = help->addAction(text(msg("ホリンのヘルプ")), QKeySequence::HelpContents, this,
                                [this] { run(actions_.showHelp); });
  guide->setEnabled(bool(actions_.showHelp));
}

QWidget* AnalysisWindow::buildHeader() {
  statusBox_ = new QFrame(this);
  statusBox_->setObjectName("statusBox");
  auto* row = new QHBoxLayout(statusBox_);
  row->setContentsMargins(18, 14, 18, 14);
  row->setSpacing(16);
  statusIcon_ = new QLabel(statusBox_);
  statusIcon_->setFixedSize(44, 44);
  row->addWidget(statusIcon_, 0, Qt::AlignVCenter);
  auto* texts = new QVBoxLayout;
  texts->setSpacing(4);
  statusTitle_ = new QLabel(text(msg("確認中")), statusBox_);
  statusTitle_->setFont(Typography::status());
  statusExplanation_ = new QLabel(text(msg("このMacの状態を確認しています…")), statusBox_);
  statusExplanation_->setFont(Typography::lead());
  statusExplanation_->setWordWrap(true);
  texts->addWidget(statusTitle_);
  texts->addWidget(statusExplanation_);
  row->addLayout(texts, 1);
  statusBox_->setStyleSheet("#statusBox { border: 3px solid palette(mid); border-radius: 12px; }");
  return statusBox_;
}

QWidget* AnalysisWindow::buildSegments() {
  auto* bar = new QWidget(this);
  auto* row = new QHBoxLayout(bar);
  row->setContentsMargins(0, 18, 0, 0);
  row->setSpacing(0);
  segments_ = new QButtonGroup(bar);
  segments_->setExclusive(true);
  for (AnalysisTab tab : tabOrder(scope_)) {
    auto* button = new QPushButton(text(plainLabel(tab)), bar);
    button->setCheckable(true);
    button->setFont(Typography::body());
    button->setMinimumHeight(32);
    fitSegment(button);
    if (tab == AnalysisTab::apps)
      button->setToolTip(text(msg("押すたびに、使用量が多い順とアプリ名順を切り替えます。")));
    segments_->addButton(button, static_cast<int>(tab));
    row->addWidget(button);
  }
  segments_->button(static_cast<int>(AnalysisTab::apps))->setChecked(true);
  connect(segments_, &QButtonGroup::idClicked, this,
          [this](int id) { selectTab(static_cast<AnalysisTab>(id)); });
  row->addStretch();
  return bar;
}

QWidget* AnalysisWindow::buildSettings() {
  settingsPanel_ = new QWidget(this);
  auto* stack = new QVBoxLayout(settingsPanel_);
  stack->setContentsMargins(0, 0, 0, 0);
  stack->setSpacing(10);
  permissions_ = new QLabel(text(msg("通知と応答確認の許可を確認しています。")), settingsPanel_);
  permissions_->setFont(Typography::body());
  permissions_->setWordWrap(true);
  stack->addWidget(permissions_);
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(10);
  const auto button = [this, buttons](const LocalizedMessage& title,
                                      const std::function<void()>* action) {
    auto* b = new QPushButton(text(title), settingsPanel_);
    b->setFont(Typography::body());
    b->setEnabled(bool(*action));
    connect(b, &QPushButton::clicked, this, [this, action] { run(*action); });
    buttons->addWidget(b);
  };
  button(msg("通知を許可…"), &actions_.requestNotifications);
  button(msg("応答確認の許可…"), &actions_.requestAccessibility);
  button(msg("設定手順"), &actions_.showSetup);
  button(scope_.supportsSharing() ? msg("自動起動と共有を設定") : msg("自動起動を設定"),
         &actions_.configureMonitoring);
  buttons->addStretch();
  stack->addLayout(buttons);
  loginBox_ = new QCheckBox(text(msg("このアカウントへのログイン時に起動する")), settingsPanel_);
  shareBox_ = new QCheckBox(text(msg("複数アカウントでメモリーと応答状態を共有する")), settingsPanel_);
  shareBox_->setVisible(scope_.supportsSharing());
  for (auto* box : {loginBox_, shareBox_}) {
    box->setFont(Typography::body());
    stack->addWidget(box);
  }
  connect(loginBox_, &QCheckBox::clicked, this, [this](bool on) {
    if (actions_.toggleLogin) actions_.toggleLogin(on);
  });
  connect(shareBox_, &QCheckBox::clicked, this, [this](bool on) {
    if (actions_.toggleSharing) actions_.toggleSharing(on);
  });
  stack->addSpacing(28);
  auto* quit = new QPushButton(text(msg("このアカウントの監視を終了")), settingsPanel_);
  quit->setFont(Typography::body());
  connect(quit, &QPushButton::clicked, this, [this] { run(actions_.quit); });
  stack->addWidget(quit, 0, Qt::AlignLeft);
  settingsPanel_->hide();
  return settingsPanel_;
}

QAbstractButton* AnalysisWindow::segment(AnalysisTab tab) const {
  return segments_->button(static_cast<int>(tab));
}

void AnalysisWindow::selectTab(AnalysisTab tab) {
  if (actions_.tabChanged) actions_.tabChanged(tab);
  else segment(selected_)->setChecked(true);  // nobody to render the tab: keep what is shown
}

void AnalysisWindow::render(const ViewState& state) {
  const auto view = analysisView(state);
  if (!view) return;
  selected_ = state.selectedTab;
  settingsPanel_->setVisible(view->settingsVisible);
  if (shownColour_ != view->colour) {
    shownColour_ = view->colour;
    statusIcon_->setPixmap(QPixmap::fromImage(drawStatusIcon(view->colour, statusIconPixels)));
    statusBox_->setStyleSheet(QString("#statusBox { border: 3px solid %1; border-radius: 12px; }")
                                  .arg(qColor(rgba(view->colour)).name()));
  }
  statusTitle_->setText(qText(view->statusTitle));
  statusExplanation_->setText(qText(view->statusExplanation));
  statusBox_->setToolTip(qText(view->statusToolTip));
  const std::array<const CardView*, 8> values = {
      &view->cards.memory, &view->cards.compressed, &view->cards.swap, &view->cards.disk,
      &view->cards.cpu, &view->cards.heat, &view->cards.ssdTemperature, &view->cards.ssdHealth};
  for (std::size_t i = 0; i < values.size(); ++i) cards_[i]->update(*values[i]);
  const auto order = tabOrder(scope_);
  for (std::size_t i = 0; i < order.size(); ++i) {
    auto* button = segment(order[i]);
    button->setText(qText(view->segmentLabels[i]));
    fitSegment(button);
  }
  segment(state.selectedTab)->setChecked(true);
  coverage_->setText(qText(view->coverage));
  coverage_->setVisible(!view->coverage.empty());
  earlySummary_->setText(qText(view->earlySummary));
  earlySummary_->setVisible(!view->earlySummary.empty());
  permissions_->setText(qText(view->permissions));
  loginBox_->setChecked(state.loginEnabled);
  shareBox_->setChecked(state.sharing);
  fillTable(view->table);
}

void AnalysisWindow::fillTable(const TableView& view) {
  if (needsNewColumns(columnLayout_, table_->columnCount(), selected_)) {
    const auto widths = columnWidths(view.layout);
    table_->setColumnCount(static_cast<int>(widths.size()));
    for (int i = 0; i < static_cast<int>(widths.size()); ++i) table_->setColumnWidth(i, widths[i]);
    table_->horizontalHeader()->setMinimumSectionSize(minimumColumnWidth);
    columnLayout_ = view.layout;
    ++columnRebuilds_;
  }
  QStringList header;
  for (const auto& title : view.header) header << qText(title);
  table_->setHorizontalHeaderLabels(header);
  table_->setWordWrap(view.wrapping);
  table_->setRowCount(static_cast<int>(view.rows.size()));
  const QFont emphasis = Typography::bodyEmphasis();
  for (int row = 0; row < table_->rowCount(); ++row) {
    const auto tone = view.tones.find(row);
    const auto& cells = view.rows[static_cast<std::size_t>(row)];
    int tallest = 0;
    for (int column = 0; column < table_->columnCount(); ++column) {
      const QString cell = column < static_cast<int>(cells.size()) ? qText(cells[column]) : QString();
      auto* item = new QTableWidgetItem(cell);
      item->setToolTip(cell);
      if (tone != view.tones.end()) {
        item->setFont(emphasis);
        if (tone->second == RowTone::urgent) item->setForeground(urgentText(palette()));
      }
      table_->setItem(row, column, item);
      if (view.wrapping) {
        const int width = std::max(table_->columnWidth(column) - cellPadding, minimumWrapWidth);
        const QFontMetrics metrics(item->font());
        tallest = std::max(tallest, metrics.boundingRect(QRect(0, 0, width, 10000),
                                                         Qt::TextWordWrap, cell).height());
      }
    }
    table_->setRowHeight(row, view.wrapping ? std::max(rowHeight, tallest + rowPadding) : rowHeight);
  }
}

void AnalysisWindow::findInTable(int step) {
  if (findText_.isEmpty() || table_->rowCount() == 0) return;
  const int rows = table_->rowCount();
  const int start = table_->currentRow();
  for (int offset = 1; offset <= rows; ++offset) {
    const int row = ((start + step * offset) % rows + rows) % rows;
    for (int column = 0; column < table_->columnCount(); ++column)
      if (auto* item = table_->item(row, column);
          item && item->text().contains(findText_, Qt::CaseInsensitive)) {
        table_->selectRow(row);
        return;
      }
  }
}

void AnalysisWindow::closeEvent(QCloseEvent* event) {
  event->ignore();  // the window lives for the whole run; the status menu shows it again
  hide();
}

}  // namespace hollin
