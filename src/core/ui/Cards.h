#pragma once

#include <array>
#include <optional>
#include <string>

#include "core/LocalizedMessage.h"
#include "core/ui/ViewState.h"

// The eight metric cards of the analysis window.
namespace hollin {

struct CardView {
  std::string value;
  std::string detail;   // empty: the detail line is hidden
  std::string toolTip;  // empty: no tool tip
  bool alert = false;   // red border
  bool operator==(const CardView&) const = default;
};

struct Cards {
  CardView memory, compressed, swap, disk;     // first row
  CardView cpu, heat, ssdTemperature, ssdHealth;  // second row
  bool operator==(const Cards&) const = default;
};

// A card's fixed name and hint (the hint is absent on the cards without one).
struct CardTitle {
  LocalizedMessage name;
  std::optional<LocalizedMessage> hint;
};
// In display order: first row, then second row.
const std::array<CardTitle, 8>& cardTitles();

// The cards for a state that has a snapshot; without one, nothing is shown and the cards stay.
Cards cards(const ViewState& state);

inline constexpr double cpuTemperatureMaxAge = 120;  // seconds before a reading is dropped
inline constexpr double ssdCheckMaxAge = 120;        // seconds before the SSD card goes unknown
inline constexpr std::uint64_t diskLowBytes = 20'000'000'000;     // "空きが少なくなっています" below
inline constexpr std::uint64_t diskOverrideBytes = 10'000'000'000;  // the disk override's floor

}  // namespace hollin
