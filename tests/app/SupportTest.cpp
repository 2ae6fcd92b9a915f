// The update check against a real HTTPS server on the loopback address, with certificates made
// for the test: what counts as an answer, what is refused, and the menu row during a check.
#include <gtest/gtest.h>

#include <QAction>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>

#include "TestSupport.h"
#include "app/support/SupportActions.h"
#include "app/support/UpdateChecker.h"
#include "core/L10n.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;
using Outcome = UpdateCheck::FetchOutcome;

// A self-signed certificate for 127.0.0.1 made by openssl, with its key.
struct Identity {
  QSslCertificate certificate;
  QSslKey key;
};

std::optional<Identity> makeIdentity(const QString& folder, const QString& name) {
  const QString key = folder + "/" + name + ".key", certificate = folder + "/" + name + ".pem";
  const auto made = testing::runToEnd("openssl", {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                                 "-nodes", "-keyout", key, "-out", certificate, "-days", "2", "-subj",
                                                 "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"},
                                      QProcessEnvironment::systemEnvironment());
  QFile keyFile(key), certificateFile(certificate);
  if (made.status != 0 || !keyFile.open(QIODevice::ReadOnly) || !certificateFile.open(QIODevice::ReadOnly)) return std::nullopt;
  Identity identity{QSslCertificate(certificateFile.readAll()), QSslKey(keyFile.readAll(), QSsl::Ec)};
  if (identity.certificate.isNull() || identity.key.isNull()) return std::nullopt;
  return identity;
}

// Answers each request for /latest.json as its mode says; anything else gets a valid answer,
// so a redirect that was followed would show.
class UpdateServer : public QObject {
 public:
  enum class Mode { answer, moved, html, tooLarge, silent };

  UpdateServer(const Identity& identity, Mode mode, QByteArray version = "0.1.0") : mode_(mode), version_(std::move(version)) {
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(identity.certificate);
    configuration.setPrivateKey(identity.key);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    server_.setSslConfiguration(configuration);
    server_.listen(QHostAddress::LocalHost);
    connect(&server_, &QTcpServer::pendingConnectionAvailable, this, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) {
        ++connections;
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
      }
    });
  }
  std::string host() const { return "127.0.0.1:" + std::to_string(server_.serverPort()); }

  int connections = 0;         // taken past the TLS handshake
  QList<QByteArray> requests;  // each request's head

 private:
  void serve(QTcpSocket* socket) {
    QByteArray& head = heads_[socket];
    head += socket->readAll();
    if (!head.contains("\r\n\r\n")) return;
    requests << head;
    if (mode_ == Mode::silent) return;
    const QByteArray answer = "{\"version\": \"" + version_ + "\"}";
    const bool latest = head.startsWith("GET /latest.json ");
    QByteArray reply = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                       QByteArray::number(answer.size()) + "\r\nConnection: close\r\n\r\n" + answer;
    if (latest && mode_ == Mode::moved)
      reply = "HTTP/1.1 301 Moved Permanently\r\nLocation: /elsewhere.json\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    if (latest && mode_ == Mode::html) reply.replace("application/json", "text/html");
    // Valid JSON with trailing blanks: only its size can refuse it.
    if (latest && mode_ == Mode::tooLarge)
      reply = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 70000\r\nConnection: close\r\n\r\n" +
              answer + QByteArray(70'000 - answer.size(), ' ');
    socket->write(reply);
    socket->disconnectFromHost();
  }

  QSslServer server_;
  Mode mode_;
  QByteArray version_;
  std::map<QTcpSocket*, QByteArray> heads_;
};

class UpdateCheckTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    testing::ensureApplication();
    for (const char* proxy : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) qunsetenv(proxy);
    folder_ = new QTemporaryDir;
    trusted_ = makeIdentity(folder_->path(), "trusted");
    stranger_ = makeIdentity(folder_->path(), "stranger");
    if (!trusted_) return;
    // Trusted by every request made from here on, as a system authority would be.
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.addCaCertificate(trusted_->certificate);
    QSslConfiguration::setDefaultConfiguration(configuration);
  }
  void SetUp() override {
    if (!QSslSocket::supportsSsl() || !trusted_ || !stranger_) GTEST_SKIP() << "no TLS backend or no openssl to make certificates";
  }

  static Outcome fetch(const std::string& host, std::chrono::milliseconds timeout = 5s) {
    UpdateChecker checker(host, timeout);
    std::optional<Outcome> outcome;
    checker.fetchLatestVersion([&](Outcome fetched) { outcome = std::move(fetched); });
    EXPECT_TRUE(testing::waitUntil([&] { return outcome.has_value(); }, 15s));
    return outcome.value_or(Outcome{Outcome::Kind::noAnswer, "never finished"});
  }

  static inline QTemporaryDir* folder_ = nullptr;
  static inline std::optional<Identity> trusted_, stranger_;
};

TEST_F(UpdateCheckTest, OnlyAJSONAnswerOfATrustedServerCounts) {
  using Mode = UpdateServer::Mode;
  const std::tuple<const char*, Mode, QByteArray, Outcome> rows[] = {
      {"the current version", Mode::answer, "0.1.0", {Outcome::Kind::version, "0.1.0"}},
      {"a newer version", Mode::answer, "0.2", {Outcome::Kind::version, "0.2"}},
      {"a redirect, not followed", Mode::moved, "0.2", {Outcome::Kind::noAnswer, ""}},
      {"HTML", Mode::html, "0.2", {Outcome::Kind::noAnswer, ""}},
      {"70,000 bytes", Mode::tooLarge, "0.2", {Outcome::Kind::noAnswer, ""}},
  };
  QByteArray head;  // of the first request
  for (const auto& [label, mode, version, expected] : rows) {
    UpdateServer server(*trusted_, mode, version);
    EXPECT_EQ(fetch(server.host()), expected) << label;
    EXPECT_EQ(server.requests.size(), 1) << label;
    if (head.isEmpty()) head = server.requests.value(0);
  }
  for (const char* line : {"GET /latest.json HTTP/1.1\r\n", "\r\nAccept: application/json\r\n", "\r\nUser-Agent: Hollin\r\n",
                           "\r\nAccept-Language: *\r\n"})
    EXPECT_TRUE(head.contains(line)) << line << " in " << head.toStdString();
  EXPECT_FALSE(head.toLower().contains("\r\ncookie:"));
}

TEST_F(UpdateCheckTest, AStrangeCertificateARefusedConnectionAndSilenceGiveNoVersion) {
  UpdateServer stranger(*stranger_, UpdateServer::Mode::answer);
  EXPECT_EQ(fetch(stranger.host()), (Outcome{Outcome::Kind::noAnswer, ""}));
  EXPECT_EQ(stranger.connections, 0) << "the handshake was never accepted, so no request was read";

  QTcpServer closed;
  ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
  const std::string refused = "127.0.0.1:" + std::to_string(closed.serverPort());
  closed.close();
  EXPECT_EQ(fetch(refused), (Outcome{Outcome::Kind::unreachable, ""}));

  UpdateServer silent(*trusted_, UpdateServer::Mode::silent);
  EXPECT_EQ(fetch(silent.host(), 400ms), (Outcome{Outcome::Kind::unreachable, ""}));
  EXPECT_EQ(fetch(""), (Outcome{Outcome::Kind::noAnswer, ""})) << "a build without a host asks no one";
}

TEST_F(UpdateCheckTest, TheRowDoesNothingWhileACheckRunsAndThePanelSaysWhatCameOfIt) {
  UpdateServer silent(*trusted_, UpdateServer::Mode::silent);
  std::vector<AlertView> shown;
  SupportActions support({"ja", silent.host(), 500ms, [&shown](const AlertView& alert) {
                             shown.push_back(alert);
                             return std::optional<int>(0);
                           }});
  QAction row("アップデートを確認…");
  support.checkForUpdate("0.1.0", &row);
  EXPECT_TRUE(support.isCheckingUpdate());
  EXPECT_EQ(row.text(), "アップデートを確認中…");
  ASSERT_TRUE(testing::waitUntil([&] { return silent.connections == 1; }));
  support.checkForUpdate("0.1.0", &row);
  ASSERT_TRUE(testing::waitUntil([&] { return !shown.empty(); }));
  EXPECT_FALSE(support.isCheckingUpdate());
  EXPECT_EQ(row.text(), "アップデートを確認…");
  EXPECT_EQ(silent.connections, 1) << "the second choice made no request";
  EXPECT_EQ(shown, std::vector{UpdateCheck::panel({UpdateCheck::Status::Kind::unknown, "", "", false}, "ja")});
}

}  // namespace
}  // namespace hollin
