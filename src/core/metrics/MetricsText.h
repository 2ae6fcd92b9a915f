// Hollin's findings in the Prometheus text exposition format, as node_exporter's textfile
// collector reads it: each family once, with its HELP and TYPE lines before its samples. Every
// sample carries the labels given at construction (the account that wrote the file), so the
// files of several accounts on one machine never clash.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace hollin {

// A label name and its value.
using MetricLabel = std::pair<std::string, std::string>;

class MetricsText {
 public:
  explicit MetricsText(std::vector<MetricLabel> common = {});

  // A family of one gauge; nothing at all when the value is unknown, so no figure is guessed.
  void gauge(std::string_view name, std::string_view help, std::optional<double> value);
  // A family of gauges told apart by one label; nothing when `samples` is empty.
  void gauges(std::string_view name, std::string_view help, std::string_view label,
              const std::vector<std::pair<std::string, double>>& samples);

  const std::string& text() const { return text_; }

 private:
  void header(std::string_view name, std::string_view help);
  void sample(std::string_view name, const MetricLabel* extra, double value);

  std::vector<MetricLabel> common_;
  std::string text_;
};

// 0 or 1, as flags are exported.
inline double flag(bool value) { return value ? 1 : 0; }

}  // namespace hollin
