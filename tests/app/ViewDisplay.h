#pragma once

#include <QProcess>
#include <QString>
#include <memory>

namespace hollin::testing {

// A private X server for one test program: Xvfb on the first free display number, which it
// reports itself (-displayfd), so parallel test programs never share or collide on a display.
class PrivateDisplay {
 public:
  PrivateDisplay() {
    server_.setProgram("Xvfb");
    server_.setArguments({"-displayfd", "1", "-screen", "0", "1400x1000x24", "-nolisten", "tcp"});
    server_.start();
    // Xvfb answers within a second; five keeps a loaded machine from failing the test.
    if (!server_.waitForStarted(5000)) return;
    QByteArray number;
    while (!number.contains('\n') && server_.waitForReadyRead(5000)) number += server_.readAll();
    number = number.trimmed();
    if (!number.isEmpty()) display_ = ":" + QString::fromLatin1(number);
  }
  ~PrivateDisplay() {
    server_.terminate();
    server_.waitForFinished(2000);
  }
  // ":N", or empty when no server could be started.
  const QString& display() const { return display_; }

 private:
  QProcess server_;
  QString display_;
};

}  // namespace hollin::testing
