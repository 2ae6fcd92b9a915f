// Runs a program and takes what it writes to its standard output, with a time limit and a cap
// on the output. Safe to call from any thread; never leaves a zombie behind.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace hollin::native {

struct ToolRun {
  std::string path;                     // absolute; no search through PATH
  std::vector<std::string> arguments;   // after argv[0], which is `path`
  std::chrono::milliseconds timeLimit{5000};  // from the start to the end of its output
  std::size_t outputCap = 1 << 20;      // more bytes than this is a failure
  std::chrono::milliseconds exitGrace{2000};  // from the end of its output to its exit
};

// The environment the program gets, and nothing else.
inline constexpr const char* toolEnvironment[] = {"PATH=/usr/bin:/bin:/usr/sbin:/sbin", "LANG=C",
                                                  "LC_ALL=C"};

// The program's whole standard output, when it exited with status 0 within the limits and
// wrote at most the cap. Its standard input and error are /dev/null and it inherits no other
// descriptor. It runs in a process group of its own: at a limit, or once it writes past the cap
// (no more than the cap is read), the whole group is killed (SIGKILL), so no child it left
// behind keeps the output open, and the program is reaped; absent then, as when it could not
// be started.
std::optional<std::string> runTool(const ToolRun& run);

}  // namespace hollin::native
