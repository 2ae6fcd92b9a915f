#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>

#include "core/ui/StatusColour.h"

namespace hollin {

QColor qColor(Rgba colour);

// The 20 × 20 point level icon drawn on `pixels` × `pixels` (40 for high-density screens,
// 44 for the window's status header), so it is never blown up from a smaller bitmap.
QImage drawStatusIcon(StatusColour colour, int pixels);

// The icon of a level, drawn once per level for the life of the process, with a 1× and a 2×
// version so the tray host picks the sharp one. Main thread only.
const QIcon& statusIcon(StatusColour colour);

}  // namespace hollin
