// SIGTERM and SIGINT turned into a Qt signal on the main thread, so that a stop request runs
// the ordinary quit path (timer and sources stopped, files complete) and the exit status is 0.
#pragma once

#include <QObject>
#include <QSocketNotifier>

namespace hollin {

class TerminationSignals : public QObject {
  Q_OBJECT
 public:
  // Installs the handlers; only one instance may exist at a time.
  explicit TerminationSignals(QObject* parent = nullptr);
  ~TerminationSignals() override;  // restores the default handlers

 signals:
  void received(int signalNumber);

 private:
  void drain();

  int pipe_[2] = {-1, -1};
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace hollin
