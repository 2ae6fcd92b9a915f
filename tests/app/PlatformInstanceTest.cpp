#include "app/platform/SingleInstance.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QLocalSocket>

#include <future>

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
  // A starter's call (a hand-over, a quit request) from a thread of its own, as a later start
  // makes it from its own process, while this thread's loop serves whoever listens here.
  static bool served(const std::function<bool()>& call, std::chrono::milliseconds deadline = 2s) {
    auto done = std::async(std::launch::async, call);
    EXPECT_TRUE(testing::waitUntil([&] { return done.wait_for(0s) == std::future_status::ready; }, deadline + 2s))
        << "the starter waits no longer than its deadline";
    return done.get();
  }
  bool handOverServed(const QStringList& urls, std::chrono::milliseconds deadline = 2s) const {
    return served([&] { return SingleInstance::handOver(path_, urls, deadline); }, deadline);
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

// A killed instance's socket and lock, which the next claim replaces, are EndToEndTest's.
TEST_F(SingleInstanceTest, ClaimIsExclusiveAndTheInstanceAnswersHandOversAndQuitsForItselfOnly) {
  EXPECT_FALSE(SingleInstance::handOver(path_, {"hollin://analysis"}, 200ms)) << "nobody to hand over to";
  int quits = 0;
  QObject::connect(&instance_, &SingleInstance::quitRequested, [&] { ++quits; });
  ASSERT_TRUE(instance_.claim());
  EXPECT_FALSE(SingleInstance(path_).claim());
  ASSERT_TRUE(handOverServed({"hollin://analysis", "hollin://other"}));
  EXPECT_EQ(received_, (QStringList{"hollin://analysis", "hollin://other"})) << "taken in before the answer";
  EXPECT_EQ(reopened_, 0);
  ASSERT_TRUE(handOverServed({}));
  EXPECT_EQ(reopened_, 1) << "a plain launch asks for the window";

  const auto askToQuit = [&](qint64 pid) { return served([&] { return SingleInstance::askToQuit(path_, pid, 2s); }); };
  EXPECT_FALSE(askToQuit(::getpid() + 1)) << "another process listens here";
  EXPECT_EQ(quits, 0);
  EXPECT_TRUE(askToQuit(::getpid()));
  EXPECT_EQ(quits, 1);
  EXPECT_EQ(received_.size(), 2) << "no URL";
  EXPECT_EQ(reopened_, 1) << "no window";
}

TEST_F(SingleInstanceTest, OversizedOrUnfinishedRequestsAreDroppedAndLaterPeersStillServed) {
  ASSERT_TRUE(instance_.claim());
  const auto hostile = peer(QByteArray(64 * 1024, 'x'));
  EXPECT_TRUE(testing::waitUntil([&] { return hostile->state() == QLocalSocket::UnconnectedState; }));
  const auto longLine = peer("hollin://analysis\n" + QByteArray(5000, 'x') + "\n\n");
  EXPECT_TRUE(testing::waitUntil([&] { return longLine->state() == QLocalSocket::UnconnectedState; }));
  peer("hollin://unfinished\n")->disconnectFromServer();
  const auto friendly = peer("hollin://analysis\n\n");
  ASSERT_TRUE(testing::waitUntil([&] { return friendly->canReadLine(); }));
  EXPECT_EQ(friendly->readLine(), "ok\n");
  EXPECT_EQ(received_, QStringList{"hollin://analysis"});
  EXPECT_EQ(reopened_, 0) << "a peer cut off or gone early is no plain launch";
}

// Something else listens on the socket: it takes the connection and then hangs up, stays
// silent, or says something else.
TEST_F(SingleInstanceTest, HandOverFailsWithinItsDeadlineWhenTheListenerIsNoInstance) {
  const std::optional<QByteArray> replies[] = {std::nullopt, "", "no\n", "okay, sure\n", "ok"};
  for (const auto& reply : replies) {
    QLocalServer foreign;
    ASSERT_TRUE(foreign.listen(path_));
    QObject::connect(&foreign, &QLocalServer::newConnection, [&] {
      QLocalSocket* client = foreign.nextPendingConnection();
      if (!reply) client->abort();
      else if (!reply->isEmpty()) client->write(*reply);
    });
    EXPECT_FALSE(handOverServed({"hollin://analysis"}, 500ms)) << (reply ? reply->toStdString() : "hangs up");
  }
}

}  // namespace
}  // namespace hollin
