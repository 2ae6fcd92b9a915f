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
  std::chrono::milliseconds timeLimit{5000};  // from the start to the exit
  std::size_t outputCap = 1 << 20;      // more bytes than this is a failure
};

// The environment the program gets, and nothing else.
inline constexpr const char* toolEnvironment[] = {"PATH=/usr/bin:/bin:/usr/sbin:/sbin", "LANG=C",
                                                  "LC_ALL=C"};

// The program's whole standard output, when it exited with status 0 within the time limit and
// wrote at most the cap. Its standard input and error are /dev/null and it inherits no other
// descriptor. A program still running at the limit, or writing past the cap, is killed
// (SIGKILL) and reaped; absent then, as when it could not be started.
std::optional<std::string> runTool(const ToolRun& run);

}  // namespace hollin::native
