#include "app/platform/PressureEventSource.h"

#include "native/linux/NativeReaders.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace hollin {
namespace {

using Clock = std::chrono::steady_clock;

constexpr long procSuperMagic = 0x9fa0;  // statfs f_type of /proc

// Stall thresholds over a 2 s window, the same as the native level's: 10 % "some" stall is a
// warning, 20 % "full" stall is critical. Unprivileged triggers need a window that is a
// multiple of 2 s, so 2 s works for every account.
constexpr const char* warningTrigger = "some 200000 2000000";
constexpr const char* criticalTrigger = "full 400000 2000000";

int openTrigger(const std::string& path, const char* trigger) {
  int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct statfs fs {};
  // A regular file would take the write and never wake us: only the kernel's file is a PSI file.
  bool isProc = ::fstatfs(fd, &fs) == 0 && static_cast<long>(fs.f_type) == procSuperMagic;
  if (!isProc || ::write(fd, trigger, std::strlen(trigger) + 1) < 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Milliseconds until the next trigger time leaves the quiet period (the level may step down
// then), or -1 (wait for the kernel) when none is pending.
int waitBefore(const TriggerTimes& times, Clock::time_point now, std::chrono::milliseconds quietPeriod) {
  int wait = -1;
  for (const auto& at : {times.warning, times.critical}) {
    if (!at || now - *at >= quietPeriod) continue;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(*at + quietPeriod - now).count();
    wait = wait < 0 ? static_cast<int>(left) : std::min(wait, static_cast<int>(left));
  }
  return wait;
}

bool fired(const pollfd& entry) { return (entry.revents & POLLPRI) != 0; }

}  // namespace

const char* modeName(PressureSourceMode mode) {
  switch (mode) {
    case PressureSourceMode::triggers: return "psi-triggers";
    case PressureSourceMode::polling: return "psi-polling";
    case PressureSourceMode::none: break;
  }
  return "none";
}

PressureEventLevel levelFromTriggers(const TriggerTimes& fired, Clock::time_point now,
                                     std::chrono::milliseconds quietPeriod) {
  auto recent = [&](const std::optional<Clock::time_point>& at) { return at && now - *at < quietPeriod; };
  if (recent(fired.critical)) return PressureEventLevel::critical;
  if (recent(fired.warning)) return PressureEventLevel::warning;
  return PressureEventLevel::normal;
}

PressureEventSource::PressureEventSource(Options options, QObject* parent)
    : QObject(parent), options_(std::move(options)) {}

PressureEventSource::~PressureEventSource() { stop(); }

PressureSourceMode PressureEventSource::start() {
  if (thread_.joinable()) return mode_;
  last_ = PressureEventLevel::normal;
  if (openTriggers()) {
    mode_ = PressureSourceMode::triggers;
  } else if (derivedLevel()) {
    mode_ = PressureSourceMode::polling;
  } else {
    mode_ = PressureSourceMode::none;
    return mode_;
  }
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC);
  if (wakeFd_ < 0) {
    closeAll();
    mode_ = PressureSourceMode::none;
    return mode_;
  }
  thread_ = mode_ == PressureSourceMode::triggers ? std::thread([this] { runTriggers(); })
                                                  : std::thread([this] { runPolling(); });
  return mode_;
}

void PressureEventSource::stop() {
  if (thread_.joinable()) {
    std::uint64_t one = 1;
    [[maybe_unused]] auto ignored = ::write(wakeFd_, &one, sizeof one);
    thread_.join();
  }
  closeAll();
}

bool PressureEventSource::openTriggers() {
  std::string path = native::underRoot(options_.root, "/proc/pressure/memory");
  warningFd_ = openTrigger(path, warningTrigger);
  criticalFd_ = warningFd_ < 0 ? -1 : openTrigger(path, criticalTrigger);
  if (criticalFd_ >= 0) return true;
  closeAll();
  return false;
}

void PressureEventSource::closeAll() {
  for (int* fd : {&warningFd_, &criticalFd_, &wakeFd_}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}

void PressureEventSource::runTriggers() {
  TriggerTimes times;
  for (;;) {
    int timeout = waitBefore(times, Clock::now(), options_.quietPeriod);
    pollfd entries[] = {{warningFd_, POLLPRI, 0}, {criticalFd_, POLLPRI, 0}, {wakeFd_, POLLIN, 0}};
    int ready = ::poll(entries, 3, timeout);
    if (ready < 0 && errno != EINTR) return;
    if (entries[2].revents != 0) return;
    // POLLERR means the trigger's file went away; nothing more will come from it.
    if ((entries[0].revents | entries[1].revents) & (POLLERR | POLLNVAL)) return;
    auto now = Clock::now();
    if (fired(entries[0])) times.warning = now;
    if (fired(entries[1])) times.critical = now;
    deliver(levelFromTriggers(times, now, options_.quietPeriod));
  }
}

void PressureEventSource::runPolling() {
  for (;;) {
    pollfd wake{wakeFd_, POLLIN, 0};
    int ready = ::poll(&wake, 1, static_cast<int>(options_.pollInterval.count()));
    if (ready < 0 && errno != EINTR) return;
    if (wake.revents != 0) return;
    // An unreadable moment keeps the last level: a failed read is not "no pressure".
    if (auto level = derivedLevel()) deliver(*level);
  }
}

std::optional<PressureEventLevel> PressureEventSource::derivedLevel() const {
  auto stallText = native::readSmallFile(native::underRoot(options_.root, "/proc/pressure/memory"));
  auto stall = stallText ? native::parsePressureStall(*stallText) : std::nullopt;
  if (!stall) return std::nullopt;
  auto memoryText = native::readSmallFile(native::underRoot(options_.root, "/proc/meminfo"));
  auto level = native::pressureLevel(stall, native::parseMemInfo(memoryText.value_or("")));
  if (!level) return std::nullopt;
  return *level >= 4 ? PressureEventLevel::critical
         : *level >= 2 ? PressureEventLevel::warning
                       : PressureEventLevel::normal;
}

void PressureEventSource::deliver(PressureEventLevel level) {
  if (level == last_) return;
  last_ = level;
  // Posted to this object's thread; dropped with the object if it is destroyed first.
  QMetaObject::invokeMethod(this, [this, level] { emit pressureEvent(level); }, Qt::QueuedConnection);
}

}  // namespace hollin
