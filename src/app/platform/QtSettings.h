// The user's preferences in a QSettings file: $XDG_CONFIG_HOME/Hollin/Hollin.ini.
#pragma once

#include <QSettings>

#include "core/scope/Settings.h"

namespace hollin {

class QtSettings final : public Settings {
 public:
  QtSettings();                                  // the user's own file
  explicit QtSettings(const QString& filePath);  // a file of the caller's choice (tests)

  // Re-reads the file first, so a value written by the set-up command shows at the next use.
  std::optional<bool> boolean(std::string_view key) const override;
  void setBoolean(std::string_view key, bool value) override;  // written to disk at once
  std::optional<std::string> text(std::string_view key) const override;

 private:
  mutable QSettings settings_;
};

}  // namespace hollin
