#include "app/platform/SingleInstance.h"

#include "app/platform/DataFolder.h"
#include "native/ChildProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace hollin {
namespace {

constexpr qint64 longestLine = 4096;  // a URL longer than this is not ours
const QByteArray answer = QByteArrayLiteral("ok\n");
const QByteArray quitLine = QByteArrayLiteral("quit");

int milliseconds(const QDeadlineTimer& timer) { return static_cast<int>(timer.remainingTime()); }

// Waits for `events` on fd until the deadline; false when it passed first or the wait failed.
bool await(int fd, short events, const QDeadlineTimer& timer) {
  pollfd entry{fd, events, 0};
  int ready = 0;
  while ((ready = ::poll(&entry, 1, std::max(milliseconds(timer), 0))) < 0 && errno == EINTR) {}
  return ready > 0;
}

}  // namespace

std::optional<QString> instanceSocketPath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/' && QDir(QString::fromLocal8Bit(runtime)).exists())
    return QString::fromLocal8Bit(runtime) + QStringLiteral("/hollin.socket");
  if (auto folder = ensureDataFolder()) return QString::fromStdString(*folder) + QStringLiteral("/hollin.socket");
  return std::nullopt;
}

SingleInstance::SingleInstance(QString socketPath, QObject* parent) : QObject(parent), path_(std::move(socketPath)) {
  server_.setSocketOptions(QLocalServer::UserAccessOption);  // no other account may connect
  connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
}

SingleInstance::~SingleInstance() {
  server_.close();
  if (lockFd_ >= 0) ::close(lockFd_);
}

bool SingleInstance::claim() { return takeLock() == Lock::ours && listen(); }

SingleInstance::Start SingleInstance::claimOrHandOver(const QStringList& urls, std::chrono::milliseconds deadline) {
  Lock lock = takeLock();
  if (lock == Lock::theirs) {
    if (handOver(path_, urls, deadline)) return Start::handedOver;
    lock = takeLock();
  }
  switch (lock) {
    case Lock::ours: return listen() ? Start::instance : Start::unavailable;
    case Lock::theirs: return Start::unanswered;
    case Lock::unavailable: return Start::unavailable;
  }
  return Start::unavailable;
}

SingleInstance::Lock SingleInstance::takeLock() {
  if (lockFd_ >= 0) return Lock::ours;
  // The lock decides who is the instance: the kernel drops it when its holder dies, so a crash
  // never leaves a stale claim, and two starters at the same moment cannot both win. (Listening
  // alone cannot tell: Qt moves a fresh socket over any existing one.)
  const QByteArray lockPath = (path_ + QStringLiteral(".lock")).toLocal8Bit();
  const int fd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return Lock::unavailable;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return held ? Lock::theirs : Lock::unavailable;
  }
  lockFd_ = fd;
  return Lock::ours;
}

bool SingleInstance::listen() {
  if (server_.isListening()) return true;
  QLocalServer::removeServer(path_);  // whatever a crashed instance left behind
  return server_.listen(path_);
}

bool SingleInstance::handOver(const QString& socketPath, const QStringList& urls, std::chrono::milliseconds deadline) {
  const QDeadlineTimer timer(deadline);
  QLocalSocket socket;
  socket.connectToServer(socketPath);
  if (!socket.waitForConnected(milliseconds(timer))) return false;
  QByteArray request;
  for (const auto& url : urls) request += url.toUtf8() + '\n';
  socket.write(request + '\n');
  while (socket.bytesToWrite() > 0)
    if (!socket.waitForBytesWritten(milliseconds(timer))) return false;
  // Whatever is not the answer (silence, a close, other bytes) means nobody took the URLs.
  while (!socket.canReadLine() && socket.bytesAvailable() < answer.size())
    if (!socket.waitForReadyRead(milliseconds(timer))) return false;
  return socket.readLine(answer.size() + 1) == answer;
}

bool SingleInstance::askToQuit(const QString& socketPath, qint64 pid, std::chrono::milliseconds deadline) {
  const QDeadlineTimer timer(deadline);
  const QByteArray path = socketPath.toLocal8Bit();
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.isEmpty() || static_cast<std::size_t>(path.size()) >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
  const native::Descriptor connection(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  const int fd = connection.get();
  if (fd < 0) return false;
  // A local connection is made at once or not at all (a full backlog refuses it).
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return false;
  // The listener's process as the kernel recorded it: the quit goes to that copy or to none.
  ucred listener{};
  socklen_t size = sizeof listener;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &listener, &size) != 0 || listener.pid != pid) return false;
  const QByteArray request = quitLine + "\n\n";
  if (::send(fd, request.constData(), static_cast<std::size_t>(request.size()), MSG_NOSIGNAL) != request.size())
    return false;
  QByteArray reply;
  char chunk[16];
  while (!reply.contains('\n') && reply.size() <= answer.size() && await(fd, POLLIN, timer)) {
    const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got <= 0) break;
    reply.append(chunk, got);
  }
  return reply == answer;
}

void SingleInstance::acceptConnections() {
  while (QLocalSocket* client = server_.nextPendingConnection()) serve(client);
}

void SingleInstance::serve(QLocalSocket* client) {
  connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
  auto urls = std::make_shared<QStringList>();
  connect(client, &QLocalSocket::readyRead, this, [this, client, urls] {
    // A peer that sends a line longer than any URL of ours is cut off rather than buffered
    // forever, and what it sent before goes with it.
    while (client->canReadLine()) {
      const QByteArray line = client->readLine(longestLine);
      if (!line.endsWith('\n')) {
        client->abort();
        return;
      }
      if (const QByteArray url = line.trimmed(); !url.isEmpty()) {
        *urls << QString::fromUtf8(url);
        continue;
      }
      // The empty line ends the request: act on it, then answer, so that the starter's success
      // means the URLs are in this process's hands.
      QObject::disconnect(client, nullptr, this, nullptr);
      if (*urls == QStringList{QString::fromLatin1(quitLine)}) {
        // Answered first: quitting may end this process before the loop writes anything more.
        client->write(answer);
        client->flush();
        client->disconnectFromServer();
        emit quitRequested();
        return;
      }
      if (urls->isEmpty()) emit reopenRequested();  // a plain launch: the user asks for the window
      for (const QString& url : *urls) emit urlReceived(url);
      client->write(answer);
      client->disconnectFromServer();
      return;
    }
    if (client->bytesAvailable() > longestLine) client->abort();
  });
}

}  // namespace hollin
