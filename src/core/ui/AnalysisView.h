#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/ui/AnalysisTab.h"
#include "core/ui/Cards.h"
#include "core/ui/ViewState.h"

// Everything the analysis window shows for one state, as finished texts.
namespace hollin {

struct TableView {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;
  std::map<int, RowTone> tones;  // rows of the health tab whose tone is not plain
  int layout = 4;                // the column layout the tab wants (see columnLayout)
  bool wrapping = false;         // the health tab's cells wrap and grow their rows
  bool operator==(const TableView&) const = default;
};

struct AnalysisView {
  std::string statusTitle, statusExplanation, statusToolTip;
  StatusColour colour = StatusColour::grey;
  Cards cards;
  std::string coverage;       // empty: hidden
  std::string earlySummary;   // empty: hidden (it shows on the health tab only)
  std::string permissions;
  bool settingsVisible = false;
  std::array<std::string, 5> segmentLabels;  // in tabOrder
  TableView table;
};

// The window's content; nothing while there is no snapshot, so the window keeps what it shows.
std::optional<AnalysisView> analysisView(const ViewState& state);

// The parts, for callers that need only one of them.
std::string segmentLabel(AnalysisTab tab, const ViewState& state);
std::vector<std::string> coverageLines(const ViewState& state);
std::string permissionsLine(const ViewState& state);
std::string earlySummary(int concerns, std::string_view language);
TableView tableView(const ViewState& state);

inline constexpr double reportFreshPast = 20;    // seconds a report's memory stays current
inline constexpr double reportFreshFuture = 2;   // clock skew allowed between accounts
inline constexpr double verdictMaxAge = 20;      // seconds before a verdict reads "確認が古い"

}  // namespace hollin
