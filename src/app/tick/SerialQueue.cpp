#include "app/tick/SerialQueue.h"

#include <QCoreApplication>

namespace hollin {
namespace {

// Carries one job's finishing step to the receiver. The connection to the receiver goes with
// the receiver, under Qt's lock, so a result that arrives after it has been destroyed finds
// nobody instead of a dangling pointer.
class Relay final : public QObject {
  Q_OBJECT
 signals:
  void done(std::function<void()> finish);
};

}  // namespace

SerialQueue::SerialQueue(const QString& name, QThread::Priority priority)
    : thread_(new QThread), context_(new QObject) {
  thread_->setObjectName(name);
  context_->moveToThread(thread_);
  QObject::connect(thread_, &QThread::finished, context_, &QObject::deleteLater);
  thread_->start(priority);
}

SerialQueue::~SerialQueue() {
  thread_->quit();
  // Destroying a running QThread aborts; a stuck one is left running and ends with the process.
  if (thread_->wait(static_cast<unsigned long>(stopDeadline.count()))) delete thread_;
}

void SerialQueue::run(QObject* receiver, Job job) {
  stream(receiver, [job = std::move(job)](const Send& send) { send(job()); });
}

void SerialQueue::stream(QObject* receiver, std::function<void(const Send&)> job) {
  auto* relay = new Relay;
  QObject::connect(relay, &Relay::done, receiver, [](const std::function<void()>& step) { step(); },
                   Qt::QueuedConnection);
  relay->moveToThread(thread_);
  QMetaObject::invokeMethod(
      context_,
      [relay, job = std::move(job)] {
        job([relay](std::function<void()> step) { emit relay->done(std::move(step)); });
        delete relay;
      },
      Qt::QueuedConnection);
}

void SerialQueue::post(std::function<void()> work) {
  QMetaObject::invokeMethod(context_, std::move(work), Qt::QueuedConnection);
}

}  // namespace hollin

#include "SerialQueue.moc"
