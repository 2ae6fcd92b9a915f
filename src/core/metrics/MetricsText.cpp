#include "core/metrics/MetricsText.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "core/TextCut.h"

namespace hollin {
namespace {

// Label values escape the backslash, the double quote and the line feed; HELP texts only the
// backslash and the line feed.
void appendEscaped(std::string& out, std::string_view text, bool quoted) {
  for (char c : text) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '"' && quoted) out += "\\\"";
    else out += c;
  }
}

// Whole numbers as integers (byte counts read better without an exponent); the rest in the
// shortest form that reads back as the same double.
void appendValue(std::string& out, double value) {
  char buffer[32];
  constexpr double exactIntegers = 9007199254740992.0;  // 2^53
  std::to_chars_result result{};
  if (std::isnan(value)) {
    out += "NaN";
    return;
  }
  if (std::isinf(value)) {
    out += value > 0 ? "+Inf" : "-Inf";
    return;
  }
  if (value == std::trunc(value) && std::abs(value) < exactIntegers)
    result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<std::int64_t>(value));
  else
    result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

}  // namespace

MetricsText::MetricsText(std::vector<MetricLabel> common) : common_(std::move(common)) { text_.reserve(8192); }

void MetricsText::header(std::string_view name, std::string_view help) {
  text_ += "# HELP ";
  text_ += name;
  text_ += ' ';
  appendEscaped(text_, help, false);
  text_ += "\n# TYPE ";
  text_ += name;
  text_ += " gauge\n";
}

void MetricsText::sample(std::string_view name, const MetricLabel* extra, double value) {
  text_ += name;
  bool first = true;
  const auto label = [&](const MetricLabel& pair) {
    text_ += first ? '{' : ',';
    first = false;
    text_ += pair.first;
    text_ += "=\"";
    appendEscaped(text_, pair.second, true);
    text_ += '"';
  };
  for (const MetricLabel& pair : common_) label(pair);
  if (extra) label(*extra);
  if (!first) text_ += '}';
  text_ += ' ';
  appendValue(text_, value);
  text_ += '\n';
}

void MetricsText::gauge(std::string_view name, std::string_view help, std::optional<double> value) {
  if (!value) return;
  header(name, help);
  sample(name, nullptr, *value);
}

void MetricsText::gauges(std::string_view name, std::string_view help, std::string_view label,
                         const std::vector<std::pair<std::string, double>>& samples) {
  if (samples.empty()) return;
  header(name, help);
  MetricLabel extra{std::string(label), {}};
  for (const auto& [value, number] : samples) {
    extra.second = wellFormedUTF8(value);  // a process name may be any bytes
    sample(name, &extra, number);
  }
}

}  // namespace hollin
