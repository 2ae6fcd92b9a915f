// A worker thread that runs jobs one at a time, in order: the sampling queue, and any
// subsystem's own queue for slow work. Each job's result comes back on the receiver's thread
// (the main thread), or nowhere once the receiver is gone.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QThread>

#include <chrono>
#include <functional>

namespace hollin {

class SerialQueue final {
 public:
  // A job returns the step that finishes it on the receiver's thread.
  using Job = std::function<std::function<void()>()>;

  explicit SerialQueue(const QString& name, QThread::Priority priority = QThread::LowPriority);
  // Stops the thread and waits for the running job, up to `stopDeadline`: a job stuck in the
  // kernel must not keep the program from ending, so its thread is then left to the exit.
  ~SerialQueue();
  SerialQueue(const SerialQueue&) = delete;
  SerialQueue& operator=(const SerialQueue&) = delete;

  void run(QObject* receiver, Job job);
  // A job that hands any number of steps to the receiver's thread while it runs.
  using Send = std::function<void(std::function<void()>)>;
  void stream(QObject* receiver, std::function<void(const Send&)> job);
  // A job whose result goes nowhere: it hands back what it found on its own.
  void post(std::function<void()> work);

  static constexpr std::chrono::milliseconds stopDeadline{2000};

 private:
  QThread* thread_;
  QObject* context_;  // lives on thread_; jobs are queued to it
};

}  // namespace hollin
