// A program that crashes on purpose, for the crash handler's tests: installs the handler with
// its file at the path given, then dies by the signal named.
//   hollin-test-crasher <file> segv|bus|ill|fpe|abrt
// Exits with status 2 when the handler could not be installed or the signal is unknown, 3 when
// the crash did not happen.
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "native/CrashHandler.h"

namespace {

// Each crash in a function of its own, so the stack holds a frame of ours above main. Where the
// sanitizer would report the fault itself instead of letting it happen, it is told not to look.
[[gnu::noinline]] void writeToProtectedPage() {
  // A page that may not be touched, rather than a null pointer an optimiser may reason about.
  void* mapped = ::mmap(nullptr, ::sysconf(_SC_PAGESIZE), PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped != MAP_FAILED) *static_cast<volatile char*>(mapped) = 1;
}

[[gnu::noinline]] void touchTruncatedMapping() {
  std::FILE* file = std::tmpfile();
  const long page = ::sysconf(_SC_PAGESIZE);
  if (!file || ::ftruncate(::fileno(file), page) != 0) return;
  auto* mapped = static_cast<volatile char*>(::mmap(nullptr, page, PROT_READ | PROT_WRITE, MAP_SHARED, ::fileno(file), 0));
  if (mapped == MAP_FAILED || ::ftruncate(::fileno(file), 0) != 0) return;
  mapped[0] = 1;  // the page lies beyond the file's end now
}

[[gnu::noinline]] void trap() { __builtin_trap(); }

[[gnu::noinline, gnu::no_sanitize("undefined")]] void divideByZero() {
  volatile int numerator = 1, zero = 0;  // both read at run time, the quotient stored: a real division
  [[maybe_unused]] volatile int quotient = numerator / zero;
}

[[gnu::noinline]] void abortNow() { std::abort(); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  // The crashes are wanted, their core files are not.
  const rlimit noCore{0, 0};
  ::setrlimit(RLIMIT_CORE, &noCore);
  if (!hollin::native::installCrashHandler({argv[1], "1.2", "34", "12 (bookworm)"})) return 2;
  const std::pair<std::string_view, void (*)()> crashes[] = {
      {"segv", writeToProtectedPage}, {"bus", touchTruncatedMapping}, {"ill", trap}, {"fpe", divideByZero}, {"abrt", abortNow}};
  for (const auto& [kind, crash] : crashes)
    if (kind == argv[2]) {
      crash();
      return 3;  // still here: the crash did not happen
    }
  return 2;
}
