// One Hollin per user: the first instance listens on a local socket; a later one hands its
// URLs ("hollin://analysis") over that socket, or nothing for a plain launch, and exits.
//
// The hand-over, in UTF-8 lines ending in '\n':
//   starter:  one URL a line (none for a plain launch), then an empty line that ends the request;
//   instance: "ok" once it has taken the request in, then it closes the connection.
// The starter counts its URLs as handed over only on that "ok", within its deadline. A request
// that ends before its empty line is dropped whole.
//
// The account set-up replacing an older copy sends the one line "quit" and the empty line; the
// instance answers "ok" and then quits.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

class QLocalSocket;

namespace hollin {

// $XDG_RUNTIME_DIR/hollin.socket, else "hollin.socket" in the data folder; absent when neither
// exists.
std::optional<QString> instanceSocketPath();

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  // What a start comes to (see claimOrHandOver).
  enum class Start {
    instance,     // this process is now the instance
    handedOver,   // the running instance took the URLs: this start is done
    unanswered,   // a live process holds the lock but did not answer in time
    unavailable,  // no lock file or socket can be made at the path
  };

  explicit SingleInstance(QString socketPath, QObject* parent = nullptr);
  ~SingleInstance() override;

  // True when this process is now the instance. False when another instance of this user holds
  // the claim (a lock file next to the socket), or the socket cannot be created. A socket left
  // behind by a crashed instance is replaced.
  bool claim();

  // Claims, else hands the URLs over. When the holder of the lock does not answer, the claim is
  // tried once more: a holder that ended meanwhile (an instance on its way out) leaves the lock,
  // and this start takes its place. A live holder's lock is never taken.
  Start claimOrHandOver(const QStringList& urls, std::chrono::milliseconds deadline);

  // Sends the URLs to the running instance; true once it answered "ok". Gives up after
  // `deadline` in all (a hung or foreign listener must not hang the starter).
  static bool handOver(const QString& socketPath, const QStringList& urls, std::chrono::milliseconds deadline);

  // Asks the instance at the socket to quit; true once it answered "ok" within `deadline`. Only
  // process `pid` is asked: a socket that another process listens on is refused unasked. Needs
  // no Qt event loop (the set-up asks before the application exists).
  static bool askToQuit(const QString& socketPath, qint64 pid, std::chrono::milliseconds deadline);

 signals:
  // One per URL line a later instance handed over, on the main thread.
  void urlReceived(const QString& url);
  // A later instance started without a URL: bring the window forward.
  void reopenRequested();
  // A starter asked this instance to quit; it has been answered.
  void quitRequested();

 private:
  enum class Lock { ours, theirs, unavailable };
  Lock takeLock();
  bool listen();
  void acceptConnections();
  void serve(QLocalSocket* client);

  QString path_;
  QLocalServer server_;
  int lockFd_ = -1;
};

}  // namespace hollin
