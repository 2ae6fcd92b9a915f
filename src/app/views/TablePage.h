#pragma once

#include <QTableWidget>

#include <optional>

#include "core/ui/Screen.h"

namespace hollin {

// The one table every tab fills. Columns are rebuilt only when the tab's column set changes,
// rows only when the tab's content does.
class TablePage : public QTableWidget {
  Q_OBJECT
 public:
  explicit TablePage(QWidget* parent = nullptr);
  void display(const TableView& table);
  // Selects the next (step 1) or previous (step −1) row holding `text` after the current one.
  void find(const QString& text, int step);
  // The selected rows, tab-separated cells, one line per row.
  QString selectedText() const;

  int columnLayout() const { return layout_; }
  int columnRebuilds() const { return rebuilds_; }

 private:
  void fillRow(int row, const std::vector<std::string>& cells, std::optional<RowTone> tone, bool wrapping);

  int layout_ = 0;
  int rebuilds_ = 0;
  std::optional<TableView> shown_;
};

}  // namespace hollin
