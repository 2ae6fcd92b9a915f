#include "app/platform/SingleInstance.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QLocalSocket>

namespace hollin {
namespace {

using namespace std::chrono_literals;

TEST(SingleInstance, SecondClaimFailsAndHandsItsUrlsOver) {
  testing::ensureApplication();
  QTemporaryDir folder;
  QString path = folder.filePath("hollin.socket");
  SingleInstance first(path);
  ASSERT_TRUE(first.claim());
  QStringList received;
  QObject::connect(&first, &SingleInstance::urlReceived, [&](const QString& url) { received << url; });

  SingleInstance second(path);
  EXPECT_FALSE(second.claim());
  // The lines wait in the socket until this thread's loop reads them.
  int reopened = 0;
  QObject::connect(&first, &SingleInstance::reopenRequested, [&] { ++reopened; });
  EXPECT_TRUE(SingleInstance::handOver(path, {"hollin://analysis", "hollin://other"}, 2s));
  ASSERT_TRUE(testing::waitUntil([&] { return received.size() == 2; }));
  EXPECT_EQ(received, (QStringList{"hollin://analysis", "hollin://other"}));
  // A plain launch hands over nothing: that asks for the window.
  EXPECT_TRUE(SingleInstance::handOver(path, {}, 2s));
  ASSERT_TRUE(testing::waitUntil([&] { return reopened == 1; }));
  EXPECT_EQ(received.size(), 2);
}

TEST(SingleInstance, SocketLeftByACrashedInstanceIsReplaced) {
  testing::ensureApplication();
  QTemporaryDir folder;
  QString path = folder.filePath("hollin.socket");
  {
    // A server that goes away without removing its socket file, as a killed process leaves it.
    QLocalServer crashed;
    crashed.setSocketOptions(QLocalServer::UserAccessOption);
    ASSERT_TRUE(crashed.listen(path));
    crashed.close();
    QFile placeholder(path);
    ASSERT_TRUE(placeholder.open(QIODevice::WriteOnly));  // still a file on disk, nobody listening
  }
  SingleInstance instance(path);
  EXPECT_TRUE(instance.claim());
}

TEST(SingleInstance, OversizedLineIsCutOffAndLaterPeersStillServed) {
  testing::ensureApplication();
  QTemporaryDir folder;
  QString path = folder.filePath("hollin.socket");
  SingleInstance instance(path);
  ASSERT_TRUE(instance.claim());
  QStringList received;
  QObject::connect(&instance, &SingleInstance::urlReceived, [&](const QString& url) { received << url; });

  QLocalSocket hostile;
  hostile.connectToServer(path);
  ASSERT_TRUE(hostile.waitForConnected(1000));
  hostile.write(QByteArray(64 * 1024, 'x'));
  hostile.flush();
  int reopened = 0;
  QObject::connect(&instance, &SingleInstance::reopenRequested, [&] { ++reopened; });
  EXPECT_TRUE(testing::waitUntil([&] { return hostile.state() == QLocalSocket::UnconnectedState; }));
  EXPECT_TRUE(received.isEmpty());
  EXPECT_EQ(reopened, 0) << "a peer cut off is no plain launch";

  QLocalSocket friendly;
  friendly.connectToServer(path);
  ASSERT_TRUE(friendly.waitForConnected(1000));
  friendly.write("hollin://analysis\n");
  friendly.flush();
  ASSERT_TRUE(testing::waitUntil([&] { return received.size() == 1; }));
  EXPECT_EQ(received, QStringList{"hollin://analysis"});
}

TEST(SingleInstance, HandOverWithoutAnInstanceFails) {
  testing::ensureApplication();
  QTemporaryDir folder;
  EXPECT_FALSE(SingleInstance::handOver(folder.filePath("nobody.socket"), {"hollin://analysis"}, 200ms));
}

}  // namespace
}  // namespace hollin
