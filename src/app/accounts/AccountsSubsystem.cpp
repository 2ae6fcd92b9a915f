#include "app/accounts/AccountsSubsystem.h"

#include <QCoreApplication>

#include <nlohmann/json.hpp>

#include "app/accounts/AccountSetup.h"
#include "core/BuildProfile.h"
#include "core/L10n.h"
#include "core/scope/AccountsView.h"
#include "core/sharing/OwnReport.h"

namespace hollin {

AccountsSubsystem::AccountsSubsystem(Services services, AccountsPlaces places)
    : services_(std::move(services)), shared_(services_.scope, services_.uid, std::move(places.sharedFolder)),
      loginItem_(std::move(places.loginItem)) {}

void AccountsSubsystem::start() { readSettings(); }

// The preference is read anew once a tick, so a change by the set-up command shows at the next
// tick without a file read at every render.
void AccountsSubsystem::readSettings() {
  sharing_ = services_.settings && sharingEnabled(services_.scope, *services_.settings);
  loginEnabled_ = loginItem_.enabled();
}

// Every new snapshot refreshes the reports, unless the response check it started has done so.
void AccountsSubsystem::evaluate(const Moment& moment) {
  readSettings();
  if (refreshedFor_ != moment.snapshot && services_.moment) refreshPeers(services_.moment());
}

// A responsiveness check finished, or could not start: the others see it at once.
void AccountsSubsystem::ownReportChanged(const Moment& moment) {
  publish(moment);
  refreshPeers(moment);
}

PeerReport AccountsSubsystem::ownReport(const Moment& moment) const {
  return hollin::ownReport(moment, {buildProfile.shortVersion, loginEnabled_});
}

void AccountsSubsystem::refreshPeers(const Moment& moment) {
  std::vector<PeerReport> peers{ownReport(moment)};
  if (sharing_)
    for (std::uint32_t uid : services_.scope.allowedUIDs(services_.uid))
      if (uid != services_.uid)
        if (auto report = shared_.read(uid, moment.now)) peers.push_back(std::move(*report));
  peers_ = std::make_shared<const std::vector<PeerReport>>(std::move(peers));
  refreshedFor_ = moment.snapshot;
}

void AccountsSubsystem::publish(const Moment& moment) {
  if (!sharing_) return;
  const auto error = shared_.publish(ownReport(moment));
  // Said once when it starts failing, not at every tick it goes on failing.
  if (error && sharingHealthy_ && services_.log)
    services_.log("the account's report could not be shared: " + L10n::text(error->description()));
  sharingHealthy_ = !error;
}

void AccountsSubsystem::contribute(Moment& moment) {
  moment.reports = peers_;
  moment.sharing = sharing_;
  moment.sharingHealthy = sharingHealthy_;
  moment.loginEnabled = loginEnabled_;
}

void AccountsSubsystem::present(Screen& screen, const Moment& moment) {
  presentAccountTables(screen, moment);
  presentAccountNotes(screen, moment);
}

void AccountsSubsystem::record(nlohmann::json& record, const Moment& moment) const {
  recordAccounts(record, moment);
}

void AccountsSubsystem::settingsControl(SettingsControl control, bool on, const Moment& moment) {
  switch (control) {
    case SettingsControl::sharing: return toggleSharing(on, moment);
    case SettingsControl::login: return toggleLogin(on);
    case SettingsControl::setUp: return configureMonitoring();
  }
}

void AccountsSubsystem::tell(const LocalizedMessage& title, const std::string& text) const {
  if (services_.ask) services_.ask({L10n::text(title), text, {L10n::text(msg("閉じる"))}});
}

// The switch shows the stored preference at the next render, so a refusal only has to leave
// the preference as it was.
void AccountsSubsystem::toggleSharing(bool on, const Moment& moment) {
  if (!services_.scope.supportsSharing() || !services_.settings) return;
  if (on) {
    const AlertView question{
        L10n::text(msg("複数アカウントでメモリーと応答状態を共有しますか？")),
        L10n::text(msg("UID 501・502・503の間で、アプリ名・メモリー量・応答状態をこのMacの共有フォルダへ保存します。読み取りはこの3アカウントに制限します。文書や画面の文字は保存しません。別アカウントでも、このアプリの起動と共有設定が必要です。")),
        {L10n::text(msg("共有する")), L10n::text(msg("キャンセル"))}};
    if (!services_.ask || services_.ask(question) != 0) return;
    if (const auto error = shared_.publish(ownReport(moment))) {
      tell(msg("状態を共有できませんでした"), L10n::text(error->description()));
      return;
    }
    sharingHealthy_ = true;
  } else {
    shared_.withdraw();
  }
  services_.settings->setBoolean(shareResponseStatusKey, on);
  sharing_ = on;
  if (services_.moment) refreshPeers(services_.moment());
}

void AccountsSubsystem::toggleLogin(bool on) {
  const auto error = on ? loginItem_.registerItem() : loginItem_.unregisterItem();
  if (error)
    tell(msg("ログイン時の起動を設定できませんでした"),
         L10n::text(ShareError{ShareError::Kind::posix, *error}.description()));
  loginEnabled_ = loginItem_.enabled();
}

// The switches follow at the next render, whatever came of it; the controller then ticks.
void AccountsSubsystem::configureMonitoring() {
  if (!services_.settings) return;
  SetupEnvironment environment = SetupEnvironment::live({}, loginItem_, *services_.settings);
  environment.scope = services_.scope;
  const SetupOutcome outcome = configureCurrentAccount(false, environment);
  readSettings();
  // The very same program already runs in this account: that one stays, this one ends.
  if (outcome == SetupOutcome::sameCopyRunning) QCoreApplication::exit(0);
  if (outcome == SetupOutcome::failed)
    tell(msg("設定を完了できませんでした"),
         L10n::text(msg("ログイン時の起動を登録できないか、このアカウントのセッションを確認できません。「監視の設定」で状態を確認してください。OSの許可が必要な場合は、本人による設定が必要です。")));
}

}  // namespace hollin
