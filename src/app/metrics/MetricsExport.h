// The metrics file this account's Hollin keeps in node_exporter's textfile folder, when the
// setting names one: replaced whole at each write (the collector must never read half a file),
// readable by the collector's account, and removed again when the export is switched off or
// Hollin ends, so no frozen figures stay behind as if they were current.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/platform/WriteOutcomeLog.h"
#include "core/scope/Settings.h"

namespace hollin {

class MetricsExport {
 public:
  using Log = std::function<void(const std::string&)>;

  MetricsExport(const Settings& settings, std::uint32_t uid, Log log);

  // The folder the setting names now, or nothing when the export is off (a file written before
  // is then removed). A setting that is not an absolute path is refused, and said so once.
  std::optional<std::string> folder();
  void write(const std::string& folder, std::string_view text);
  // Removes the file last written, if any.
  void withdraw();

 private:
  const Settings& settings_;
  std::string fileName_;
  Log log_;
  std::string refused_;  // the setting last refused, so it is logged once
  std::string path_;     // the file written to
  bool written_ = false;  // it holds a write of ours
  std::optional<WriteOutcomeLog> outcome_;
};

}  // namespace hollin
