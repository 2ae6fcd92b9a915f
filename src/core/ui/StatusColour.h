#pragma once

#include <array>

// The level display colours and the menu-bar icon's drawing, as data: the painter in
// app/views only replays these shapes, so the geometry is checked here without a display.
namespace hollin {

// The display colour of a shown level; grey stands for "unavailable".
enum class StatusColour { green, yellow, orange, red, grey };

inline constexpr std::array<StatusColour, 5> allStatusColours = {
    StatusColour::green, StatusColour::yellow, StatusColour::orange, StatusColour::red,
    StatusColour::grey};

struct Rgba {
  double red = 0, green = 0, blue = 0, alpha = 1;
  bool operator==(const Rgba&) const = default;
};

// sRGB components; grey is the desktop's usual neutral grey (the system grey of the level table).
constexpr Rgba rgba(StatusColour colour) {
  switch (colour) {
    case StatusColour::green: return {0.08, 0.6, 0.24, 1};
    case StatusColour::yellow: return {0.95, 0.77, 0.02, 1};
    case StatusColour::orange: return {0.98, 0.43, 0.04, 1};
    case StatusColour::red: return {0.86, 0.12, 0.16, 1};
    case StatusColour::grey: break;
  }
  return {0.557, 0.557, 0.576, 1};
}

// One rounded rectangle of the icon, in points with the origin at the top left (Qt's
// convention; the drawing was specified bottom-up and is flipped once, here).
struct IconShape {
  double x = 0, y = 0, width = 0, height = 0, radius = 0;
  Rgba fill;  // alpha 0 for "the level colour"
  Rgba stroke;
  double lineWidth = 0;
  bool levelFill = false;
  bool operator==(const IconShape&) const = default;
};

inline constexpr double iconSize = 20;  // points; drawn twice as dense for high-density screens

// The frame and the three bars, in drawing order.
constexpr std::array<IconShape, 4> iconShapes() {
  constexpr auto flip = [](double bottom, double height) { return iconSize - bottom - height; };
  constexpr Rgba frameFill{0.98, 0.98, 0.98, 1}, frameStroke{0.12, 0.12, 0.12, 0.4};
  constexpr Rgba barStroke{0.1, 0.1, 0.1, 0.25};
  constexpr double barWidth = 3.5, barBase = 3.4;
  constexpr double barX[3] = {3.5, 8.0, 12.5}, barHeight[3] = {5.5, 9.2, 12.9};
  std::array<IconShape, 4> shapes{};
  shapes[0] = {1, flip(1, 18), 18, 18, 4, frameFill, frameStroke, 0.6, false};
  for (int i = 0; i < 3; ++i)
    shapes[i + 1] = {barX[i], flip(barBase, barHeight[i]), barWidth, barHeight[i], 1, Rgba{},
                     barStroke, 0.4, true};
  return shapes;
}

}  // namespace hollin
