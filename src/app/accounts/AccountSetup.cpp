#include "app/accounts/AccountSetup.h"

#include <QCoreApplication>

#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/platform/QtSettings.h"
#include "app/platform/SingleInstance.h"
#include "core/BuildProfile.h"
#include "core/scope/SessionSetup.h"
#include "native/ChildProcess.h"
#include "native/NativeMetrics.h"

namespace hollin {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* processFolder = "/proc";
constexpr std::string_view programName = "hollin";
constexpr std::string_view probeWorkerSwitch = "--probe-worker";
constexpr std::size_t commandLineLimit = 64 * 1024;  // bytes of /proc/<pid>/cmdline looked at
// A busy instance answers within this; a stopped or foreign one is given up on.
constexpr auto quitAnswerDeadline = 2s;
constexpr auto waitSlice = 50ms;

std::optional<std::int32_t> processNumber(const std::string& name) {
  std::int32_t pid = 0;
  const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
  if (error != std::errc() || end != name.data() + name.size() || pid <= 0) return std::nullopt;
  return pid;
}

bool isProbeWorker(const std::string& folder) {
  std::ifstream file(folder + "/cmdline", std::ios::binary);
  std::string arguments(commandLineLimit, '\0');
  file.read(arguments.data(), static_cast<std::streamsize>(arguments.size()));
  arguments.resize(static_cast<std::size_t>(file.gcount()));
  for (std::size_t at = 0; at < arguments.size();) {
    const std::size_t end = std::min(arguments.find('\0', at), arguments.size());
    if (std::string_view(arguments).substr(at, end - at) == probeWorkerSwitch) return true;
    at = end + 1;
  }
  return false;
}

// The copy's pid still names the process that was listed.
bool stillThere(const RunningCopy& copy) {
  std::uint32_t owner = 0;
  std::uint64_t start = 0;
  return hl_identity(copy.pid, &owner, &start) != 0 && start == copy.start;
}

int pidfdOpen(std::int32_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }

// Until the copy ends or the limit passes, in short slices that keep an event loop turning when
// there is one (the set-up button runs inside the application).
bool waitUntilEnded(const RunningCopy& copy, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  // Its pidfd turns readable when it exits, whether or not its parent has reaped it yet. A
  // kernel without pidfds leaves only the process table to look at.
  const native::Descriptor process(pidfdOpen(copy.pid));
  if (process.get() < 0 && errno == ESRCH) return true;
  for (;;) {
    if (!stillThere(copy)) return true;
    if (process.get() >= 0) {
      pollfd entry{process.get(), POLLIN, 0};
      if (::poll(&entry, 1, static_cast<int>(waitSlice.count())) > 0) return true;
    } else {
      std::this_thread::sleep_for(waitSlice);
    }
    if (QCoreApplication::instance() != nullptr) QCoreApplication::processEvents();
    if (std::chrono::steady_clock::now() >= deadline) return !stillThere(copy);
  }
}

bool askOverSocket(const RunningCopy& copy) {
  const auto socket = instanceSocketPath();
  return socket && SingleInstance::askToQuit(*socket, copy.pid, quitAnswerDeadline);
}

void writeStandardError(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

std::vector<RunningCopy> runningCopies(std::uint32_t uid, std::int32_t selfPid, const std::string& selfExecutable) {
  std::vector<RunningCopy> copies;
  std::error_code error;
  for (fs::directory_iterator entry(processFolder, error), end; !error && entry != end; entry.increment(error)) {
    const auto pid = processNumber(entry->path().filename().string());
    if (!pid || *pid == selfPid) continue;
    // Another account's process, a kernel thread or one that ended: no link to read. Neither is
    // a copy of ours.
    std::error_code unreadable;
    std::string program = fs::read_symlink(entry->path() / "exe", unreadable).string();
    if (unreadable) continue;
    const bool replaced = program.ends_with(deletedMark);  // an older copy whose file was updated
    if (replaced) program.resize(program.size() - deletedMark.size());
    std::uint32_t owner = 0;
    std::uint64_t start = 0;
    if (fs::path(program).filename() != programName || hl_identity(*pid, &owner, &start) == 0 || owner != uid ||
        isProbeWorker(entry->path().string()))
      continue;
    copies.push_back({*pid, start, !replaced && program == selfExecutable});
  }
  return copies;
}

SetupEnvironment SetupEnvironment::live(std::vector<std::string> arguments, LoginItem& loginItem, Settings& settings) {
  const std::uint32_t uid = ::getuid();
  return {
      .arguments = std::move(arguments),
      .realUID = uid,
      .effectiveUID = ::geteuid(),
      .session = hl_graphical_session(),
      .scope = AccountScope::process(),
      .bundleIdentifier = std::string(buildProfile.bundleIdentifier),
      .loginItem = loginItem,
      .settings = settings,
      .runningCopies = [uid] { return hollin::runningCopies(uid, ::getpid(), runningExecutable()); },
      .askToQuit = askOverSocket,
      .waitForEnd = waitUntilEnded,
      .error = writeStandardError,
  };
}

SetupOutcome configureCurrentAccount(bool fromCommandLine, SetupEnvironment& environment) {
  SetupEnvironment& e = environment;
  if (fromCommandLine && (e.arguments.size() != 2 || e.arguments[1] != accountSetupSwitch)) return SetupOutcome::failed;

  const auto sessionUID = e.session.found != 0 ? std::optional(e.session.uid) : std::nullopt;
  if (!SessionSetupAuthorization::allows(e.realUID, e.effectiveUID, sessionUID, e.session.login_done != 0) ||
      !e.scope.allowedUIDs(e.realUID).contains(e.realUID) || e.bundleIdentifier != AppIdentifier) {
    e.error("Hollin: account/session validation failed\n");
    return SetupOutcome::failed;
  }

  // Made anew even when enabled, so an entry of a copy that has moved since names this one.
  std::optional<int> failure;
  if (e.loginItem.enabled()) failure = e.loginItem.unregisterItem();
  if (!failure) failure = e.loginItem.registerItem();
  if (failure) {
    e.error("Hollin: login registration failed (" + std::to_string(*failure) + ")\n");
    return SetupOutcome::failed;
  }
  if (!e.loginItem.enabled()) {
    e.error("Hollin: login registration requires OS approval\n");
    return SetupOutcome::failed;
  }

  // Only once the login item is in place: a failed set-up changes no sharing.
  e.settings.setBoolean(shareResponseStatusKey, e.scope.supportsSharing());

  bool sameCopy = false;
  for (const RunningCopy& copy : e.runningCopies()) {
    if (copy.sameCopy) {
      sameCopy = true;
      continue;
    }
    if (!e.askToQuit(copy)) e.error("Hollin: previous monitor could not close\n");
    if (!e.waitForEnd(copy, olderCopyDeadline)) {
      e.error("Hollin: previous monitor is still running\n");
      return SetupOutcome::failed;
    }
  }
  return sameCopy ? SetupOutcome::sameCopyRunning : SetupOutcome::goOn;
}

std::optional<int> runAccountSetupCommand(const std::vector<std::string>& arguments) {
  LoginItem loginItem;
  QtSettings settings;
  SetupEnvironment environment = SetupEnvironment::live(arguments, loginItem, settings);
  switch (configureCurrentAccount(true, environment)) {
    case SetupOutcome::goOn: return std::nullopt;
    case SetupOutcome::sameCopyRunning: return 0;
    case SetupOutcome::failed: return 2;
  }
  return 2;
}

}  // namespace hollin
