// A last word from a crashing Hollin where no core-dump service keeps one: a handler for
// SIGSEGV, SIGBUS, SIGILL, SIGFPE and SIGABRT that writes a few lines into a file and lets the
// process die by the same signal. Everything is prepared when it is installed; the handler
// itself makes only async-signal-safe calls.
//
// The file, one "<key> <value>" line each, in this order:
//   hollin-crash 1
//   version <the program's version>
//   build <its build>
//   os <the system's version>
//   build-id <the executable's GNU build-id, lower-case hex; empty when it has none>
//   signal <number>
//   time <microseconds since 1970>
//   stack <1 when a call stack was read, else 0>
//   frame <lower-case hex offset>     (0 to 8 lines)
//   end
// A frame is a return address inside the program's own executable less the executable's load
// base: the number addr2line takes. Addresses in libraries are left out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace hollin::native {

inline constexpr const char* crashFileMagic = "hollin-crash 1";
inline constexpr int crashFileMaxFrames = 8;

// The running program's own executable as loaded.
struct ExecutableImage {
  std::uintptr_t base = 0;                    // its load base, what offsets count from
  std::uintptr_t codeStart = 0, codeEnd = 0;  // its executable segments, [start, end)
  std::string buildID;                        // lower-case hex; empty when it has none
};

// The main program's entry of the loaded objects; absent when it has no executable segment.
std::optional<ExecutableImage> ownExecutableImage();

struct CrashHandlerSetup {
  std::string pendingPath;  // the file written on a crash
  // The header values; each a single line.
  std::string version, build, osVersion;
};

// Installs the handler once per process, on an alternate stack for the calling thread (a stack
// overflow there still reaches it). False when it could not be: already installed, a value
// holding a line break, no executable image, or the system refused.
bool installCrashHandler(const CrashHandlerSetup& setup);

}  // namespace hollin::native
