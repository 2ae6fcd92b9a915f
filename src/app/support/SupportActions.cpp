#include "app/support/SupportActions.h"

#include <QAction>
#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QProcess>
#include <QUrl>

#include "app/support/UpdateChecker.h"
#include "app/views/QtText.h"
#include "core/L10n.h"

namespace hollin {

SupportActions::SupportActions(Setup setup, QObject* parent) : QObject(parent), setup_(std::move(setup)) {}

SupportActions::~SupportActions() = default;

std::optional<int> SupportActions::ask(const AlertView& alert) const {
  return setup_.ask ? setup_.ask(alert) : std::nullopt;
}

void SupportActions::checkForUpdate(const std::string& currentVersion, QAction* menuItem) {
  if (isCheckingUpdate()) return;
  menuItem_ = menuItem;
  if (menuItem_) {
    menuTitle_ = menuItem_->text();
    menuItem_->setText(qText(L10n::render(msg("アップデートを確認中…"), setup_.language)));
  }
  checker_ = std::make_unique<UpdateChecker>(setup_.updateHost, setup_.timeout);
  checker_->fetchLatestVersion([this, currentVersion](UpdateCheck::FetchOutcome outcome) {
    // The checker is done with its reply; it goes once this call has returned.
    checker_.release()->deleteLater();
    if (menuItem_) menuItem_->setText(menuTitle_);
    const UpdateCheck::Status status = UpdateCheck::decide(outcome, currentVersion);
    const auto chosen = ask(UpdateCheck::panel(status, setup_.language));
    if (status.kind == UpdateCheck::Status::Kind::updateAvailable && chosen == 0)
      QDesktopServices::openUrl(QUrl(qText(UpdateCheck::downloadPageURL(setup_.language))));
  });
}

void SupportActions::sendFeedback(const FeedbackReport::Environment& environment) {
  const auto chosen = ask(FeedbackReport::promptAlert(setup_.language));
  if (chosen == 1) return copyReport(environment);
  if (chosen != 0) return;
  const auto url = FeedbackReport::mailtoURL(environment);
  // QUrl keeps the percent-encoding as it is, so the mail program gets exactly this text.
  if (url && mailHandlerAvailable() && QDesktopServices::openUrl(QUrl(qText(*url), QUrl::StrictMode))) return;
  if (ask(FeedbackReport::noDraftAlert(setup_.language)) == 0) copyReport(environment);
}

void SupportActions::copyReport(const FeedbackReport::Environment& environment) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  clipboard->setText(qText(FeedbackReport::clipboardText(environment)));
  ask(FeedbackReport::copiedAlert(setup_.language));
}

bool mailHandlerAvailable() {
  QProcess query;
  query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                           QStringLiteral("x-scheme-handler/mailto")});
  if (!query.waitForFinished(3000)) {
    query.kill();
    query.waitForFinished(1000);
    return false;
  }
  return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0 &&
         !query.readAllStandardOutput().trimmed().isEmpty();
}

}  // namespace hollin
