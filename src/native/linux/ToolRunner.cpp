// The program runner: posix_spawn with a clean environment and descriptor table, a pipe read
// under poll() until end of file within a deadline, then a short grace for the program's exit.
#include "native/ToolRunner.h"

#include "native/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace hollin::native {
namespace {

using Clock = std::chrono::steady_clock;

// Waits for the child to exit until the deadline; kills its group then. Always reaps it. The
// exit status, or absent when the child was killed or did not exit normally.
std::optional<int> reap(pid_t pid, Clock::time_point deadline) {
  int status = 0;
  auto pause = std::chrono::milliseconds(1);
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) return std::nullopt;  // reaped elsewhere (SIGCHLD ignored)
    if (done == 0 && Clock::now() >= deadline) {
      ::kill(-pid, SIGKILL);
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      return std::nullopt;
    }
    if (done == 0) {
      const timespec wait{0, static_cast<long>(std::chrono::nanoseconds(pause).count())};
      ::nanosleep(&wait, nullptr);
      pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
  }
  if (!WIFEXITED(status)) return std::nullopt;
  return WEXITSTATUS(status);
}

}  // namespace

std::optional<std::string> runTool(const ToolRun& run) {
  if (run.path.empty() || run.path.front() != '/') return std::nullopt;
  const auto deadline = Clock::now() + run.timeLimit;

  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return std::nullopt;
  Descriptor readEnd(ends[0]), writeEnd(ends[1]);

  SpawnSetup setup;
  if (!setup.ready) return std::nullopt;
  // The write end first: it may itself be descriptor 0 or 2 when those were closed here.
  // dup2 onto 1 leaves the copy open across exec; everything from 3 up is closed.
  posix_spawn_file_actions_adddup2(&setup.actions, writeEnd.get(), 1);
  posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&setup.actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);
  // A group of its own, so a time-out ends whatever it started too.
  posix_spawnattr_setpgroup(&setup.attributes, 0);
  setup.defaultSignals(POSIX_SPAWN_SETPGROUP);

  std::vector<char*> argv = spawnArguments(run.path, run.arguments);
  std::vector<char*> envp;
  for (const char* variable : toolEnvironment) envp.push_back(const_cast<char*>(variable));
  envp.push_back(nullptr);

  pid_t pid = 0;
  if (posix_spawn(&pid, run.path.c_str(), &setup.actions, &setup.attributes, argv.data(), envp.data()) != 0)
    return std::nullopt;
  writeEnd.reset();  // only the child writes; its exit ends the output

  std::string output;
  bool whole = false;  // end of file reached within the limits
  char chunk[4096];
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    pollfd watched{readEnd.get(), POLLIN, 0};
    const int ready = ::poll(&watched, 1, static_cast<int>(std::min<long long>(left.count(), 1 << 30)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    // One byte past the cap is enough to know the output is too long.
    const std::size_t room = std::min(sizeof chunk, run.outputCap - output.size() + 1);
    const ssize_t got = ::read(readEnd.get(), chunk, room);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got < 0) break;
    if (got == 0) {
      whole = true;
      break;
    }
    if (output.size() + static_cast<std::size_t>(got) > run.outputCap) break;
    output.append(chunk, static_cast<std::size_t>(got));
  }
  readEnd.reset();
  // Past the cap or the time limit: nothing more is wanted from the program, nor from any child
  // of it that still holds the pipe open after it exited.
  if (!whole) ::kill(-pid, SIGKILL);
  const auto status = reap(pid, whole ? Clock::now() + run.exitGrace : Clock::now());
  if (!whole || status != 0) return std::nullopt;
  return output;
}

}  // namespace hollin::native
