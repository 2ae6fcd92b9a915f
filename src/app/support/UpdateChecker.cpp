#include "app/support/UpdateChecker.h"

#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace hollin {
namespace {

using Outcome = UpdateCheck::FetchOutcome;

// The proxies the session names (https_proxy and no_proxy), asked for each request.
class SessionProxies final : public QNetworkProxyFactory {
 public:
  QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override { return systemProxyForQuery(query); }
};

// Errors of the connection itself, before any answer: the network or the server's address
// could not be reached, or the wait ran out. A certificate that is refused is not one of them:
// the server was reached, and what it presented is not taken as an answer.
bool isNetworkFailure(QNetworkReply::NetworkError error) {
  switch (error) {
    case QNetworkReply::NoError:
    case QNetworkReply::SslHandshakeFailedError:
    case QNetworkReply::TooManyRedirectsError:
    case QNetworkReply::InsecureRedirectError: return false;
    default: return error < QNetworkReply::ContentAccessDenied;  // the network's and the proxy's
  }
}

}  // namespace

UpdateChecker::UpdateChecker(std::string host, std::chrono::milliseconds timeout, QObject* parent)
    : QObject(parent), host_(std::move(host)), timeout_(timeout) {
  manager_.setProxyFactory(new SessionProxies);
  deadline_.setSingleShot(true);
  deadline_.setInterval(2 * timeout_);
  connect(&deadline_, &QTimer::timeout, this, [this] {
    if (reply_) reply_->abort();
  });
}

UpdateChecker::~UpdateChecker() {
  done_ = nullptr;
  if (reply_) reply_->abort();
}

void UpdateChecker::fetchLatestVersion(std::function<void(Outcome)> done) {
  done_ = std::move(done);
  const auto url = UpdateCheck::url(host_);
  if (!url) {
    QTimer::singleShot(0, this, [this] { finish({Outcome::Kind::noAnswer, {}}); });
    return;
  }
  QNetworkRequest request(QUrl(QString::fromStdString(*url), QUrl::StrictMode));
  request.setTransferTimeout(static_cast<int>(timeout_.count()));
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
  request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
  request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
  request.setRawHeader("Accept", "application/json");
  request.setRawHeader("User-Agent", "Hollin");
  request.setRawHeader("Accept-Language", "*");
  reply_ = manager_.get(request);
  connect(reply_, &QNetworkReply::readyRead, this, &UpdateChecker::received);
  connect(reply_, &QNetworkReply::finished, this, &UpdateChecker::finished);
  deadline_.start();
}

void UpdateChecker::received() {
  if (tooLarge_ || !reply_ || !reply_->isOpen()) return;
  body_ += reply_->read(static_cast<qint64>(UpdateCheck::bodyLimit) + 1 - body_.size());
  if (body_.size() > static_cast<qsizetype>(UpdateCheck::bodyLimit)) {
    tooLarge_ = true;
    reply_->abort();
  }
}

void UpdateChecker::finished() {
  if (!reply_) return;
  received();
  QNetworkReply* reply = reply_;
  reply_ = nullptr;
  reply->deleteLater();
  deadline_.stop();
  if (tooLarge_) return finish({Outcome::Kind::noAnswer, {}});
  if (isNetworkFailure(reply->error())) return finish({Outcome::Kind::unreachable, {}});
  const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
  if (!status.isValid() || status.toInt() != 200) return finish({Outcome::Kind::noAnswer, {}});
  const QVariant type = reply->header(QNetworkRequest::ContentTypeHeader);
  const std::string typeText = type.toString().toStdString();
  const std::span<const char> body(body_.constData(), static_cast<std::size_t>(body_.size()));
  const std::optional<std::string_view> contentType =
      type.isValid() ? std::optional<std::string_view>(typeText) : std::nullopt;
  if (UpdateCheck::looksLikeUpdateResponse(contentType, body))
    if (auto version = UpdateCheck::parse(body)) return finish({Outcome::Kind::version, *version});
  finish({Outcome::Kind::noAnswer, {}});
}

void UpdateChecker::finish(Outcome outcome) {
  if (auto done = std::exchange(done_, nullptr)) done(std::move(outcome));
}

}  // namespace hollin
