#include "core/ui/Screen.h"

#include <cstdio>

#include "core/L10n.h"

namespace hollin {

const std::array<CardFace, cardCount>& cardFaces() {
  static const std::array<CardFace, cardCount> faces = {{
      {msg("物理メモリー"), msg("この Mac のメモリーの総量"), std::nullopt},
      {msg("メモリーの圧縮"), msg("多いほどメモリーの余裕が少ない"), std::nullopt},
      {msg("スワップ"), msg("メモリーに入りきらない分。増え続けると遅くなる"),
       msg("スワップは直近約5分の使用量の差です。")},
      {msg("内蔵ストレージ空き"), std::nullopt,
       msg("内蔵ストレージ空きは、macOSのデータ用ボリュームの空き容量です。削除すれば空く可能性のある容量は含めません。")},
      {msg("CPU使用率"), std::nullopt,
       msg("CPUは全体で100%。CPU温度は取得できたM4のセンサーの最高値で、最大1分に1回読み取る参考値です。機種やOSで取得できない場合があります。")},
      // No kernel of this platform reports a four-step thermal state, so the card says so.
      {msg("Macの熱の状態"), msg("Linuxには4段階の熱の状態がないため、表示できません。"),
       msg("熱の状態はmacOSの4段階判定です。")},
      {msg("内蔵SSD温度"), std::nullopt, msg("SSD温度はSSD自身の値です。"), std::nullopt},
      {msg("SSDの健康"), std::nullopt,
       msg("SSD自身が報告する情報です。警告なしでも故障を完全に否定できません。履歴は1時間ごと・最大30日分、変化は直近100件を保存します。"),
       msg("SSDの健康履歴…")},
  }};
  return faces;
}

Screen blankScreen(AnalysisTab selected, std::string_view language) {
  Screen screen;
  screen.selectedTab = selected;
  const std::string unavailable = L10n::render(msg("取得不可"), language);
  for (CardView& card : screen.cards) card.value = unavailable;
  for (AnalysisTab tab : allTabs)
    screen.tabLabels[static_cast<std::size_t>(tab)] = L10n::render(plainLabel(tab), language);
  for (const auto& title : tableHeader(selected)) screen.table.header.push_back(L10n::render(title, language));
  screen.table.layout = columnLayout(selected);
  screen.table.wrapping = selected == AnalysisTab::early;
  return screen;
}

CardView& card(Screen& screen, CardSlot slot) { return screen.cards[static_cast<std::size_t>(slot)]; }

std::string celsiusText(double celsius) {
  char text[32];
  std::snprintf(text, sizeof text, "%.0f °C", celsius);
  return text;
}

std::string joinedLines(const std::vector<std::string>& lines) {
  std::string joined;
  for (const auto& line : lines) joined += (joined.empty() ? "" : "\n") + line;
  return joined;
}

}  // namespace hollin
