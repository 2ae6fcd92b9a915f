#include "app/platform/TerminationSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace hollin {
namespace {

int writeEnd = -1;  // the handler's only state: it may touch nothing else

// Writing one byte is async-signal-safe; everything else happens on the main thread.
void onSignal(int number) {
  unsigned char byte = static_cast<unsigned char>(number);
  int saved = errno;
  [[maybe_unused]] auto ignored = ::write(writeEnd, &byte, 1);
  errno = saved;
}

void setHandler(int number, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(number, &action, nullptr);
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
  if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) return;
  writeEnd = pipe_[1];
  notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::drain);
  setHandler(SIGTERM, onSignal);
  setHandler(SIGINT, onSignal);
}

TerminationSignals::~TerminationSignals() {
  setHandler(SIGTERM, SIG_DFL);
  setHandler(SIGINT, SIG_DFL);
  writeEnd = -1;
  for (int fd : pipe_) {
    if (fd >= 0) ::close(fd);
  }
}

void TerminationSignals::drain() {
  unsigned char byte = 0;
  while (::read(pipe_[0], &byte, 1) == 1) emit received(byte);
}

}  // namespace hollin
