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
  const WallTime measuredAt = now - age;
  return {.measuredAt = measuredAt, .memoryUsed = 10 * gib + gib / 2, .memoryTotal = 16 * gib,
          .diskAvailable = 118'400'000'000, .diskTotal = 494'380'000'000, .compressed = gib, .swap = gib / 4,
          .level = "yellow", .status = "注意 ★★☆☆", .cpuFraction = 0.37, .thermalState = 1, .swapChange = 12'600'000,
          .ssdCelsius = 38.4, .ssdMeasuredAt = measuredAt - 20s, .cpuCelsius = 61.2, .cpuMeasuredAt = measuredAt - 10s};
}

// The widest figures a real machine gives: every digit in use, a full CPU, a large loss of swap.
inline WidgetSnapshot widestSummary(WallTime now) {
  WidgetSnapshot widest = fixtureSummary(now, std::chrono::seconds(30));
  widest.memoryUsed = 127'900'000'000, widest.memoryTotal = 128ULL << 30, widest.diskAvailable = 1'888'800'000'000;
  widest.diskTotal = 7'999'900'000'000, widest.level = "red", widest.cpuFraction = 1.0, widest.thermalState = 3;
  widest.swapChange = -18'880'000'000, widest.ssdCelsius = -20, widest.cpuCelsius = 119.6;
  return widest;
}

// A desktop palette: the card, its texts and its captions.
inline QPalette widgetPalette(QRgb window, QRgb text, QRgb secondary) {
  QPalette palette;
  palette.setColor(QPalette::Window, QColor(window));
  palette.setColor(QPalette::WindowText, QColor(text));
  palette.setColor(QPalette::PlaceholderText, QColor(secondary));
  return palette;
}

}  // namespace hollin::testing
