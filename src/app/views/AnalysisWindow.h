#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QMainWindow>
#include <QTableWidget>
#include <array>

#include "app/views/MetricCard.h"
#include "app/views/Presenter.h"
#include "core/ui/AnalysisView.h"

namespace hollin {

// The analysis window: status header, two rows of cards, the tab selector, the settings panel,
// the notes and one table that every tab fills. It only displays an AnalysisView; what the
// user chooses goes to the actions. Closing it hides it.
class AnalysisWindow : public QMainWindow {
  Q_OBJECT
 public:
  AnalysisWindow(const ViewState& initial, PresenterActions actions, QWidget* parent = nullptr);

  void render(const ViewState& state);

  QLabel* statusTitle() const { return statusTitle_; }
  QLabel* statusExplanation() const { return statusExplanation_; }
  QTableWidget* table() const { return table_; }
  QAbstractButton* segment(AnalysisTab tab) const;
  const std::array<MetricCard*, 8>& cards() const { return cards_; }
  QLabel* coverage() const { return coverage_; }
  QLabel* earlySummary() const { return earlySummary_; }
  QLabel* permissions() const { return permissions_; }
  QWidget* settingsPanel() const { return settingsPanel_; }
  int columnLayout() const { return columnLayout_; }
  int columnRebuilds() const { return columnRebuilds_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QString text(const LocalizedMessage& message) const;
  void buildMenus();
  QWidget* buildHeader();
  QWidget* buildSettings();
  QWidget* buildSegments();
  void selectTab(AnalysisTab tab);
  void fillTable(const TableView& table);
  void findInTable(int step);
  void run(const std::function<void()>& action) const;

  std::string language_;
  AccountScope scope_;
  PresenterActions actions_;
  AnalysisTab selected_ = AnalysisTab::apps;
  QFrame* statusBox_ = nullptr;
  QLabel* statusIcon_ = nullptr;
  QLabel* statusTitle_ = nullptr;
  QLabel* statusExplanation_ = nullptr;
  std::array<MetricCard*, 8> cards_{};
  QButtonGroup* segments_ = nullptr;
  QWidget* settingsPanel_ = nullptr;
  QLabel* permissions_ = nullptr;
  QCheckBox* loginBox_ = nullptr;
  QCheckBox* shareBox_ = nullptr;
  QLabel* coverage_ = nullptr;
  QLabel* earlySummary_ = nullptr;
  QTableWidget* table_ = nullptr;
  QList<QAction*> tabActions_;
  int columnLayout_ = 0;
  int columnRebuilds_ = 0;
  QString findText_;
  std::optional<StatusColour> shownColour_;
};

}  // namespace hollin
