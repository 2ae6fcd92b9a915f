// A small desktop application for the response tests: one window, and a main thread that can
// be told to stop answering. Reads commands on its standard input:
//   block <seconds>   the main thread sleeps that long, answering nothing
// and says "shown" on its standard output once its window is mapped.
#include <QApplication>
#include <QLabel>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <unistd.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QLabel window(QStringLiteral("responsive"));
  window.setWindowTitle(QStringLiteral("A private title"));
  window.resize(240, 80);
  window.show();
  QTimer::singleShot(200, [] {
    std::printf("shown\n");
    std::fflush(stdout);
  });

  QSocketNotifier input(0, QSocketNotifier::Read);
  std::string pending;
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    char chunk[256];
    const ssize_t got = ::read(0, chunk, sizeof chunk);
    if (got <= 0) return QApplication::quit();
    pending.append(chunk, static_cast<std::size_t>(got));
    for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
      const std::string command = pending.substr(0, end);
      pending.erase(0, end + 1);
      if (command.rfind("block ", 0) == 0) QThread::sleep(std::stoul(command.substr(6)));
    }
  });
  return application.exec();
}
