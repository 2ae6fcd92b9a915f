#pragma once

#include <array>
#include <optional>
#include <vector>

#include "core/LocalizedMessage.h"
#include "core/scope/AccountScope.h"

// The tabs of the analysis window, their order, headers and column layouts.
namespace hollin {

// Raw value = case index (the self-health record stores it).
enum class AnalysisTab { apps = 0, users = 1, response = 2, settings = 3, early = 4 };

// The segments in display order: the sharing scope puts the accounts next to the apps.
std::array<AnalysisTab, 5> tabOrder(AccountScope scope);
int segmentIndex(AnalysisTab tab, AccountScope scope);

// The tab's plain label ("アプリ別", "Mac の健康", ...), as the View menu lists it.
LocalizedMessage plainLabel(AnalysisTab tab);

// The table header of a tab, one title per column.
std::vector<LocalizedMessage> tableHeader(AnalysisTab tab);

// The installed column set: 100 for the health tab, else the number of columns.
int columnLayout(AnalysisTab tab);
// The column widths of a layout, in points (every column at least minimumColumnWidth).
std::vector<int> columnWidths(int layout);
inline constexpr int minimumColumnWidth = 100;

// Whether the table must drop its columns and install the tab's: only when the column set changes.
bool needsNewColumns(int installedLayout, int installedColumnCount, AnalysisTab tab);

// The apps tab's sort after a tab change: clicking the selected apps tab again toggles between
// memory and name order; arriving from another tab starts with memory order. Other tabs keep it.
bool sortByNameAfter(AnalysisTab previous, AnalysisTab selected, bool sortedByName);

}  // namespace hollin
