#include "widgets/WidgetSettings.h"

#include <QSettings>

#include <algorithm>

namespace hollin {
namespace {

constexpr const char* listName = "widgets";

std::optional<int> wholeNumber(const QVariant& value) {
  bool ok = false;
  const int number = value.toString().toInt(&ok);
  return ok ? std::optional(number) : std::nullopt;
}

bool offered(const std::string& kind, WidgetFamily family) {
  const WidgetKind* known = widgetKind(kind);
  return known != nullptr && std::find(known->families.begin(), known->families.end(), family) != known->families.end();
}

}  // namespace

std::vector<ConfiguredWidget> defaultWidgets() { return {{"HollinCombined", WidgetFamily::medium, std::nullopt}}; }

QString widgetSettingsFile(const EnvironmentLookup& lookup) {
  const auto config = configHome(lookup);
  return config ? QString::fromStdString((*config / "Hollin" / "Widgets.ini").string()) : QString();
}

std::vector<ConfiguredWidget> loadWidgets(const QString& file) {
  std::vector<ConfiguredWidget> widgets;
  if (file.isEmpty()) return widgets;
  QSettings settings(file, QSettings::IniFormat);
  const int count = settings.beginReadArray(listName);
  for (int i = 0; i < count; ++i) {
    settings.setArrayIndex(i);
    ConfiguredWidget widget;
    widget.kind = settings.value("kind").toString().toStdString();
    const auto family = widgetFamilyFromRawValue(settings.value("family").toString().toStdString());
    if (!family || !offered(widget.kind, *family)) continue;
    widget.family = *family;
    const auto x = wholeNumber(settings.value("x")), y = wholeNumber(settings.value("y"));
    if (x && y) widget.position = QPoint(*x, *y);
    widgets.push_back(std::move(widget));
  }
  settings.endArray();
  return widgets;
}

bool saveWidgets(const QString& file, const std::vector<ConfiguredWidget>& widgets) {
  if (file.isEmpty()) return false;
  QSettings settings(file, QSettings::IniFormat);
  settings.remove(listName);
  settings.beginWriteArray(listName, static_cast<int>(widgets.size()));
  for (std::size_t i = 0; i < widgets.size(); ++i) {
    settings.setArrayIndex(static_cast<int>(i));
    settings.setValue("kind", QString::fromStdString(widgets[i].kind));
    settings.setValue("family", QString::fromUtf8(rawValue(widgets[i].family)));
    if (widgets[i].position) {
      settings.setValue("x", widgets[i].position->x());
      settings.setValue("y", widgets[i].position->y());
    }
  }
  settings.endArray();
  settings.sync();
  return settings.status() == QSettings::NoError;
}

}  // namespace hollin
