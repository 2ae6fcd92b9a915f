#include "app/views/AnalysisWindow.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/views/QtText.h"
#include "app/views/Typography.h"
#include "app/views/WindowMenus.h"
#include "core/L10n.h"
#include "core/ui/StatusView.h"

namespace hollin {
namespace {

constexpr int segmentMinimumWidth = 150;
constexpr int segmentPadding = 32;  // room beside a segment's label so no label touches its edge

}  // namespace

AnalysisWindow::AnalysisWindow(const ViewSetup& setup, const PresenterActions& actions, QWidget* parent)
    : QMainWindow(parent), actions_(actions), order_(tabOrder(setup.scope)) {
  const auto text = [&](const LocalizedMessage& message) { return qText(L10n::render(message, setup.language)); };
  setWindowTitle(text(msg("ホリン")) + " — " + text(versionLine(setup.version, setup.build)));
  auto* content = new QWidget(this);
  auto* stack = new QVBoxLayout(content);
  stack->setContentsMargins(22, 20, 22, 20);
  stack->setSpacing(14);
  header_ = new StatusHeader(setup.language, content);
  stack->addWidget(header_);
  for (std::size_t row = 0; row < 2; ++row) {
    auto* cardRow = new QHBoxLayout;
    cardRow->setSpacing(12);
    for (std::size_t column = 0; column < 4; ++column) {
      const std::size_t index = row * 4 + column;
      std::function<void()> act;
      if (actions_.cardAction) act = [this, index] { actions_.cardAction(static_cast<CardSlot>(index)); };
      cards_[index] = new MetricCard(cardFaces()[index], setup.language, std::move(act), content);
      cardRow->addWidget(cards_[index], 1);  // a row's cards share its height
    }
    stack->addLayout(cardRow);
  }
  stack->addWidget(buildSegments(setup));
  settings_ = new SettingsPanel(setup, actions_, content);
  settings_->hide();
  stack->addWidget(settings_);
  coverage_ = new QLabel(content);
  earlySummary_ = new QLabel(content);
  for (auto* note : {coverage_, earlySummary_}) {
    note->setFont(Typography::body());
    note->setWordWrap(true);
    note->hide();
    stack->addWidget(note);
  }
  table_ = new TablePage(content);
  stack->addWidget(table_, 1);
  auto* help = new QPushButton(text(msg("ヘルプ")), content);
  help->setFont(Typography::body());
  help->setEnabled(bool(actions_.showHelp));
  connect(help, &QPushButton::clicked, this, [this] { actions_.showHelp(); });
  stack->addWidget(help, 0, Qt::AlignLeft);
  setCentralWidget(content);
  buildWindowMenus(*this, setup, actions_, [this](AnalysisTab tab) {
    if (tab != selected_) choose(tab);
  });
  // The height follows the content: the cards and the settings panel keep what they need.
  setMinimumWidth(1000);
  resize(1100, 920);
}

QWidget* AnalysisWindow::buildSegments(const ViewSetup& setup) {
  auto* bar = new QWidget(this);
  auto* row = new QHBoxLayout(bar);
  row->setContentsMargins(0, 18, 0, 0);
  row->setSpacing(0);
  segments_ = new QButtonGroup(bar);
  segments_->setExclusive(true);
  for (AnalysisTab tab : order_) {
    auto* button = new QPushButton(qText(L10n::render(plainLabel(tab), setup.language)), bar);
    button->setCheckable(true);
    button->setFont(Typography::body());
    button->setMinimumHeight(32);
    // As wide as the longest label the tab can show, so the row never shifts when one changes.
    int width = segmentMinimumWidth;
    for (const auto& label : labelVariants(tab, setup.language))
      width = std::max(width, button->fontMetrics().horizontalAdvance(qText(label)) + segmentPadding);
    button->setFixedWidth(width);
    if (tab == AnalysisTab::apps)
      button->setToolTip(qText(L10n::render(msg("押すたびに、使用量が多い順とアプリ名順を切り替えます。"), setup.language)));
    segments_->addButton(button, static_cast<int>(tab));
    row->addWidget(button);
  }
  segments_->button(static_cast<int>(AnalysisTab::apps))->setChecked(true);
  connect(segments_, &QButtonGroup::idClicked, this, [this](int id) { choose(static_cast<AnalysisTab>(id)); });
  row->addStretch();
  return bar;
}

QAbstractButton* AnalysisWindow::segment(AnalysisTab tab) const { return segments_->button(static_cast<int>(tab)); }

void AnalysisWindow::choose(AnalysisTab tab) {
  if (actions_.tabChanged) actions_.tabChanged(tab);
  else segment(selected_)->setChecked(true);  // nobody to render the tab: keep what is shown
}

void AnalysisWindow::display(const Screen& screen) {
  selected_ = screen.selectedTab;
  header_->display(screen.status);
  for (std::size_t i = 0; i < cardCount; ++i) cards_[i]->display(screen.cards[i]);
  for (AnalysisTab tab : order_) {
    const QString label = qText(screen.tabLabels[static_cast<std::size_t>(tab)]);
    if (segment(tab)->text() != label) segment(tab)->setText(label);
  }
  segment(screen.selectedTab)->setChecked(true);
  settings_->setVisible(screen.selectedTab == AnalysisTab::settings);
  settings_->display(screen);
  coverage_->setText(qText(screen.coverage));
  coverage_->setVisible(!screen.coverage.empty());
  earlySummary_->setText(qText(screen.earlySummary));
  earlySummary_->setVisible(!screen.earlySummary.empty());
  table_->display(screen.table);
}

void AnalysisWindow::closeEvent(QCloseEvent* event) {
  // The window lives for the whole run; closing it hides it. Quitting never asks it (the
  // application exits without a round of close events), so this cannot hold a quit back.
  event->ignore();
  hide();
}

void AnalysisWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (actions_.windowShown && !event->spontaneous()) actions_.windowShown(true);
}

void AnalysisWindow::hideEvent(QHideEvent* event) {
  QMainWindow::hideEvent(event);
  if (actions_.windowShown && !event->spontaneous()) actions_.windowShown(false);
}

}  // namespace hollin
