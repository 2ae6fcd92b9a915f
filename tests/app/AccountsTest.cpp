// The accounts subsystem's switches and its publishing, on a real shared folder and a real
// autostart folder in temporary places; the alerts are answered by the test.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "TestSupport.h"
#include "app/accounts/AccountsSubsystem.h"
#include "core/BuildProfile.h"
#include "core/L10n.h"

namespace hollin {
namespace {

namespace fs = std::filesystem;

class AccountsTest : public ::testing::Test {
 protected:
  AccountsTest() {
    services_.settings = &settings_;
    services_.uid = sharingUIDs[0];
    services_.scope = AccountScope::m2Recording;
    services_.ask = [this](const AlertView& alert) { asked_.push_back(alert.title); return std::optional<int>(answer_); };
    services_.moment = [this] { Moment moment = moment_; subsystem_->contribute(moment); return moment; };
    const std::string autostart = root_.filePath("autostart/org.hollin.Hollin.desktop").toStdString();
    subsystem_ = std::make_unique<AccountsSubsystem>(services_, AccountsPlaces{folder(), autostart});
    snapshot_.uptime = 100;
    snapshot_.processes = {{7, sharingUIDs[0], 1, "editor", 1 << 20, 2 << 20}, {8, 0, 1, "daemon", 1, 1}};
    moment_.snapshot = std::make_shared<const Snapshot>(snapshot_);
    moment_.now = 101;
    moment_.uid = sharingUIDs[0];
    moment_.scope = AccountScope::m2Recording;
    moment_.language = "ja";
  }

  std::string folder() const { return root_.filePath("Hollin").toStdString(); }
  std::string report() const { return folder() + "/" + std::to_string(sharingUIDs[0]) + ".json"; }
  void share(bool on) { subsystem_->settingsControl(SettingsControl::sharing, on, services_.moment()); }
  Moment facts() const { return services_.moment(); }

  QTemporaryDir root_;
  MemorySettings settings_;
  Snapshot snapshot_;
  Moment moment_;
  int answer_ = 0;
  std::vector<std::string> asked_;
  std::unique_ptr<AccountsSubsystem> subsystem_;
  Services services_;
};

TEST_F(AccountsTest, SharingSwitchAsksPublishesAtOnceAndWithdrawsWhenSwitchedOff) {
  answer_ = 1;  // "キャンセル"
  share(true);
  EXPECT_FALSE(settings_.boolean(shareResponseStatusKey).has_value());
  EXPECT_FALSE(fs::exists(report()));

  answer_ = 0;
  share(true);
  EXPECT_EQ(settings_.boolean(shareResponseStatusKey), true);
  ASSERT_TRUE(fs::exists(report()));
  EXPECT_EQ(asked_.size(), 2u);
  // The report held for this account carries its own processes only, as the file does.
  const Moment shared = facts();
  ASSERT_EQ(shared.peerReports().size(), 1u);
  EXPECT_EQ(shared.peerReports()[0].memory.size(), 1u);
  EXPECT_TRUE(shared.peerReports()[0].hasFreshMemory(101));

  share(false);
  EXPECT_EQ(settings_.boolean(shareResponseStatusKey), false);
  EXPECT_FALSE(fs::exists(report()));
  EXPECT_EQ(asked_.size(), 2u) << "switching off asks nothing";
}

TEST_F(AccountsTest, AnUnusableFolderKeepsSharingOffOrShowsTheFailureOnTheSwitch) {
  ASSERT_EQ(::mkdir(folder().c_str(), 0755), 0);
  share(true);
  ASSERT_EQ(asked_.size(), 2u);
  EXPECT_EQ(asked_[1], L10n::text(msg("状態を共有できませんでした")));
  EXPECT_FALSE(settings_.boolean(shareResponseStatusKey).has_value());

  // Switched on earlier, the folder broken since: each finished check fails to publish, and
  // the switch says so until a publish succeeds again.
  settings_.setBoolean(shareResponseStatusKey, true);
  subsystem_->evaluate(moment_);  // the next tick reads the preference
  subsystem_->ownReportChanged(facts());
  Screen screen = blankScreen(AnalysisTab::settings, "ja");
  subsystem_->present(screen, facts());
  EXPECT_FALSE(facts().sharingHealthy);
  EXPECT_EQ(screen.sharingTip, L10n::render(msg("状態の共有に失敗しています。フォルダの状態を確認してください。"), "ja"));
  ASSERT_EQ(::chmod(folder().c_str(), 01777), 0);
  subsystem_->ownReportChanged(facts());
  EXPECT_TRUE(facts().sharingHealthy);
  EXPECT_TRUE(fs::exists(report()));
}

TEST_F(AccountsTest, LoginSwitchWritesAndRemovesTheAutostartEntry) {
  subsystem_->settingsControl(SettingsControl::login, true, facts());
  EXPECT_TRUE(facts().loginEnabled);
  subsystem_->settingsControl(SettingsControl::login, false, facts());
  EXPECT_FALSE(facts().loginEnabled);
  // A file where the autostart folder belongs: the switch stays off and the failure is told.
  fs::remove_all(root_.filePath("autostart").toStdString());
  std::ofstream(root_.filePath("autostart").toStdString()) << "x";
  subsystem_->settingsControl(SettingsControl::login, true, facts());
  EXPECT_FALSE(facts().loginEnabled);
  EXPECT_EQ(asked_, std::vector<std::string>{L10n::text(msg("ログイン時の起動を設定できませんでした"))});
}

}  // namespace
}  // namespace hollin
