// The accounts of this machine: the reports every account shares about itself (this account's
// own, published, and the others' read back), the sharing and login switches and the set-up
// button, the users and settings tabs, the coverage and permission lines.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/accounts/LoginItem.h"
#include "app/accounts/SharedReports.h"
#include "app/tick/Subsystem.h"

namespace hollin {

// Where the subsystem's files are; tests put both in temporary folders.
struct AccountsPlaces {
  std::string sharedFolder = std::string(hollin::sharedFolder);
  std::string loginItem = LoginItem::defaultPath();
};

class AccountsSubsystem final : public Subsystem {
 public:
  explicit AccountsSubsystem(Services services, AccountsPlaces places = {});

  void start() override;
  void evaluate(const Moment& moment) override;
  void ownReportChanged(const Moment& moment) override;
  void contribute(Moment& moment) override;
  void present(Screen& screen, const Moment& moment) override;
  void record(nlohmann::json& record, const Moment& moment) const override;
  void settingsControl(SettingsControl control, bool on, const Moment& moment) override;

 private:
  void readSettings();
  PeerReport ownReport(const Moment& moment) const;
  void refreshPeers(const Moment& moment);
  void publish(const Moment& moment);
  void toggleSharing(bool on, const Moment& moment);
  void toggleLogin(bool on);
  void configureMonitoring();
  void tell(const LocalizedMessage& title, const std::string& text) const;

  Services services_;
  SharedReports shared_;
  LoginItem loginItem_;
  std::shared_ptr<const std::vector<PeerReport>> peers_;  // own first, then the others read
  std::shared_ptr<const Snapshot> refreshedFor_;  // the snapshot of the last refresh
  bool sharing_ = false;  // the scope shares and the user switched sharing on
  bool sharingHealthy_ = true;
  bool loginEnabled_ = false;
};

}  // namespace hollin
