// The level the menu bar shows, green to red or unavailable: the status policy that derives a
// memory level from the samples, and the decision that turns it, the data's freshness,
// suspected hung applications and the disk's free space into the level on screen.
#pragma once

#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "core/LocalizedMessage.h"
#include "core/memory/HeldReport.h"
#include "core/memory/DiskSpace.h"
#include "core/memory/MemoryNotice.h"
#include "core/snapshot/Staleness.h"

namespace hollin {

enum class MenuBarLevel { green, yellow, orange, red, unavailable };

inline constexpr std::array<MenuBarLevel, 5> allMenuBarLevels = {
    MenuBarLevel::green, MenuBarLevel::yellow, MenuBarLevel::orange, MenuBarLevel::red, MenuBarLevel::unavailable};

std::string_view rawValue(MenuBarLevel level);
std::optional<MenuBarLevel> menuBarLevelFromRawValue(std::string_view raw);
LocalizedMessage title(MenuBarLevel level);
LocalizedMessage explanation(MenuBarLevel level);

// Fed the same samples as the notice policy, before it, once per tick; `level` then says what
// to show. Sustained warning turns orange only after the warning delay.
class MenuBarStatusPolicy {
 public:
  static constexpr double fallbackDelay = 10;

  // `warningDelay`: finite and not negative, else 10 s.
  explicit MenuBarStatusPolicy(double warningDelay);

  void observe(const MemorySample& sample);
  void reset();
  MenuBarLevel level(bool fresh, bool hasSuspectedApp) const;

  MenuBarLevel memoryLevel() const { return memoryLevel_; }
  double warningDelay() const { return warningDelay_; }

 private:
  MenuBarLevel memoryLevel_ = MenuBarLevel::unavailable;
  std::vector<MemorySample> samples_;
  std::optional<double> warningSince_;
  double warningDelay_;
};


struct ShownLevelInputs {
  bool asleep = false;
  double now = 0;             // current uptime
  double snapshotUptime = 0;  // the snapshot's uptime
  bool diskValid = false;
  std::uint64_t diskAvailable = 0;
  bool diskWarningShown = false;  // the flag as the previous render left it
};

struct ShownLevel {
  MenuBarLevel level = MenuBarLevel::unavailable;
  LocalizedMessage explanation;
  bool diskWarningShown = false;  // the flag for the next render
  bool operator==(const ShownLevel&) const = default;
};

// Whether a trusted report with a healthy worker holds a suspected verdict checked no more than
// 20 s before `now`.
bool hasSuspectedApp(const std::vector<PeerReport>& reports, double now);

// The level on screen for a render with a snapshot present.
ShownLevel shownLevel(const MenuBarStatusPolicy& policy, const ShownLevelInputs& inputs,
                      const std::vector<PeerReport>& reports);

}  // namespace hollin
