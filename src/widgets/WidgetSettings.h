// The widgets the user has put on the desktop, kept in an INI file
// ($XDG_CONFIG_HOME/Hollin/Widgets.ini, else ~/.config/Hollin/Widgets.ini): each widget's kind,
// family and position, in the order they were added.
#pragma once

#include <QPoint>
#include <QString>

#include <optional>
#include <string>
#include <vector>

#include "core/BaseDirectories.h"
#include "core/widgets/UsageWidgetFace.h"

namespace hollin {

struct ConfiguredWidget {
  std::string kind;  // "HollinCombined", …
  WidgetFamily family = WidgetFamily::small;
  std::optional<QPoint> position;  // absent: the program places it
  bool operator==(const ConfiguredWidget&) const = default;
};

// What a first start (or a start after the last widget was removed) shows.
std::vector<ConfiguredWidget> defaultWidgets();

// The file; empty when neither XDG_CONFIG_HOME nor HOME gives an absolute folder. `lookup`
// reads one environment variable (nullptr when unset).
QString widgetSettingsFile(const EnvironmentLookup& lookup);

// The widgets of `file`, skipping any whose kind is unknown or whose family that kind does not
// come in; a position that is not two whole numbers is left for the program to choose. No
// file, an unreadable one or no valid widget: an empty list.
std::vector<ConfiguredWidget> loadWidgets(const QString& file);
// Replaces the file's list; false when it could not be written.
bool saveWidgets(const QString& file, const std::vector<ConfiguredWidget>& widgets);

}  // namespace hollin
