#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/LocalizedMessage.h"
#include "core/memory/AppMemoryGroup.h"
#include "core/scope/AccountScope.h"

// The tabs of the analysis window, their order, headers and column layouts.
namespace hollin {

// Raw value = case index (the self-health record stores it).
enum class AnalysisTab { apps = 0, users = 1, response = 2, settings = 3, early = 4 };
inline constexpr std::size_t tabCount = 5;
inline constexpr std::array<AnalysisTab, tabCount> allTabs = {
    AnalysisTab::apps, AnalysisTab::users, AnalysisTab::response, AnalysisTab::settings, AnalysisTab::early};

// The segments in display order: the sharing scope puts the accounts next to the apps.
std::array<AnalysisTab, 5> tabOrder(AccountScope scope);
int segmentIndex(AnalysisTab tab, AccountScope scope);

// The tab's plain label ("アプリ別", "Mac の健康", ...), as the View menu lists it.
LocalizedMessage plainLabel(AnalysisTab tab);

// The apps tab's label while it is selected: "アプリ別（使用量順）" or "アプリ別（名前順）".
std::string appsLabel(AppMemorySort sort, std::string_view language);
// The health tab's label: plain without concerns, else "Mac の健康 ⚠︎ {0}".
std::string earlyLabel(int concerns, std::string_view language);
// Every label a tab can show, so its segment can be wide enough for all of them from the start.
std::vector<std::string> labelVariants(AnalysisTab tab, std::string_view language);

// The table header of a tab, one title per column.
std::vector<LocalizedMessage> tableHeader(AnalysisTab tab);

// The installed column set: 100 for the health tab, else the number of columns.
int columnLayout(AnalysisTab tab);
// The column widths of a layout, in points (every column at least minimumColumnWidth).
std::vector<int> columnWidths(int layout);
inline constexpr int minimumColumnWidth = 100;


// The apps tab's sort after a tab change: clicking the selected apps tab again toggles between
// memory and name order; arriving from another tab starts with memory order. Other tabs keep it.
AppMemorySort sortAfter(AnalysisTab previous, AnalysisTab selected, AppMemorySort sort);

}  // namespace hollin
