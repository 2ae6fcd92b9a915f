// One history file of the data folder as its one owner keeps it: read once at the start, then
// written whole after changes. A file that is there but cannot be trusted or understood is left
// exactly as it is for the whole run: nothing is written over it, so a history of a newer
// format, or one a person wants to look at, is never lost.
#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "app/platform/WriteOutcomeLog.h"
#include "core/Json.h"

namespace hollin {

class HistoryFile {
 public:
  static constexpr std::size_t maxFileSize = 1'048'576;

  // Without a path nothing is read or kept, and persistence counts as failed. Failed saves, and
  // the first save that works after them, go to `log`.
  HistoryFile(std::optional<std::string> path, WriteOutcomeLog::Log log);

  // The archive `decode(json)` gives, when it is valid. Nothing when there is no file (the
  // history starts empty and may be written), or when the file is untrusted, over maxFileSize,
  // no JSON, not decoded or not valid (then it is never written this run).
  template <class Decode>
  auto load(Decode decode) -> decltype(decode(Json{})) {
    const auto bytes = read();
    if (!bytes) return std::nullopt;
    const Json json = Json::parse(*bytes, nullptr, false);
    auto decoded = json.is_discarded() ? decltype(decode(json)){} : decode(json);
    if (!decoded || !decoded->valid()) {
      refuse();
      return std::nullopt;
    }
    return decoded;
  }

  // Writes `content` whole when the file may be written: the folder made 0700 if need be, the
  // file 0600 from its first byte. A content that `valid` is false for, or one larger than
  // maxFileSize, is not written: the next load would refuse it and keep the history frozen.
  // Returns whether it was written.
  bool save(const Json& content, bool valid);

  // The last load or save worked.
  bool persistenceOK() const { return persistenceOK_; }
  bool writable() const { return writable_; }

 private:
  std::optional<std::string> read();
  void refuse() {
    persistenceOK_ = false;
    writable_ = false;
  }

  std::optional<std::string> path_;
  WriteOutcomeLog saves_;
  bool persistenceOK_ = true;
  bool writable_ = true;
};

}  // namespace hollin
