// One row of the health table: what a slow watcher shows whether or not it has a warning.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace hollin {

enum class EarlyTone { plain = 0, attention = 1, urgent = 2 };

struct EarlyTableRow {
  // Put before the state of a row that needs attention: a warning sign in text presentation.
  static constexpr std::string_view mark = "\u26A0\uFE0E ";

  std::string item;
  EarlyTone tone = EarlyTone::plain;
  std::optional<std::string> state;  // absent: nothing to report
  std::string detail;

  bool concern() const { return tone != EarlyTone::plain; }
  // The item; the state, marked when the row is a concern and "問題なし" when absent; the detail.
  std::array<std::string, 3> cells(std::string_view language) const;

  bool operator==(const EarlyTableRow&) const = default;
};

// Joins the parts of a row's detail: "・" in Japanese, " · " otherwise.
std::string_view earlySeparator(std::string_view language);

}  // namespace hollin
