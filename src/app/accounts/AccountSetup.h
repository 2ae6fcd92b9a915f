// The account set-up: prepares the account that runs it for unattended monitoring. It checks that
// it runs in a fully logged-in desktop session of a permitted account, registers the login item,
// sets the sharing default the account scope calls for, and replaces an older running copy of
// Hollin in the same account. It runs as the command "--configure-current-account" (once per
// account) or from the running application's set-up button.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/accounts/LoginItem.h"
#include "core/scope/AccountScope.h"
#include "core/scope/Settings.h"
#include "native/GraphicalSession.h"

namespace hollin {

inline constexpr std::string_view accountSetupSwitch = "--configure-current-account";

enum class SetupOutcome {
  goOn,             // done: the caller goes on as the application
  sameCopyRunning,  // done, and this very program already runs in the account: that one stays
  failed,           // a check or step failed (reported, except wrong arguments)
};

// Another Hollin of the account.
struct RunningCopy {
  std::int32_t pid = 0;
  std::uint64_t start = 0;  // microseconds since 1970, which tells the process from a later one with its pid
  bool sameCopy = false;    // runs the same program file as this process
  bool operator==(const RunningCopy&) const = default;
};

// The processes of account `uid` whose program file is named "hollin", other than `selfPid` and
// the probe workers. A copy is the same as this one when its program path is `selfExecutable`;
// one whose file was deleted or replaced meanwhile never is.
std::vector<RunningCopy> runningCopies(std::uint32_t uid, std::int32_t selfPid, const std::string& selfExecutable);

// Everything the set-up reads and does outside itself.
struct SetupEnvironment {
  std::vector<std::string> arguments;  // the program's, its path first
  std::uint32_t realUID = 0;
  std::uint32_t effectiveUID = 0;
  HLGraphicalSession session{};
  AccountScope scope;
  std::string bundleIdentifier;  // the running build's, which must be AppIdentifier
  LoginItem& loginItem;
  Settings& settings;
  std::function<std::vector<RunningCopy>()> runningCopies;
  // Asks the copy to quit; false when it refused or did not answer.
  std::function<bool(const RunningCopy&)> askToQuit;
  // Whether the copy ended within the limit.
  std::function<bool(const RunningCopy&, std::chrono::milliseconds)> waitForEnd;
  std::function<void(std::string_view)> error;  // standard error

  // This process: its ids, session, scope and build, the copies in /proc, the quit request over
  // the single-instance socket.
  static SetupEnvironment live(std::vector<std::string> arguments, LoginItem& loginItem, Settings& settings);
};

// How long an older copy gets to end once asked.
inline constexpr std::chrono::milliseconds olderCopyDeadline{3000};

// The set-up, in order; the first failing step ends it. `fromCommandLine`: the arguments must be
// exactly the set-up switch.
SetupOutcome configureCurrentAccount(bool fromCommandLine, SetupEnvironment& environment);

// The command-line mode, run before the application exists: the exit status, or nothing when
// the program goes on to start as the application.
std::optional<int> runAccountSetupCommand(const std::vector<std::string>& arguments);

}  // namespace hollin
