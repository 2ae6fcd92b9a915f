// The shared-report tests run this program as each of their accounts:
//   publish <folder> <uptime> <processes> [<bytes> fail|kill]
//       publishes a valid report of getuid() with that many processes; exit 0, or the error's
//       text and exit 1. With <bytes>, files may grow to that size only: "fail" lets the
//       publish's write fail, "kill" turns the write past it into SIGKILL, mid-write.
//   read <folder> <uid> <now>    "<uid> <processes> complete|incomplete", or "none"
//   open <path>                  "opened", or the text of open(2)'s errno
//   withdraw <folder>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "app/accounts/SharedReports.h"
#include "core/L10n.h"

namespace {

using namespace hollin;

double number(const char* text) {
  double value = 0;
  std::from_chars(text, text + std::strlen(text), value);
  return value;
}

PeerReport report(double uptime, std::size_t processes) {
  std::vector<ReportedMemory> memory;
  for (std::size_t i = 0; i < processes; ++i)
    memory.push_back({{static_cast<std::int32_t>(i + 1), 1}, "process " + std::to_string(i + 1), 1 << 20, 1 << 20});
  return PeerReport::make(::getuid(), uptime, true, true, {}, std::move(memory), uptime, true,
                          MonitorStatus{"1.0", false, true, {}});
}

void killOnFileSizeLimit(int) { ::kill(::getpid(), SIGKILL); }

}  // namespace

int main(int argc, char** argv) {
  const std::string_view command = argc > 2 ? argv[1] : "";
  const SharedReports shared(AccountScope::m2Recording, ::getuid(), argc > 2 ? argv[2] : "");
  if (command == "publish" && argc >= 5) {
    if (argc == 7) {
      const auto limit = static_cast<rlim_t>(number(argv[5]));
      const rlimit fileSize{limit, limit};
      ::setrlimit(RLIMIT_FSIZE, &fileSize);
      ::signal(SIGXFSZ, std::string_view(argv[6]) == "kill" ? killOnFileSizeLimit : SIG_IGN);
    }
    const auto error = shared.publish(report(number(argv[3]), static_cast<std::size_t>(number(argv[4]))));
    if (!error) return 0;
    std::printf("%s\n", L10n::render(error->description(), "en").c_str());
    return 1;
  }
  if (command == "read" && argc == 5) {
    const auto got = shared.read(static_cast<std::uint32_t>(number(argv[3])), number(argv[4]));
    if (got)
      std::printf("%u %zu %s\n", got->uid, got->memory.size(), got->memoryComplete ? "complete" : "incomplete");
    else
      std::printf("none\n");
    return 0;
  }
  if (command == "open" && argc == 3) {
    const int fd = ::open(argv[2], O_RDONLY | O_CLOEXEC);
    std::printf("%s\n", fd >= 0 ? "opened" : std::strerror(errno));
    return 0;
  }
  if (command == "withdraw" && argc == 3) {
    shared.withdraw();
    return 0;
  }
  std::fprintf(stderr, "usage: publish|read|open|withdraw ...\n");
  return 2;
}
