// What the memory subsystem shows and records: the status texts of the shown level, its six
// cards, the apps tab and its keys of the self-health record. Plain values in, texts out.
#pragma once

#include <cstdint>
#include <optional>

#include "core/Json.h"
#include "core/memory/AppMemoryGroup.h"
#include "core/memory/MemoryNotice.h"
#include "core/memory/MenuBarStatus.h"
#include "core/metrics/MetricsText.h"
#include "core/tick/Moment.h"
#include "core/ui/Screen.h"

namespace hollin {

// What the memory subsystem keeps between ticks, as its views and its record read it.
struct MemoryFigures {
  Pressure eventPressure = Pressure::unknown;  // the last kernel event's
  std::optional<double> cpuFraction;           // busy share 0…1
  std::optional<std::int64_t> swapChange;      // bytes over about five minutes
  bool diskDangerShown = false;                // the disk override is in force
  MenuBarLevel displayedLevel = MenuBarLevel::unavailable;
  AppMemorySort sort;                          // the apps tab's order
};

// The memory, compression, swap, disk, CPU and heat cards.
void presentMemoryCards(Screen& screen, const Moment& moment, const MemoryFigures& figures);

// The apps tab's label and, while it is selected and the window shown, its rows.
void presentApps(Screen& screen, const Moment& moment, AppMemorySort sort);

// The pressure raw value of the record: the kernel's level when it was read, else the last
// event's.
Pressure recordedPressure(const HLSystem& system, Pressure eventPressure);

// The record's memory, disk, CPU, process and sort keys.
void recordMemory(nlohmann::json& record, const Moment& moment, const MemoryFigures& figures);

// A level as exported: 0 green, 1 yellow, 2 orange, 3 red; nothing while unavailable.
std::optional<double> levelNumber(MenuBarLevel level);

// The memory subsystem's metrics: the level memory alone calls for, pressure, memory and swap
// in use, swap's change and the data volume's free space.
void exportMemory(MetricsText& metrics, const Moment& moment, const MemoryFigures& figures, MenuBarLevel memoryLevel);

}  // namespace hollin
