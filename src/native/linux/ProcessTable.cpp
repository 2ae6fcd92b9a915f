// The process list over /proc.
//
// Why descriptors are held: nearly all the cost of a sample is in the kernel, and most of it is
// opening files, not reading or parsing them. So each listed process keeps its status file open
// between samples and one pread(fd, …, 0) per sample re-reads it; a /proc file gives its whole
// text to one read, so nothing reads on to end-of-file. The start time is read from stat once,
// when the process is first seen.
//
// Why that is still exact: a status descriptor belongs to the process it was opened for, not to
// the pid. Once that process has ended, reading the descriptor fails with ESRCH, even when the
// pid has been given to a new process. So a successful read proves the record belongs to the
// process whose start was read when the descriptor was opened — the guarantee a second read of
// stat would give — and a failed one drops the entry and reads the pid afresh. A new process
// is read in the order: open status, read stat, read status; a process that ended or was
// replaced between those steps fails the last read and is left out.
//
// Why statm gates status: most of what a sample costs is the kernel writing status's fifty-odd
// lines. statm is seven numbers and cheap to make, and a process whose statm (size, resident,
// shared, text, data) is unchanged has the same resident size and, but for a page trading
// places between file and shared memory, the same footprint. So each listed process also keeps
// its statm open; a sample reads statm, and reads status only when statm changed or when the
// process's turn for a full read has come (every statusEvery samples, spread over the
// processes), which bounds how late a change of owner or name without any change of memory is
// seen. statm is opened at a process's second sample and status read right after, so a
// descriptor opened for a pid just reused is caught by the status read failing.
//
// Descriptors are bounded by a budget (the soft RLIMIT_NOFILE raised to the hard limit, less a
// reserve). Processes beyond it are read the same way each sample and their descriptor closed,
// so a sample never fails for want of descriptors; it only costs more.
#include "native/linux/NativeReaders.h"
#include "native/linux/CheckedArithmetic.h"
#include "native/linux/KernelFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

namespace hollin::native {
namespace {

constexpr std::size_t truncatedNameLength = 15;  // TASK_COMM_LEN − 1
constexpr std::size_t statusBufferStart = 8192;  // bytes; status is about 1.5 KB
constexpr std::size_t statusBufferLimit = 1 << 20;

std::string pidPath(std::int32_t pid, const char* file) {
  char digits[16];
  auto end = std::to_chars(digits, digits + sizeof digits, pid).ptr;
  return std::string(digits, end).append("/").append(file);
}

// One read of an open /proc file at offset 0 into buffer (grown while the file fills it).
bool readWhole(int fd, std::vector<char>& buffer, std::string_view& text) {
  for (;;) {
    ssize_t got = ::pread(fd, buffer.data(), buffer.size(), 0);
    if (got <= 0) return false;
    if (static_cast<std::size_t>(got) < buffer.size() || buffer.size() >= statusBufferLimit) {
      text = std::string_view(buffer.data(), static_cast<std::size_t>(got));
      return true;
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::optional<std::string> readAt(int procFd, const std::string& path) {
  int fd = ::openat(procFd, path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  char chunk[4096];
  ssize_t got = ::read(fd, chunk, sizeof chunk);
  ::close(fd);
  if (got < 0) return std::nullopt;
  return std::string(chunk, static_cast<std::size_t>(got));
}

std::string_view baseName(std::string_view path) {
  auto slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The whole executable name when status gives the kernel's 15-byte cut: the base name of
// argv[0], else of the executable link, whichever begins with the cut name.
std::string longName(int procFd, std::int32_t pid, const std::string& cut) {
  if (auto cmdline = readAt(procFd, pidPath(pid, "cmdline"))) {
    auto name = baseName(std::string_view(cmdline->c_str()));
    if (name.size() > cut.size() && name.starts_with(cut)) return std::string(name);
  }
  char link[4096];
  ssize_t size = ::readlinkat(procFd, pidPath(pid, "exe").c_str(), link, sizeof link);
  if (size > 0) {
    auto name = baseName(std::string_view(link, static_cast<std::size_t>(size)));
    if (name.size() > cut.size() && name.starts_with(cut)) return std::string(name);
  }
  return {};
}

}  // namespace

struct FreshRead {
  int fd = -1;
  std::uint64_t startTicks = 0;
  ProcessStatus status;
};

namespace {

// Open status, read stat, read status (see the comment at the top).
std::optional<FreshRead> readFresh(int procFd, std::int32_t pid, std::vector<char>& buffer) {
  FreshRead fresh;
  fresh.fd = ::openat(procFd, pidPath(pid, "status").c_str(), O_RDONLY | O_CLOEXEC);
  if (fresh.fd < 0) return std::nullopt;
  auto stat = readAt(procFd, pidPath(pid, "stat"));
  auto ticks = stat ? parseStartTicks(*stat) : std::nullopt;
  std::string_view text;
  if (ticks && readWhole(fresh.fd, buffer, text)) {
    fresh.startTicks = *ticks;
    fresh.status = parseProcessStatus(text);
    if (fresh.status.uid) return fresh;
  }
  ::close(fresh.fd);
  return std::nullopt;
}

// The first reads of the unheld processes when they are many (the first sample), spread over
// the cores: opening files under /proc is the kernel's slowest step, and it runs in parallel.
std::vector<std::optional<FreshRead>> readInParallel(int procFd, const std::vector<std::int32_t>& pids,
                                                     const std::vector<bool>& unheld) {
  std::vector<std::optional<FreshRead>> reads(pids.size());
  const std::size_t threads = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 4);
  std::vector<std::jthread> workers;
  for (std::size_t first = 0; first < threads; ++first)
    workers.emplace_back([&, first] {
      std::vector<char> buffer(statusBufferStart);
      for (std::size_t i = first; i < pids.size(); i += threads)
        if (unheld[i]) reads[i] = readFresh(procFd, pids[i], buffer);
    });
  workers.clear();  // joins them before the reads are handed out
  return reads;
}

// The boot time in microseconds since 1970, or absent with `error` set: the errno of reading
// /proc/stat, or ENODATA when it has no btime or one too large. /proc/stat can outgrow one
// small read on machines with many interrupts; it is read whole.
std::optional<std::uint64_t> readBootTime(const std::string& proc, std::int32_t& error) {
  errno = 0;
  auto text = readSmallFile(proc + "/stat");
  if (!text) {
    error = errno != 0 ? errno : EIO;
    return std::nullopt;
  }
  auto seconds = parseBootTime(*text);
  auto boot = seconds ? bootTimeMicroseconds(*seconds) : std::nullopt;
  if (!boot) error = ENODATA;
  return boot;
}

std::uint64_t ticksPerSecond() {
  static const auto ticks = static_cast<std::uint64_t>(std::max(1L, sysconf(_SC_CLK_TCK)));
  return ticks;
}

void fill(HLProcess& out, std::int32_t pid, std::uint64_t start, const ProcessStatus& status,
          const std::string& wholeName) {
  out = HLProcess{};
  out.pid = pid;
  out.uid = *status.uid;
  out.start = start;
  if (status.vmRss) {
    out.resident = *status.vmRss;
    out.resident_valid = 1;
  }
  if (auto footprint = checkedSum({status.rssAnon, status.rssShmem, status.vmSwap})) {
    out.footprint = *footprint;
    out.footprint_valid = 1;
  }
  const std::string& name =
      status.name.size() == truncatedNameLength && wholeName.starts_with(status.name) ? wholeName
                                                                                      : status.name;
  std::memcpy(out.name, name.data(), std::min(name.size(), sizeof out.name - 1));
}

}  // namespace

ProcessTable::ProcessTable(std::string root, std::size_t descriptorBudget)
    : proc_(underRoot(root, files::proc)), budget_(descriptorBudget), buffer_(statusBufferStart) {}

ProcessTable::~ProcessTable() {
  for (auto& [pid, entry] : entries_) forget(entry);
}

std::size_t ProcessTable::heldDescriptors() const {
  std::lock_guard lock(mutex_);
  return held_;
}

std::size_t ProcessTable::liveDescriptorBudget() {
  constexpr rlim_t reserve = 1024;     // descriptors left for the rest of the application
  constexpr rlim_t ceiling = 1 << 20;  // the kernel's default nr_open
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
  rlim_t wanted = std::min(limit.rlim_max, ceiling);
  if (limit.rlim_cur < wanted) {
    rlimit raised{wanted, limit.rlim_max};
    if (setrlimit(RLIMIT_NOFILE, &raised) == 0) limit.rlim_cur = wanted;
  }
  return limit.rlim_cur > 2 * reserve ? limit.rlim_cur - reserve : 0;
}

void ProcessTable::forget(Entry& entry) {
  for (int* fd : {&entry.fd, &entry.statmFd}) {
    if (*fd < 0) continue;
    ::close(*fd);
    *fd = -1;
    --held_;
  }
  entry.statm.clear();
}

// Grows the process's descriptor table at once to room for `count` more held descriptors. The
// kernel grows it by doubling as descriptors are opened, and in a process with threads every
// growth waits out an RCU grace period: a first sample of 2000 processes would sit through a
// handful of them, which costs more than all its reading. One growth is one wait.
void ProcessTable::reserveDescriptors(int anyFd, std::size_t count) {
  constexpr std::size_t others = 1024;  // as the budget leaves for the rest of the application
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
  const std::size_t wanted =
      std::min<std::size_t>(held_ + std::min(count, budget_ - std::min(budget_, held_)) + others, limit.rlim_cur - 1);
  if (wanted <= reserved_) return;
  // The lowest free number at or above `wanted`: the table must reach it.
  const int probe = ::fcntl(anyFd, F_DUPFD_CLOEXEC, static_cast<int>(wanted));
  if (probe >= 0) ::close(probe);
  reserved_ = wanted;
}

void ProcessTable::prepare() {
  std::lock_guard lock(mutex_);
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(proc_.c_str()), closedir);
  if (!dir) return;
  std::size_t processes = 0;
  while (auto* entry = readdir(dir.get())) processes += std::isdigit(static_cast<unsigned char>(entry->d_name[0])) != 0;
  // A status and a statm descriptor each, and room for some more processes to come.
  reserveDescriptors(dirfd(dir.get()), 2 * processes + 512);
}

// Keeps `opened` in `fd` while the budget allows; closes it otherwise.
bool ProcessTable::hold(int& fd, int opened) {
  if (opened < 0) return false;
  if (held_ >= budget_) {
    ::close(opened);
    return false;
  }
  fd = opened;
  ++held_;
  return true;
}

std::int32_t ProcessTable::sample(HLProcess** list, std::int32_t* error) {
  std::lock_guard lock(mutex_);
  *list = nullptr;
  *error = 0;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(proc_.c_str()), closedir);
  if (!dir) {
    *error = errno != 0 ? errno : 13;
    return -1;
  }
  std::vector<std::int32_t> pids;
  pids.reserve(entries_.size() + 64);
  while (auto* entry = readdir(dir.get())) {
    std::int32_t pid = 0;
    auto* name = entry->d_name;
    auto [end, failure] = std::from_chars(name, name + std::strlen(name), pid);
    if (failure == std::errc() && *end == '\0' && pid > 0) pids.push_back(pid);
  }
  auto* out = static_cast<HLProcess*>(std::calloc(std::max<std::size_t>(pids.size(), 1), sizeof(HLProcess)));
  if (!out) {
    *error = 12;
    return -1;
  }

  int procFd = dirfd(dir.get());
  std::vector<bool> unheld(pids.size());
  std::size_t newcomers = 0;
  for (std::size_t i = 0; i < pids.size(); ++i) {
    const auto found = entries_.find(pids[i]);
    unheld[i] = found == entries_.end() || found->second.fd < 0;
    newcomers += unheld[i];
  }
  // New processes hold a status descriptor now and a statm one from their next sample on.
  if (newcomers > 0) reserveDescriptors(procFd, 2 * newcomers);
  std::vector<std::optional<FreshRead>> prefetched =
      newcomers >= parallelBatch ? readInParallel(procFd, pids, unheld) : std::vector<std::optional<FreshRead>>{};
  std::optional<std::uint64_t> boot;  // read only when a new process needs it
  std::int32_t failure = 0;
  ++generation_;
  std::int32_t count = 0;
  for (std::size_t i = 0; i < pids.size() && failure == 0; ++i) {
    const std::int32_t pid = pids[i];
    auto& entry = entries_[pid];
    entry.seen = generation_;
    Outcome outcome = entry.fd >= 0 ? refresh(procFd, pid, entry, out[count]) : Outcome::gone;
    if (outcome == Outcome::gone) {
      forget(entry);
      if (!boot) boot = readBootTime(proc_, failure);
      FreshRead* preread = i < prefetched.size() && prefetched[i] ? &*prefetched[i] : nullptr;
      outcome = boot ? open(procFd, pid, entry, *boot, out[count], preread) : Outcome::gone;
    }
    if (outcome == Outcome::listed) ++count;
  }
  // What a batch read and the loop did not take leaves nothing open.
  for (auto& read : prefetched)
    if (read && read->fd >= 0) ::close(read->fd);
  // Without a boot time a new process has no start; leaving it out would report it gone, so
  // the list is not known. The table keeps what it holds; the entries the loop did not reach
  // are swept by the next sample that completes.
  if (failure != 0) {
    std::free(out);
    *error = failure;
    return -1;
  }
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (it->second.seen == generation_) {
      ++it;
    } else {
      forget(it->second);
      it = entries_.erase(it);
    }
  }
  *list = out;
  return count;
}

ProcessTable::Outcome ProcessTable::refresh(int procFd, std::int32_t pid, Entry& entry, HLProcess& out) {
  if (entry.statmFd < 0) hold(entry.statmFd, ::openat(procFd, pidPath(pid, "statm").c_str(), O_RDONLY | O_CLOEXEC));
  if (entry.statmFd >= 0) {
    char numbers[256];
    const ssize_t got = ::pread(entry.statmFd, numbers, sizeof numbers, 0);
    if (got <= 0) return Outcome::gone;  // ESRCH: the process ended
    const std::string_view statm(numbers, static_cast<std::size_t>(got));
    if (statm == entry.statm && generation_ < entry.statusDue) {
      if (entry.kernel) return Outcome::hidden;
      out = entry.last;
      return Outcome::listed;
    }
    entry.statm = statm;
  }
  std::string_view text;
  if (!readWhole(entry.fd, buffer_, text)) return Outcome::gone;  // ESRCH: the process ended
  // Each process's turn comes every statusEvery samples, at a phase its pid sets, so the full
  // reads of one sample stay about one in statusEvery.
  entry.statusDue = generation_ + statusEvery - (generation_ + static_cast<std::uint64_t>(pid)) % statusEvery;
  if (entry.kernel) return Outcome::hidden;
  auto status = parseProcessStatus(text);
  if (!status.uid) return Outcome::gone;
  fill(out, pid, entry.start, status, entry.longName);
  entry.last = out;
  return Outcome::listed;
}

ProcessTable::Outcome ProcessTable::open(int procFd, std::int32_t pid, Entry& entry, std::uint64_t boot,
                                         HLProcess& out, FreshRead* preread) {
  std::optional<FreshRead> read;
  if (!preread) read = readFresh(procFd, pid, buffer_);
  FreshRead* fresh = preread ? preread : read ? &*read : nullptr;
  if (!fresh) return Outcome::gone;
  auto start = startMicroseconds(boot, fresh->startTicks, ticksPerSecond());
  if (!start) {
    // A start beyond 64 bits is no start: left out like a stat that cannot be read.
    ::close(fresh->fd);
    fresh->fd = -1;
    return Outcome::gone;
  }
  entry.start = *start;
  // Kernel threads have no memory map of their own, so no VmRSS line; nor do zombies. Neither
  // is listed, and neither becomes an ordinary process while its descriptor still reads. A
  // VmRSS line that cannot be read is still a user process's, listed without its resident size.
  entry.kernel = !fresh->status.memoryMapped;
  entry.longName = !entry.kernel && fresh->status.name.size() == truncatedNameLength
                       ? longName(procFd, pid, fresh->status.name)
                       : std::string();
  hold(entry.fd, fresh->fd);
  fresh->fd = -1;  // held or closed: nobody else closes it
  if (entry.kernel) return Outcome::hidden;
  fill(out, pid, entry.start, fresh->status, entry.longName);
  return Outcome::listed;
}

std::optional<Identity> readIdentity(const std::string& root, std::int32_t pid) {
  if (pid < 1) return std::nullopt;
  auto proc = underRoot(root, files::proc);
  int procFd = ::open(proc.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (procFd < 0) return std::nullopt;
  std::vector<char> buffer(statusBufferStart);
  auto fresh = readFresh(procFd, pid, buffer);
  std::int32_t error = 0;
  auto boot = fresh ? readBootTime(proc, error) : std::nullopt;
  ::close(procFd);
  if (!fresh) return std::nullopt;
  ::close(fresh->fd);
  auto start = boot ? startMicroseconds(*boot, fresh->startTicks, ticksPerSecond()) : std::nullopt;
  if (!start) return std::nullopt;
  return Identity{*fresh->status.uid, *start};
}

}  // namespace hollin::native
