// The crash handler: prepared in full at install time, so the handler only fills a static
// buffer and makes the calls POSIX lists as async-signal-safe (backtrace, once loaded, only
// walks the stack).
#include "native/CrashHandler.h"

#include <elf.h>
#include <execinfo.h>
#include <fcntl.h>
#include <link.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string_view>

namespace hollin::native {
namespace {

constexpr int crashSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
// Frames beyond these lie far from the crash; the few kept are the innermost of our own.
constexpr int crashStackDepth = 64;

// What the handler uses, fixed once it is installed.
struct CrashPrepared {
  char path[4096] = {};
  char header[1024] = {};
  std::size_t headerLength = 0;
  std::uintptr_t base = 0, codeStart = 0, codeEnd = 0;
};
CrashPrepared crashPrepared;
void* crashFrames[crashStackDepth];
char crashLines[1024];
// A stack overflow leaves no room to run the handler on the thread's own stack.
alignas(16) char crashAlternateStack[64 * 1024];
std::atomic_flag crashInstalled = ATOMIC_FLAG_INIT;
std::atomic_flag crashHandling = ATOMIC_FLAG_INIT;

// Text and numbers into a fixed buffer, without the library's formatting (not
// async-signal-safe); what does not fit is dropped.
struct CrashWriter {
  char* out;
  std::size_t capacity, length = 0;

  void text(std::string_view text) {
    for (char c : text)
      if (length < capacity) out[length++] = c;
  }
  void number(std::uint64_t value, unsigned radix) {
    char digits[24];
    int count = 0;
    do {
      digits[count++] = "0123456789abcdef"[value % radix];
      value /= radix;
    } while (value != 0);
    while (count > 0) text({&digits[--count], 1});
  }
};

void writeAllOf(int fd, const char* bytes, std::size_t length) {
  while (length > 0) {
    const ssize_t written = ::write(fd, bytes, length);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    bytes += written;
    length -= static_cast<std::size_t>(written);
  }
}

void onCrash(int signal) {
  // Only the first crash of the process is written; a second one (another thread, or the
  // handler itself failing) goes straight to the default action.
  if (!crashHandling.test_and_set()) {
    const int depth = ::backtrace(crashFrames, crashStackDepth);
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    CrashWriter lines{crashLines, sizeof crashLines};
    lines.text("signal ");
    lines.number(static_cast<std::uint64_t>(signal), 10);
    lines.text("\ntime ");
    lines.number(static_cast<std::uint64_t>(now.tv_sec) * 1'000'000 + static_cast<std::uint64_t>(now.tv_nsec) / 1000, 10);
    // Frame 0 is this handler.
    lines.text(depth > 1 ? "\nstack 1\n" : "\nstack 0\n");
    for (int i = 1, kept = 0; i < depth && kept < crashFileMaxFrames; ++i) {
      const auto address = reinterpret_cast<std::uintptr_t>(crashFrames[i]);
      if (address < crashPrepared.codeStart || address >= crashPrepared.codeEnd) continue;
      lines.text("frame ");
      lines.number(address - crashPrepared.base, 16);
      lines.text("\n");
      ++kept;
    }
    lines.text("end\n");
    const int fd = ::open(crashPrepared.path, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      writeAllOf(fd, crashPrepared.header, crashPrepared.headerLength);
      writeAllOf(fd, crashLines, lines.length);
      ::close(fd);
    }
  }
  // The process still dies by this signal, with a core dump where the system keeps one: the
  // signal stays blocked until the handler returns, then the default action takes it.
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  ::sigaction(signal, &fallback, nullptr);
  ::raise(signal);
}

std::string hexText(const unsigned char* bytes, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    text += "0123456789abcdef"[bytes[i] >> 4];
    text += "0123456789abcdef"[bytes[i] & 0xf];
  }
  return text;
}

// The GNU build-id among the notes of one PT_NOTE segment, or empty.
std::string buildIDNote(const unsigned char* notes, std::size_t size, std::size_t alignment) {
  const auto aligned = [alignment](std::size_t n) { return (n + alignment - 1) / alignment * alignment; };
  std::size_t at = 0;
  while (at + sizeof(ElfW(Nhdr)) <= size) {
    ElfW(Nhdr) note;
    std::memcpy(&note, notes + at, sizeof note);
    const std::size_t name = at + sizeof note, description = name + aligned(note.n_namesz);
    if (description > size || aligned(note.n_descsz) > size - description) break;
    if (note.n_type == NT_GNU_BUILD_ID && note.n_namesz == 4 && std::memcmp(notes + name, "GNU", 4) == 0)
      return hexText(notes + description, note.n_descsz);
    at = description + aligned(note.n_descsz);
  }
  return {};
}

int readMainProgram(dl_phdr_info* info, std::size_t, void* data) {
  ExecutableImage image;
  image.base = info->dlpi_addr;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& segment = info->dlpi_phdr[i];
    const std::uintptr_t start = info->dlpi_addr + segment.p_vaddr;
    if (segment.p_type == PT_LOAD && (segment.p_flags & PF_X) != 0) {
      if (image.codeEnd == 0 || start < image.codeStart) image.codeStart = start;
      if (start + segment.p_memsz > image.codeEnd) image.codeEnd = start + segment.p_memsz;
    } else if (segment.p_type == PT_NOTE && image.buildID.empty()) {
      image.buildID = buildIDNote(reinterpret_cast<const unsigned char*>(start), segment.p_memsz,
                                  segment.p_align == 8 ? 8 : 4);
    }
  }
  if (image.codeEnd != 0) *static_cast<std::optional<ExecutableImage>*>(data) = image;
  return 1;  // the first object listed is the main program
}

bool copyInto(char* buffer, std::size_t capacity, std::string_view text) {
  if (text.size() >= capacity) return false;
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
  return true;
}

}  // namespace

std::optional<ExecutableImage> ownExecutableImage() {
  std::optional<ExecutableImage> image;
  ::dl_iterate_phdr(readMainProgram, &image);
  return image;
}

bool installCrashHandler(const CrashHandlerSetup& setup) {
  for (const std::string* value : {&setup.pendingPath, &setup.version, &setup.build, &setup.osVersion})
    if (value->find_first_of(std::string_view("\n\r\0", 3)) != std::string::npos) return false;
  const auto image = ownExecutableImage();
  if (setup.pendingPath.empty() || !image || crashInstalled.test_and_set()) return false;
  const std::string header = std::string(crashFileMagic) + "\nversion " + setup.version + "\nbuild " + setup.build +
                             "\nos " + setup.osVersion + "\nbuild-id " + image->buildID + "\n";
  if (!copyInto(crashPrepared.path, sizeof crashPrepared.path, setup.pendingPath) ||
      !copyInto(crashPrepared.header, sizeof crashPrepared.header, header))
    return false;
  crashPrepared.headerLength = header.size();
  crashPrepared.base = image->base;
  crashPrepared.codeStart = image->codeStart;
  crashPrepared.codeEnd = image->codeEnd;
  // The first backtrace loads the unwinder and allocates; the handler's may do neither.
  void* warmUp[1];
  ::backtrace(warmUp, 1);
  stack_t alternate{};
  alternate.ss_sp = crashAlternateStack;
  alternate.ss_size = sizeof crashAlternateStack;
  if (::sigaltstack(&alternate, nullptr) != 0) return false;
  struct sigaction action {};
  action.sa_handler = onCrash;
  action.sa_flags = SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  for (int signal : crashSignals)
    if (::sigaction(signal, &action, nullptr) != 0) return false;
  return true;
}

}  // namespace hollin::native
