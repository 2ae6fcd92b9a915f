// One request for the latest published version: a GET over TLS with the certificate checked,
// no cookies, no cache, no redirects followed, and limits on its time and its size.
#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <functional>
#include <string>

#include "core/support/UpdateCheck.h"

class QNetworkReply;

namespace hollin {

class UpdateChecker : public QObject {
  Q_OBJECT
 public:
  // `timeout`: the longest wait for any progress; the whole request gets twice that.
  UpdateChecker(std::string host, std::chrono::milliseconds timeout, QObject* parent = nullptr);
  ~UpdateChecker() override;

  // Starts the request. `done` runs once, later, on this object's thread, with what came back;
  // destroying the checker first cancels the request without calling it.
  void fetchLatestVersion(std::function<void(UpdateCheck::FetchOutcome)> done);

 private:
  void received();
  void finished();
  void finish(UpdateCheck::FetchOutcome outcome);

  std::string host_;
  std::chrono::milliseconds timeout_;
  QNetworkAccessManager manager_;
  QPointer<QNetworkReply> reply_;
  QTimer deadline_;
  QByteArray body_;
  bool tooLarge_ = false;
  std::function<void(UpdateCheck::FetchOutcome)> done_;
};

}  // namespace hollin
