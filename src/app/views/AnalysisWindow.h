#pragma once

#include <QButtonGroup>
#include <QLabel>
#include <QMainWindow>

#include <array>

#include "app/views/MetricCard.h"
#include "app/views/Presenter.h"
#include "app/views/SettingsPanel.h"
#include "app/views/StatusHeader.h"
#include "app/views/TablePage.h"

namespace hollin {

// The analysis window: the status header, two rows of cards, the tab selector, the settings
// panel, the notes and one table that every tab fills. It displays a decided Screen; what the
// user chooses goes to the actions. Closing it only hides it.
class AnalysisWindow : public QMainWindow {
  Q_OBJECT
 public:
  AnalysisWindow(const ViewSetup& setup, const PresenterActions& actions, QWidget* parent = nullptr);

  void display(const Screen& screen);

  StatusHeader* header() const { return header_; }
  TablePage* table() const { return table_; }
  QAbstractButton* segment(AnalysisTab tab) const;
  const std::array<MetricCard*, cardCount>& cards() const { return cards_; }
  QLabel* coverage() const { return coverage_; }
  QLabel* earlySummary() const { return earlySummary_; }
  SettingsPanel* settingsPanel() const { return settings_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  QWidget* buildSegments(const ViewSetup& setup);
  void choose(AnalysisTab tab);

  PresenterActions actions_;
  std::array<AnalysisTab, tabCount> order_;
  AnalysisTab selected_ = AnalysisTab::apps;
  StatusHeader* header_ = nullptr;
  std::array<MetricCard*, cardCount> cards_{};
  QButtonGroup* segments_ = nullptr;
  SettingsPanel* settings_ = nullptr;
  QLabel* coverage_ = nullptr;
  QLabel* earlySummary_ = nullptr;
  TablePage* table_ = nullptr;
};

}  // namespace hollin
