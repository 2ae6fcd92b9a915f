#include "app/platform/QtSettings.h"

namespace hollin {
namespace {

QString keyText(std::string_view key) { return QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())); }

}  // namespace

QtSettings::QtSettings() : settings_(QSettings::IniFormat, QSettings::UserScope, "Hollin", "Hollin") {}

QtSettings::QtSettings(const QString& filePath) : settings_(filePath, QSettings::IniFormat) {}

std::optional<bool> QtSettings::boolean(std::string_view key) const {
  settings_.sync();
  QVariant value = settings_.value(keyText(key));
  // The file stores text: only the two words a boolean is written as count.
  if (value.typeId() == QMetaType::Bool) return value.toBool();
  if (value.typeId() != QMetaType::QString) return std::nullopt;
  QString text = value.toString();
  if (text == QLatin1String("true")) return true;
  if (text == QLatin1String("false")) return false;
  return std::nullopt;
}

void QtSettings::setBoolean(std::string_view key, bool value) {
  settings_.setValue(keyText(key), value);
  settings_.sync();
}

std::optional<std::string> QtSettings::text(std::string_view key) const {
  settings_.sync();
  const QVariant value = settings_.value(keyText(key));
  if (value.typeId() != QMetaType::QString || value.toString().isEmpty()) return std::nullopt;
  return value.toString().toStdString();
}

}  // namespace hollin
