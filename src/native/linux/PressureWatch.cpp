// Memory-pressure events from PSI: kernel triggers on /proc/pressure/memory, or, where the
// kernel refuses them, the same file read on a fixed interval.
#include "native/PressureEvents.h"

#include "native/linux/KernelFiles.h"
#include "native/linux/NativeReaders.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace hollin::native {
namespace {

using Clock = PressureWatch::Clock;

constexpr long procSuperMagic = 0x9fa0;  // statfs f_type of /proc
// Unprivileged triggers need a window that is a multiple of 2 s, so 2 s works for every account.
constexpr long triggerWindow = 2'000'000;  // microseconds
constexpr std::int32_t normal = 1, warning = 2, critical = 4;

int openTrigger(const std::string& path, const std::string& trigger) {
  int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct statfs fs {};
  // A regular file would take the write and never wake us: only the kernel's file is a PSI file.
  bool isProc = ::fstatfs(fd, &fs) == 0 && static_cast<long>(fs.f_type) == procSuperMagic;
  if (!isProc || ::write(fd, trigger.c_str(), trigger.size() + 1) < 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Milliseconds until a fired trigger leaves the quiet period (the level may step down then), or
// -1 (wait for the kernel) when none is pending.
int waitBefore(const PressureWatch::Fired& fired, Clock::time_point now,
               std::chrono::milliseconds quietPeriod) {
  int wait = -1;
  for (const auto& at : {fired.warning, fired.critical}) {
    if (!at || now - *at >= quietPeriod) continue;
    auto left = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(*at + quietPeriod - now).count());
    wait = wait < 0 ? left : std::min(wait, left);
  }
  return wait;
}

}  // namespace

PressureWatch::PressureWatch(std::string root, Options options)
    : root_(std::move(root)), options_(options) {
  if (openTriggers()) mode_ = Mode::triggers;
  else if (readLevel()) mode_ = Mode::polling;
  if (mode_ == Mode::none) return;
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC);
  if (wakeFd_ < 0) {
    closeAll();
    mode_ = Mode::none;
  }
}

PressureWatch::~PressureWatch() { closeAll(); }

std::int32_t PressureWatch::levelFromTriggers(const Fired& fired, Clock::time_point now,
                                              std::chrono::milliseconds quietPeriod) {
  auto recent = [&](const std::optional<Clock::time_point>& at) { return at && now - *at < quietPeriod; };
  if (recent(fired.critical)) return critical;
  if (recent(fired.warning)) return warning;
  return normal;
}

std::string PressureWatch::triggerText(StallThreshold threshold) {
  char text[64];
  std::snprintf(text, sizeof text, "%s %ld %ld", threshold.full ? "full" : "some",
                static_cast<long>(threshold.percent * triggerWindow / 100), triggerWindow);
  return text;
}

bool PressureWatch::openTriggers() {
  const std::string path = underRoot(root_, files::memoryPressure);
  for (const StallThreshold& threshold : stallWarnings) {
    int fd = openTrigger(path, triggerText(threshold));
    if (fd < 0) break;
    warningFds_.push_back(fd);
  }
  if (warningFds_.size() == std::size(stallWarnings))
    criticalFd_ = openTrigger(path, triggerText(stallCritical));
  if (criticalFd_ >= 0) return true;
  closeAll();
  return false;
}

void PressureWatch::closeAll() {
  for (int fd : warningFds_) ::close(fd);
  warningFds_.clear();
  for (int* fd : {&criticalFd_, &wakeFd_}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}

void PressureWatch::stop() {
  if (wakeFd_ < 0) return;
  std::uint64_t one = 1;
  [[maybe_unused]] auto ignored = ::write(wakeFd_, &one, sizeof one);
}

std::int32_t PressureWatch::next() {
  if (mode_ == Mode::none) return 0;
  for (;;) {
    std::int32_t level = mode_ == Mode::triggers ? nextTriggered() : nextPolled();
    if (level == 0 || level != last_) return last_ = level, level;
  }
}

// One wait for a trigger, the wake descriptor, or the end of a quiet period; the level after it.
std::int32_t PressureWatch::nextTriggered() {
  std::vector<pollfd> entries{{wakeFd_, POLLIN, 0}, {criticalFd_, POLLPRI, 0}};
  for (int fd : warningFds_) entries.push_back({fd, POLLPRI, 0});
  int ready = ::poll(entries.data(), entries.size(), waitBefore(fired_, Clock::now(), options_.quietPeriod));
  if (ready < 0 && errno != EINTR) return 0;
  if (entries[0].revents != 0) return 0;
  const auto now = Clock::now();
  for (std::size_t i = 1; i < entries.size(); ++i) {
    // POLLERR means the trigger's file went away; nothing more will come from it.
    if (entries[i].revents & (POLLERR | POLLNVAL)) return 0;
    if (entries[i].revents & POLLPRI) (i == 1 ? fired_.critical : fired_.warning) = now;
  }
  return levelFromTriggers(fired_, now, options_.quietPeriod);
}

std::int32_t PressureWatch::nextPolled() {
  pollfd wake{wakeFd_, POLLIN, 0};
  int ready = ::poll(&wake, 1, static_cast<int>(options_.pollInterval.count()));
  if ((ready < 0 && errno != EINTR) || wake.revents != 0) return 0;
  // An unreadable moment keeps the last level: a failed read is not "no pressure".
  return readLevel().value_or(last_);
}

std::optional<std::int32_t> PressureWatch::readLevel() const {
  auto stallText = readSmallFile(underRoot(root_, files::memoryPressure));
  auto stall = stallText ? parsePressureStall(*stallText) : std::nullopt;
  if (!stall) return std::nullopt;
  auto memory = readSmallFile(underRoot(root_, files::meminfo));
  return pressureLevel(stall, parseMemInfo(memory.value_or("")));
}

}  // namespace hollin::native

struct HLPressureWatch {
  hollin::native::PressureWatch watch;
};

extern "C" {

HLPressureWatch* hl_pressure_watch_open(int32_t* mode) {
  using hollin::native::PressureWatch;
  auto* opened = new HLPressureWatch{PressureWatch(hollin::native::hostRoot(), {})};
  switch (opened->watch.mode()) {
    case PressureWatch::Mode::triggers: *mode = HL_PRESSURE_TRIGGERS; return opened;
    case PressureWatch::Mode::polling: *mode = HL_PRESSURE_POLLING; return opened;
    case PressureWatch::Mode::none: break;
  }
  delete opened;
  *mode = HL_PRESSURE_NONE;
  return nullptr;
}

int32_t hl_pressure_watch_next(HLPressureWatch* watch) { return watch ? watch->watch.next() : 0; }

void hl_pressure_watch_stop(HLPressureWatch* watch) {
  if (watch) watch->watch.stop();
}

void hl_pressure_watch_close(HLPressureWatch* watch) { delete watch; }

}
