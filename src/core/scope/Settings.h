#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace hollin {

// The user's stored preferences, read at each use so a change made elsewhere (the set-up
// command, the share switch) takes effect at the next tick. The application keeps them in
// QSettings; tests use MemorySettings.
class Settings {
 public:
  virtual ~Settings() = default;
  // The stored value, or nothing when the key is unset or holds something other than a boolean.
  virtual std::optional<bool> boolean(std::string_view key) const = 0;
  virtual void setBoolean(std::string_view key, bool value) = 0;
  // The stored text, or nothing when the key is unset or empty.
  virtual std::optional<std::string> text(std::string_view key) const = 0;
};

class MemorySettings final : public Settings {
 public:
  std::optional<bool> boolean(std::string_view key) const override;
  void setBoolean(std::string_view key, bool value) override;
  std::optional<std::string> text(std::string_view key) const override;
  void setText(std::string_view key, std::string value);

 private:
  std::map<std::string, bool, std::less<>> values_;
  std::map<std::string, std::string, std::less<>> texts_;
};

inline constexpr std::string_view shareResponseStatusKey = "shareResponseStatus";
// The folder node_exporter's textfile collector reads; unset: no metrics are exported.
inline constexpr std::string_view metricsTextfileFolderKey = "metricsTextfileFolder";

}  // namespace hollin
