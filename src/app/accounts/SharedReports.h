// The shared folder where every sharing account leaves a report about itself, and the file
// protocol around it: each account writes only "<uid>.json" of its own uid, through a uniquely
// named temporary file and a rename, so a reader sees either the previous or the new whole file;
// a reader trusts a file only in the state a writer of this program leaves it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/LocalizedMessage.h"
#include "core/memory/HeldReport.h"
#include "core/scope/AccountScope.h"

namespace hollin {

inline constexpr std::string_view sharedFolder = "/var/tmp/Hollin";

// Why a publish failed: the folder (the scope, the uid or the folder itself) or a POSIX call.
struct ShareError {
  enum class Kind { folder, posix } kind;
  int code = 0;  // errno for posix; 1 for folder (domain "Hollin", code 1)
  LocalizedMessage description() const;
  bool operator==(const ShareError&) const = default;
};

// Stateless apart from what it was made with: `uid` is the caller's own (getuid()), `folder` the
// shared folder's path.
class SharedReports {
 public:
  SharedReports(AccountScope scope, std::uint32_t uid, std::string folder = std::string(sharedFolder));

  // Writes this account's report, creating the folder when it is missing. Nothing on success;
  // on failure the previous report stays as it was and no temporary file of this call remains.
  // Temporary files an earlier, killed publish of this account left are removed first.
  std::optional<ShareError> publish(const PeerReport& report) const;
  // Another account's report, when its file and its content can be trusted at `now` (machine
  // uptime); nothing otherwise, whatever the reason.
  std::optional<PeerReport> read(std::uint32_t uid, double now) const;
  // Deletes this account's report, when the scope shares; errors are ignored.
  void withdraw() const;

 private:
  // The folder, opened and checked (a directory, not a symbolic link, all of 01777 set, owned by
  // root or a permitted account): an open descriptor the caller closes, or -1. `create` makes a
  // missing folder; an existing one is never repaired.
  int parent(bool create) const;

  AccountScope scope_;
  std::uint32_t uid_;
  std::string folder_;
};

}  // namespace hollin
