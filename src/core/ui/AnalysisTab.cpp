#include "core/ui/AnalysisTab.h"

#include <algorithm>

namespace hollin {

std::array<AnalysisTab, 5> tabOrder(AccountScope scope) {
  using enum AnalysisTab;
  if (scope.value() == AccountScope::m2Recording) return {apps, users, response, early, settings};
  return {apps, response, early, users, settings};
}

int segmentIndex(AnalysisTab tab, AccountScope scope) {
  const auto order = tabOrder(scope);
  return static_cast<int>(std::find(order.begin(), order.end(), tab) - order.begin());
}

LocalizedMessage plainLabel(AnalysisTab tab) {
  switch (tab) {
    case AnalysisTab::apps: return msg("アプリ別");
    case AnalysisTab::users: return msg("ユーザー別");
    case AnalysisTab::response: return msg("応答の確認");
    case AnalysisTab::settings: return msg("監視の設定");
    case AnalysisTab::early: break;
  }
  return msg("Mac の健康");
}

std::vector<LocalizedMessage> tableHeader(AnalysisTab tab) {
  switch (tab) {
    case AnalysisTab::apps:
      return {msg("アプリ／プロセス"), msg("アカウント"), msg("アプリ計上量"), msg("RAM内・取得範囲")};
    case AnalysisTab::users:
      return {msg("アカウント"), msg("ログイン状態"), msg("アプリ計上量"), msg("RAM内の量"),
              msg("応答")};
    case AnalysisTab::response:
      return {msg("アプリ／アカウント"), msg("応答の状態"), msg("確認時刻"), msg("監視の範囲")};
    case AnalysisTab::settings:
      return {msg("アカウント"), msg("バージョン"), msg("ログイン時に起動"),
              msg("メモリー情報の共有")};
    case AnalysisTab::early: break;
  }
  return {msg("項目"), msg("いまの状態"), msg("くわしく")};
}

int columnLayout(AnalysisTab tab) {
  // The health tab has three wide, wrapping columns of its own; 100 keeps it apart from counts.
  if (tab == AnalysisTab::early) return 100;
  return static_cast<int>(tableHeader(tab).size());
}

std::vector<int> columnWidths(int layout) {
  if (layout == 100) return {240, 380, 430};
  if (layout == 5) return {210, 140, 125, 125, 300};
  return {290, 175, 175, 265};
}

bool needsNewColumns(int installedLayout, int installedColumnCount, AnalysisTab tab) {
  const int wanted = columnLayout(tab);
  return installedLayout != wanted ||
         installedColumnCount != static_cast<int>(columnWidths(wanted).size());
}

bool sortByNameAfter(AnalysisTab previous, AnalysisTab selected, bool sortedByName) {
  if (selected != AnalysisTab::apps) return sortedByName;
  return previous == AnalysisTab::apps && !sortedByName;
}

}  // namespace hollin
