#include "app/views/TablePage.h"

#include <QHeaderView>

#include "app/views/Typography.h"

namespace hollin {
namespace {

constexpr int plainRowHeight = 34;  // every tab but the health tab
constexpr int cellPadding = 8;   // horizontal room a wrapping cell keeps free
constexpr int minimumWrapWidth = 80;
constexpr int rowPadding = 14;   // vertical room around the tallest wrapped cell

QColor urgentText(const QPalette& palette) {
  const bool dark = palette.color(QPalette::Window).lightness() < 128;
  return dark ? QColor(255, 176, 166) : QColor(150, 0, 20);
}

}  // namespace

TablePage::TablePage(QWidget* parent) : QTableWidget(parent) {
  setAlternatingRowColors(true);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(plainRowHeight);
  horizontalHeader()->setStretchLastSection(true);
  horizontalHeader()->setFont(Typography::tableHeader());
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  horizontalHeader()->setMinimumSectionSize(minimumColumnWidth);
  // A text too long for its column ends in "…" and shows whole in its tool tip.
  setTextElideMode(Qt::ElideRight);
  setFont(Typography::body());
  setMinimumHeight(120);
}

void TablePage::display(const TableView& table) {
  if (shown_ == table) return;
  if (layout_ != table.layout || columnCount() != static_cast<int>(columnWidths(table.layout).size())) {
    const auto widths = columnWidths(table.layout);
    setColumnCount(static_cast<int>(widths.size()));
    for (int i = 0; i < columnCount(); ++i) setColumnWidth(i, widths[static_cast<std::size_t>(i)]);
    layout_ = table.layout;
    ++rebuilds_;
  }
  QStringList header;
  for (const auto& title : table.header) header << QString::fromStdString(title);
  setHorizontalHeaderLabels(header);
  setWordWrap(table.wrapping);
  setRowCount(static_cast<int>(table.rows.size()));
  for (int row = 0; row < rowCount(); ++row) {
    const auto tone = table.tones.find(row);
    fillRow(row, table.rows[static_cast<std::size_t>(row)],
            tone == table.tones.end() ? std::nullopt : std::optional(tone->second), table.wrapping);
  }
  shown_ = table;
}

void TablePage::fillRow(int row, const std::vector<std::string>& cells, std::optional<RowTone> tone, bool wrapping) {
  int tallest = 0;
  for (int column = 0; column < columnCount(); ++column) {
    const QString cell =
        column < static_cast<int>(cells.size()) ? QString::fromStdString(cells[static_cast<std::size_t>(column)]) : QString();
    auto* item = new QTableWidgetItem(cell);
    item->setToolTip(cell);
    // The table's own font unless the row is emphasised: row heights are measured with it.
    QFont font = this->font();
    if (tone) {
      font = Typography::bodyEmphasis();
      item->setFont(font);
      if (*tone == RowTone::urgent) item->setForeground(urgentText(palette()));
    }
    setItem(row, column, item);
    if (wrapping) {
      const int width = std::max(columnWidth(column) - cellPadding, minimumWrapWidth);
      tallest = std::max(tallest, QFontMetrics(font).boundingRect(QRect(0, 0, width, 10000), Qt::TextWordWrap, cell).height());
    }
  }
  setRowHeight(row, wrapping ? std::max(plainRowHeight, tallest + rowPadding) : plainRowHeight);
}

void TablePage::find(const QString& text, int step) {
  if (text.isEmpty() || rowCount() == 0) return;
  const int rows = rowCount();
  const int start = currentRow();
  for (int offset = 1; offset <= rows; ++offset) {
    const int row = ((start + step * offset) % rows + rows) % rows;
    for (int column = 0; column < columnCount(); ++column)
      if (auto* cell = item(row, column); cell && cell->text().contains(text, Qt::CaseInsensitive)) {
        selectRow(row);
        return;
      }
  }
}

QString TablePage::selectedText() const {
  QStringList lines;
  for (const auto& range : selectedRanges())
    for (int row = range.topRow(); row <= range.bottomRow(); ++row) {
      QStringList cells;
      for (int column = 0; column < columnCount(); ++column)
        if (auto* cell = item(row, column)) cells << cell->text();
      lines << cells.join('\t');
    }
  return lines.join('\n');
}

}  // namespace hollin
