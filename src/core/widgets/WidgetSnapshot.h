// The widget summary: the few figures the desktop widgets show, written by the application
// into the widgets' shared folder and read by the widget program, which never samples the
// machine itself. Compact JSON; dates are seconds since 1 January 2001 UTC.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/BaseDirectories.h"
#include "core/WallTime.h"
#include "core/memory/MenuBarStatus.h"

namespace hollin {

struct Snapshot;

struct WidgetSnapshot {
  WallTime measuredAt{};  // when the snapshot behind the summary was taken
  std::optional<std::uint64_t> memoryUsed;
  std::optional<std::uint64_t> memoryTotal;
  std::optional<std::uint64_t> diskAvailable;
  std::optional<std::uint64_t> diskTotal;
  std::optional<std::uint64_t> compressed;
  std::optional<std::uint64_t> swap;
  std::string level;   // the shown level's raw value: "green" … "red" or "unavailable"
  std::string status;  // that level's title in the writer's language
  std::optional<double> cpuFraction;        // busy share 0…1
  std::optional<std::int64_t> thermalState;  // 0 nominal … 3 critical
  std::optional<std::int64_t> swapChange;    // bytes over about five minutes, signed
  std::optional<double> ssdCelsius;
  std::optional<WallTime> ssdMeasuredAt;
  std::optional<double> cpuCelsius;
  std::optional<WallTime> cpuMeasuredAt;
  bool operator==(const WidgetSnapshot&) const = default;

  static constexpr std::string_view fileName = "widget-summary.json";
  // A request to the widget program to read the summary again and rebuild its timelines: the
  // application replaces this file of the same folder (written aside, then renamed over it);
  // the program watches the folder and acts on each new file, whatever it holds (the writer
  // puts the time of the request in it, for people).
  static constexpr std::string_view reloadFileName = "widget-reload.json";
  // A summary is far smaller; a file of more bytes is not read.
  static constexpr std::size_t sizeLimit = 4096;
  // How long a summary counts as recent: from 5 s ahead up to, not including, 20 minutes old.
  static constexpr double recentFor = 1200;
  static constexpr double aheadAllowed = 5;

  // The widgets' shared folder: "<XDG data home>/<groupID>" ("$XDG_DATA_HOME", else
  // "$HOME/.local/share"; relative values do not count). Absent when neither gives a place.
  // `lookup` reads one environment variable (nullptr when unset).
  static std::optional<std::filesystem::path> containerFolder(
      const EnvironmentLookup& lookup);
  // containerFolder() / fileName.
  static std::optional<std::filesystem::path> containerFile(
      const EnvironmentLookup& lookup);
  // The summary in `file`: absent when there is no file, it cannot be read, it has more than
  // sizeLimit bytes, or it does not decode.
  static std::optional<WidgetSnapshot> read(const std::optional<std::filesystem::path>& file);

  // A reading taken at `measured` is recent at `now`: up to 5 s ahead, under 20 minutes old.
  static bool withinRecency(WallTime measured, WallTime now);
  bool isRecent(WallTime now) const;
  // cpuCelsius when the summary and the temperature's own reading are both recent and the
  // value is finite and above 20 up to 120 °C.
  std::optional<double> recentCPUTemperature(WallTime now) const;
  std::optional<double> memoryFraction() const;
  std::optional<double> diskFreeFraction() const;
};

// part ÷ whole when both are present, whole > 0 and part ≤ whole.
std::optional<double> fraction(std::optional<std::uint64_t> part, std::optional<std::uint64_t> whole);

// The file text: compact, the keys in field order, absent fields left out.
std::string encodeWidgetSnapshot(const WidgetSnapshot& summary);
// Any key order; "measuredAt", "level" and "status" are required, every other key may be
// missing or null. A value of the wrong type or out of its range fails the whole summary.
std::optional<WidgetSnapshot> decodeWidgetSnapshot(std::string_view text);

// What the publisher is handed at each self-health write.
struct WidgetSummaryInputs {
  double now = 0;       // current uptime
  WallTime wallNow{};   // current date
  bool asleep = false;
  MenuBarLevel level = MenuBarLevel::unavailable;  // the shown level
  std::optional<double> cpuFraction;
  std::optional<std::int64_t> swapChange;
  std::string_view language = "en";  // the status text is rendered in it
};

// The summary of `snapshot`: its figures while fresh (awake and at most 20 s old); otherwise
// only measuredAt with the level "unavailable" and its title.
WidgetSnapshot widgetSummary(const Snapshot& snapshot, const WidgetSummaryInputs& inputs);

}  // namespace hollin
