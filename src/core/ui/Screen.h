// What the tray icon, the status menu and the analysis window show after one render, as
// finished texts. Subsystems fill their parts; the views only display them, and the
// self-health record takes the status texts from here too.
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/LocalizedMessage.h"
#include "core/ui/AnalysisTab.h"
#include "core/ui/StatusColour.h"

namespace hollin {

// The shown level's texts, decided once per render.
struct StatusTexts {
  StatusColour colour = StatusColour::grey;
  std::string title;
  std::string explanation;
  std::string menuRow;  // the status menu's first row: title + " — " + explanation
  std::string toolTip;  // the tray icon's tool tip and hover text: title + "\n" + explanation
  bool operator==(const StatusTexts&) const = default;
};

// The eight cards in display order: the first row, then the second.
enum class CardSlot { memory, compressed, swap, disk, cpu, heat, ssdTemperature, ssdHealth };
inline constexpr std::size_t cardCount = 8;

struct CardView {
  std::string value;
  std::string detail;  // empty: the detail line is hidden
  bool alert = false;  // red border
  bool operator==(const CardView&) const = default;
};

// A card's fixed texts.
struct CardFace {
  LocalizedMessage name;
  std::optional<LocalizedMessage> hint;
  std::optional<LocalizedMessage> toolTip;
  std::optional<LocalizedMessage> action = std::nullopt;  // a small button under the texts; the card's subsystem answers it
};
const std::array<CardFace, cardCount>& cardFaces();

// The text tone of a health-tab row: plain rows keep the default colour.
enum class RowTone { plain, caution, urgent };

struct TableView {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;
  std::map<int, RowTone> tones;  // rows whose tone is not plain
  int layout = 4;                // the column layout the tab wants (see columnLayout)
  bool wrapping = false;         // the health tab's cells wrap and grow their rows
  bool operator==(const TableView&) const = default;
};

struct Screen {
  StatusTexts status;
  std::array<CardView, cardCount> cards;
  std::array<std::string, tabCount> tabLabels;  // by AnalysisTab
  AnalysisTab selectedTab = AnalysisTab::apps;
  TableView table;            // the selected tab's; only built while the window is shown
  std::string coverage;       // lines joined with "\n"; empty: hidden
  std::string earlySummary;   // empty: hidden
  std::string permissions;
  bool loginChecked = false;
  bool sharingChecked = false;
  std::string sharingTip;     // the sharing switch's tool tip; empty: none
  bool operator==(const Screen&) const = default;
};

// A question or a failure put to the user in a modal alert; the first button is the default.
struct AlertView {
  std::string title;
  std::string text;
  std::vector<std::string> buttons;
  bool operator==(const AlertView&) const = default;
};

// A read-only text in a window of its own (the SSD history), rebuilt at every opening.
struct DocumentView {
  std::string title;
  std::string text;
  int width = 760;
  int height = 560;
  bool operator==(const DocumentView&) const = default;
};

// Every part at its default: cards "取得不可", plain tab labels, the selected tab's header with
// no rows. A subsystem that is not there leaves its parts so.
Screen blankScreen(AnalysisTab selected, std::string_view language);

CardView& card(Screen& screen, CardSlot slot);

// A temperature on a card, in whole degrees: "41 °C".
std::string celsiusText(double celsius);

// Lines joined with "\n".
std::string joinedLines(const std::vector<std::string>& lines);

}  // namespace hollin
