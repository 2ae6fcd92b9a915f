#include "core/ui/AnalysisTab.h"

#include <algorithm>

#include "core/L10n.h"

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

std::string appsLabel(AppMemorySort sort, std::string_view language) {
  return L10n::render(msg("アプリ別（{0}）", L10n::render(sort.label(), language)), language);
}

std::string earlyLabel(int concerns, std::string_view language) {
  if (concerns <= 0) return L10n::render(plainLabel(AnalysisTab::early), language);
  return L10n::render(msg("Mac の健康 ⚠︎ {0}", concerns), language);
}

std::vector<std::string> labelVariants(AnalysisTab tab, std::string_view language) {
  std::vector<std::string> labels{L10n::render(plainLabel(tab), language)};
  if (tab == AnalysisTab::apps)
    for (AppMemorySort sort : {AppMemorySort::memory, AppMemorySort::name})
      labels.push_back(appsLabel(sort, language));
  if (tab == AnalysisTab::early) labels.push_back(earlyLabel(99, language));
  return labels;
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
  // Wide enough for an account label ("このアカウント（UID 60000）") in either language.
  if (layout == 5) return {240, 150, 130, 130, 300};
  return {300, 240, 160, 300};
}

AppMemorySort sortAfter(AnalysisTab previous, AnalysisTab selected, AppMemorySort sort) {
  if (selected != AnalysisTab::apps) return sort;
  return previous == AnalysisTab::apps ? sort.toggled() : AppMemorySort::memory;
}

}  // namespace hollin
