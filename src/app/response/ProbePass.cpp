#include "app/response/ProbePass.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <filesystem>

#include "native/ChildProcess.h"

#ifndef P_PIDFD
#define P_PIDFD 3
#endif

extern char** environ;

namespace hollin {
namespace {

using Clock = std::chrono::steady_clock;
using native::Descriptor;

int pidfdOpen(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }
int pidfdKill(int pidfd) { return static_cast<int>(::syscall(SYS_pidfd_send_signal, pidfd, SIGKILL, nullptr, 0)); }

// Milliseconds left for poll(); 0 once the deadline has passed.
int left(Clock::time_point deadline) {
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(ms, 0, 1 << 30));
}

// Waits until `fd` is ready for `events` or the deadline passes; false at the deadline.
bool await(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    pollfd watched{fd, events, 0};
    const int ready = ::poll(&watched, 1, left(deadline));
    if (ready > 0) return true;
    if (ready == 0) return false;
    if (errno != EINTR) return true;  // let the read or write report it
  }
}

// Writes all of `bytes` to the non-blocking `fd` before the deadline. A worker that has gone
// ends the writing quietly: the pipe's SIGPIPE is held back on this thread and taken away.
void writeAll(int fd, std::string_view bytes, Clock::time_point deadline) {
  sigset_t pipeSignal, previous;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
  while (!bytes.empty() && await(fd, POLLOUT, deadline)) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (written < 0) break;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  const timespec none{0, 0};
  while (sigtimedwait(&pipeSignal, nullptr, &none) == SIGPIPE) {
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

// Reads up to one byte past `limit`; whether end of file came first.
bool readUpTo(int fd, std::string& output, std::size_t limit, Clock::time_point deadline) {
  std::array<char, 4096> chunk;
  while (await(fd, POLLIN, deadline)) {
    const std::size_t room = std::min(chunk.size(), limit + 1 - output.size());
    const ssize_t got = ::read(fd, chunk.data(), room);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got <= 0) return got == 0;
    output.append(chunk.data(), static_cast<std::size_t>(got));
    if (output.size() > limit) return false;
  }
  return false;
}

}  // namespace

ProbeCommand liveProbeCommand() {
  std::error_code error;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  return {error ? std::string() : self.string(), {"--probe-worker"}};
}

void runProbePass(const ProbeCommand& command, const std::vector<ProbeRequest>& requests,
                  const ProbePassEvents& events, std::chrono::milliseconds timeLimit) {
  const auto fail = [&] { events.finished({}, false); };
  int input[2], output[2];
  if (command.path.empty() || ::pipe2(input, O_CLOEXEC) != 0) return fail();
  Descriptor inputRead(input[0]), inputWrite(input[1]);
  if (::pipe2(output, O_CLOEXEC) != 0) return fail();
  Descriptor outputRead(output[0]), outputWrite(output[1]);

  native::SpawnSetup setup;
  if (!setup.ready) return fail();
  posix_spawn_file_actions_adddup2(&setup.actions, inputRead.get(), 0);
  posix_spawn_file_actions_adddup2(&setup.actions, outputWrite.get(), 1);
  posix_spawn_file_actions_addopen(&setup.actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);
  setup.defaultSignals();
  std::vector<char*> argv = native::spawnArguments(command.path, command.arguments);
  pid_t pid = 0;
  if (posix_spawn(&pid, command.path.c_str(), &setup.actions, &setup.attributes, argv.data(), environ) != 0)
    return fail();
  inputRead.reset();
  outputWrite.reset();

  // The child is not reaped before the end of this function, so its pid cannot name another
  // process yet; from here on it is reached only through its pidfd.
  Descriptor pidfd(pidfdOpen(pid));
  if (pidfd.get() < 0) {
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    return fail();
  }

  // The time limit holds from here, so a worker that never reads cannot hold the writing up.
  const auto deadline = Clock::now() + timeLimit;
  ::fcntl(inputWrite.get(), F_SETFL, O_NONBLOCK);
  writeAll(inputWrite.get(), encodeProbeRequests(requests), deadline);
  inputWrite.reset();

  std::string text;
  const bool whole = readUpTo(outputRead.get(), text, probeOutputLimit, deadline);
  // Past the limit nothing more is read: closing the pipe ends a worker still writing.
  outputRead.reset();
  if (!await(pidfd.get(), POLLIN, deadline)) {
    pidfdKill(pidfd.get());
    if (events.timedOut) events.timedOut();
  }
  siginfo_t info{};
  while (::waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(pidfd.get()), &info, WEXITED) < 0 && errno == EINTR) {
  }
  const bool exitedCleanly = info.si_code == CLD_EXITED && info.si_status == 0;
  auto results = whole ? decodeProbeResults(text) : std::nullopt;
  if (!exitedCleanly || !results || results->size() != requests.size()) return fail();
  events.finished(std::move(*results), true);
}

}  // namespace hollin
