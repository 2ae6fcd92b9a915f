#include "app/platform/SingleInstance.h"

#include "app/platform/DataFolder.h"

#include <QDir>
#include <QLocalSocket>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

namespace hollin {
namespace {

constexpr qint64 longestLine = 4096;  // a URL longer than this is not ours

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

bool SingleInstance::claim() {
  if (lockFd_ >= 0) return server_.isListening();
  // The lock decides who is the instance: the kernel drops it when its holder dies, so a crash
  // never leaves a stale claim, and two starters at the same moment cannot both win. (Listening
  // alone cannot tell: Qt moves a fresh socket over any existing one.)
  QByteArray lockPath = (path_ + QStringLiteral(".lock")).toLocal8Bit();
  int fd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  lockFd_ = fd;
  QLocalServer::removeServer(path_);  // whatever a crashed instance left behind
  return server_.listen(path_);
}

SingleInstance::~SingleInstance() {
  server_.close();
  if (lockFd_ >= 0) ::close(lockFd_);
}

bool SingleInstance::handOver(const QString& socketPath, const QStringList& urls, std::chrono::milliseconds deadline) {
  QLocalSocket socket;
  socket.connectToServer(socketPath);
  if (!socket.waitForConnected(static_cast<int>(deadline.count()))) return false;
  for (const auto& url : urls) socket.write(url.toUtf8() + '\n');
  socket.flush();
  socket.disconnectFromServer();
  return socket.state() == QLocalSocket::UnconnectedState ||
         socket.waitForDisconnected(static_cast<int>(deadline.count()));
}

void SingleInstance::acceptConnections() {
  while (QLocalSocket* client = server_.nextPendingConnection()) {
    // A later start that hands over no URL is a plain launch: the user asks for the window.
    auto handedURL = std::make_shared<bool>(false);
    connect(client, &QLocalSocket::disconnected, this, [this, client, handedURL] {
      client->deleteLater();
      if (!*handedURL) emit reopenRequested();
    });
    connect(client, &QLocalSocket::readyRead, this, [this, client, handedURL] {
      while (client->canReadLine()) {
        QByteArray line = client->readLine(longestLine).trimmed();
        if (line.isEmpty()) continue;
        *handedURL = true;
        emit urlReceived(QString::fromUtf8(line));
      }
      // A peer that sends a huge line without an end is cut off rather than buffered forever,
      // and is no plain launch either.
      if (client->bytesAvailable() > longestLine) {
        *handedURL = true;
        client->abort();
      }
    });
  }
}

}  // namespace hollin
