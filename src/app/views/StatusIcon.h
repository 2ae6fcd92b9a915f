#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>

#include "core/ui/StatusColour.h"

namespace hollin {

QColor qColor(Rgba colour);

// The 20 × 20 level icon at `scale` times the density (2 for high-density screens).
QImage drawStatusIcon(StatusColour colour, int scale);

// The icon of a level, drawn once per level for the life of the process, with a 1× and a 2×
// version so the tray host picks the sharp one. Main thread only.
const QIcon& statusIcon(StatusColour colour);

}  // namespace hollin
