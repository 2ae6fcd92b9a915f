#include "app/platform/SingleInstance.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QLocalSocket>

namespace hollin {
namespace {

using namespace std::chrono_literals;

// An instance on a socket in a folder of its own, with what later starts hand it written down.
class SingleInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ensureApplication();
    QObject::connect(&instance_, &SingleInstance::urlReceived, [this](const QString& url) { received_ << url; });
    QObject::connect(&instance_, &SingleInstance::reopenRequested, [this] { ++reopened_; });
  }
  // A peer of the instance that has written `bytes`.
  std::unique_ptr<QLocalSocket> peer(const QByteArray& bytes) const {
    auto socket = std::make_unique<QLocalSocket>();
    socket->connectToServer(path_);
    EXPECT_TRUE(socket->waitForConnected(1000));
    socket->write(bytes);
    socket->flush();
    return socket;
  }

  QTemporaryDir folder_;
  const QString path_ = folder_.filePath("hollin.socket");
  SingleInstance instance_{path_};
  QStringList received_;
  int reopened_ = 0;
};

TEST_F(SingleInstanceTest, ClaimReplacesACrashedOnesSocketAndASecondClaimHandsItsUrlsOver) {
  EXPECT_FALSE(SingleInstance::handOver(path_, {"hollin://analysis"}, 200ms)) << "nobody to hand over to";
  {
    // A server that goes away without removing its socket file, as a killed process leaves it.
    QLocalServer crashed;
    crashed.setSocketOptions(QLocalServer::UserAccessOption);
    ASSERT_TRUE(crashed.listen(path_));
    crashed.close();
    QFile placeholder(path_);
    ASSERT_TRUE(placeholder.open(QIODevice::WriteOnly));  // still a file on disk, nobody listening
  }
  ASSERT_TRUE(instance_.claim());
  EXPECT_FALSE(SingleInstance(path_).claim());
  // The lines wait in the socket until this thread's loop reads them.
  EXPECT_TRUE(SingleInstance::handOver(path_, {"hollin://analysis", "hollin://other"}, 2s));
  ASSERT_TRUE(testing::waitUntil([&] { return received_.size() == 2; }));
  EXPECT_EQ(received_, (QStringList{"hollin://analysis", "hollin://other"}));
  EXPECT_TRUE(SingleInstance::handOver(path_, {}, 2s));
  ASSERT_TRUE(testing::waitUntil([&] { return reopened_ == 1; })) << "a plain launch asks for the window";
  EXPECT_EQ(received_.size(), 2);
}

TEST_F(SingleInstanceTest, OversizedLineIsCutOffAndLaterPeersStillServed) {
  ASSERT_TRUE(instance_.claim());
  const auto hostile = peer(QByteArray(64 * 1024, 'x'));
  EXPECT_TRUE(testing::waitUntil([&] { return hostile->state() == QLocalSocket::UnconnectedState; }));
  EXPECT_TRUE(received_.isEmpty());
  EXPECT_EQ(reopened_, 0) << "a peer cut off is no plain launch";
  const auto friendly = peer("hollin://analysis\n");
  ASSERT_TRUE(testing::waitUntil([&] { return received_.size() == 1; }));
  EXPECT_EQ(received_, QStringList{"hollin://analysis"});
}

}  // namespace
}  // namespace hollin
