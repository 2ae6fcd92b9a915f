// What the widget tests share: a Qt application on an Xvfb display of its own, the string
// tables of the built program's data folder, and summaries to show.
#pragma once

#include <QIcon>
#include <QPalette>

#include <chrono>

#include "../app/TestSupport.h"
#include "core/L10n.h"
#include "core/widgets/WidgetSnapshot.h"
#include "widgets/WidgetData.h"

namespace hollin::testing {

inline const std::filesystem::path builtProgram = HOLLIN_BINARY_DIR "/bin/hollin-widgets";

// Once per test program: the display lives until the program ends. Without Xvfb the offscreen
// platform stands in.
inline void widgetsApplication() {
  static PrivateDisplay display;
  if (QCoreApplication::instance() != nullptr) return;
  if (!display.display().isEmpty()) {
    qputenv("DISPLAY", display.display().toLatin1());
    qputenv("QT_QPA_PLATFORM", "xcb");
  }
  // As in the program: its own tables only, from the data folder the build lays out.
  L10n::useOnlyDataDirectory(widgetDataDirectory(builtProgram));
  ensureApplication();
  // The icons of a desktop, where the machine has a theme; without one the titles go bare.
  if (QFile::exists("/usr/share/icons/Adwaita/index.theme")) QIcon::setThemeName("Adwaita");
}

// A summary measured `age` before `now`, with every figure present.
inline WidgetSnapshot fixtureSummary(WallTime now, std::chrono::seconds age) {
  using namespace std::chrono_literals;
  constexpr std::uint64_t gib = 1ULL << 30;
  WidgetSnapshot summary;
  summary.measuredAt = now - age;
  summary.memoryUsed = 10 * gib + gib / 2;
  summary.memoryTotal = 16 * gib;
  summary.diskAvailable = 118'400'000'000;
  summary.diskTotal = 494'380'000'000;
  summary.compressed = gib;
  summary.swap = gib / 4;
  summary.level = "yellow";
  summary.status = "注意 ★★☆☆";
  summary.cpuFraction = 0.37;
  summary.thermalState = 1;
  summary.swapChange = 12'600'000;
  summary.ssdCelsius = 38.4;
  summary.ssdMeasuredAt = summary.measuredAt - 20s;
  summary.cpuCelsius = 61.2;
  summary.cpuMeasuredAt = summary.measuredAt - 10s;
  return summary;
}

// The widest figures a real machine gives: every digit in use, a full CPU, a large loss of swap.
inline WidgetSnapshot widestSummary(WallTime now) {
  WidgetSnapshot summary = fixtureSummary(now, std::chrono::seconds(30));
  summary.memoryUsed = 127'900'000'000;
  summary.memoryTotal = 128ULL << 30;
  summary.diskAvailable = 1'888'800'000'000;
  summary.diskTotal = 7'999'900'000'000;
  summary.level = "red";
  summary.cpuFraction = 1.0;
  summary.thermalState = 3;
  summary.swapChange = -18'880'000'000;
  summary.ssdCelsius = -20;
  summary.cpuCelsius = 119.6;
  return summary;
}

inline QPalette lightPalette() {
  QPalette palette;
  palette.setColor(QPalette::Window, QColor(0xf6, 0xf6, 0xf6));
  palette.setColor(QPalette::WindowText, QColor(0x1d, 0x1d, 0x1f));
  palette.setColor(QPalette::PlaceholderText, QColor(0x6e, 0x6e, 0x73));
  return palette;
}

inline QPalette darkPalette() {
  QPalette palette;
  palette.setColor(QPalette::Window, QColor(0x2c, 0x2c, 0x2e));
  palette.setColor(QPalette::WindowText, QColor(0xf2, 0xf2, 0xf7));
  palette.setColor(QPalette::PlaceholderText, QColor(0x98, 0x98, 0x9f));
  return palette;
}

}  // namespace hollin::testing
