// One Hollin per user: the first instance listens on a local socket; a later one hands its
// URLs ("hollin://analysis") over that socket, or nothing for a plain launch, and exits.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace hollin {

// $XDG_RUNTIME_DIR/hollin.socket, else "hollin.socket" in the data folder; absent when neither
// exists.
std::optional<QString> instanceSocketPath();

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  explicit SingleInstance(QString socketPath, QObject* parent = nullptr);
  ~SingleInstance() override;

  // True when this process is now the instance. False when another instance of this user holds
  // the claim (a lock file next to the socket), or the socket cannot be created. A socket left
  // behind by a crashed instance is replaced.
  bool claim();

  // Sends the URLs, one a line, to the running instance; true once they were written. Waits at
  // most `deadline` at each step (a hung instance must not hang the starter).
  static bool handOver(const QString& socketPath, const QStringList& urls, std::chrono::milliseconds deadline);

 signals:
  // One per URL line a later instance handed over, on the main thread.
  void urlReceived(const QString& url);
  // A later instance started without a URL: bring the window forward.
  void reopenRequested();

 private:
  void acceptConnections();

  QString path_;
  QLocalServer server_;
  int lockFd_ = -1;
};

}  // namespace hollin
