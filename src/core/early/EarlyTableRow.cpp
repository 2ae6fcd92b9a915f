#include "core/early/EarlyTableRow.h"

#include "core/L10n.h"

namespace hollin {

std::array<std::string, 3> EarlyTableRow::cells(std::string_view language) const {
  std::string stateCell = state ? *state : L10n::render(msg("問題なし"), language);
  if (concern()) stateCell = std::string(mark) + stateCell;
  return {item, std::move(stateCell), detail};
}

std::string_view earlySeparator(std::string_view language) { return language == "ja" ? "・" : " · "; }

}  // namespace hollin
