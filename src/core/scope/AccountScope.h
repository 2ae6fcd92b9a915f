#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string_view>

#include "core/LocalizedMessage.h"
#include "core/OrdinaryAccounts.h"
#include "core/scope/Settings.h"

namespace hollin {

// Which accounts an instance may share with: a profile built into the program, not a user
// setting. `current` keeps everything to the running account; `m2Recording` is the sharing
// profile for one machine with three fixed accounts (`sharingUIDs`, 501, 502 and 503 unless
// the build names others).
class AccountScope {
 public:
  enum Case { current, m2Recording };

  constexpr AccountScope(Case value = current) : value_(value) {}

  // `m2Recording` for exactly "m2-recording"; anything else, or nothing, is `current`.
  static AccountScope fromProfile(std::optional<std::string_view> profile);
  // The case whose raw value is `raw`, else nothing.
  static std::optional<AccountScope> fromRawValue(std::string_view raw);
  // The process-wide scope: the build profile's "HLAccountProfile", unless the program's entry
  // point chose another before anything read it (a test program built as the sharing profile).
  static AccountScope process();
  static void setProcess(AccountScope scope);

  Case value() const { return value_; }
  std::string_view rawValue() const;
  bool supportsSharing() const { return value_ == m2Recording; }
  std::set<std::uint32_t> allowedUIDs(std::uint32_t currentUID) const;
  // The account's display name. `accounts` is the ordinary-account range that tells a person's
  // account from a system one.
  LocalizedMessage label(std::uint32_t uid, std::uint32_t currentUID,
                         AccountRange accounts = ordinaryAccounts()) const;

  bool operator==(const AccountScope&) const = default;

 private:
  Case value_;
};

// Whether this instance shares with other accounts: only under a sharing scope, and only while
// the user's "shareResponseStatus" preference is true.
bool sharingEnabled(AccountScope scope, const Settings& settings);

}  // namespace hollin
