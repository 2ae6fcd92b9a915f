// The backup rules and the backup tools' texts: Déjà Dup's settings, Timeshift's configuration
// and snapshot names, the archive's dates, the warnings and the health table's row.
#include <gtest/gtest.h>

#include "CoreFixtures.h"
#include "core/early/Backup.h"
#include "core/early/DejaDup.h"
#include "core/early/TimeMachine.h"
#include "core/early/Timeshift.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;
using std::nullopt;
constexpr auto day = 24h;

using test::utc;

const WallTime now = utc(2024, 6, 1, 12);

TEST(BackupArchive, RemembersTheNewestBackupAndWatchesAConfiguredDestination) {
  const auto with = [](WallTime latest) { return BackupStatus::with(true, nullopt, latest, false); };
  EXPECT_EQ(TimeMachine::latest(with(now + 300s), now - day, now), now + 300s);
  EXPECT_EQ(TimeMachine::latest(with(now + 301s), now - day, now), now - day) << "a date in the future";

  EarlyWatchArchive archive;
  const auto mounted = BackupStatus::with(true, nullopt, now - 3 * day, true);
  EXPECT_TRUE(archive.recordBackup(mounted, now));
  EXPECT_EQ(std::tuple(archive.lastBackup, archive.backupWatchSince, archive.lastMounted), std::tuple(now - 3 * day, now, now));
  EXPECT_FALSE(archive.recordBackup(mounted, now + 3599s)) << "the mount is noted at most once an hour";
  EXPECT_TRUE(archive.recordBackup(mounted, now + 3600s));
  EXPECT_FALSE(archive.recordBackup(BackupStatus::with(true, nullopt, now - 4 * day, false), now + 2h)) << "an older backup";
  EXPECT_FALSE(archive.recordBackup(now + 2h + 301s, now + 2h)) << "a backup in the future";
  EXPECT_TRUE(archive.recordBackup(BackupStatus::with(nullopt, nullopt, now + 2h, true), now + 2h));
  EXPECT_EQ(std::tuple(archive.lastBackup, archive.lastMounted), std::tuple(now + 2h, now + 3600s))
      << "the backup is kept; nothing is watched while it is unknown whether backups are set up";
}

TEST(BackupWarning, DaysWithoutABackupReachTheTiers) {
  for (const auto& [age, tier] : {std::pair<std::chrono::seconds, const char*>{7 * day - 1s, ""}, {29 * day + 23h, "14/2"}, {30 * day, "30/3"}}) {
    const auto warning = EarlyWarnings::backup(now - age, true, now, "en");
    EXPECT_EQ(warning ? warning->signature + "/" + std::to_string(warning->severity) : "", tier) << age.count();
  }
  EXPECT_FALSE(EarlyWarnings::backup(now - 40 * day, false, now, "en")) << "not shown";

  EXPECT_EQ(EarlyWarnings::backup(now - 7 * day, true, now, "en"),
            (EarlyWarning{"backup", "7", false, "Backups have stopped",
                          "It has been 7 days since the last backup. Check that the backup disk or server can be reached.",
                          259200, 1}));
}

TEST(BackupWarning, ADestinationNeverSeenIsReportedAfterAWeekOfWatching) {
  const auto unread = BackupStatus::with(true, nullopt, nullopt, false);
  EarlyWatchArchive archive;
  archive.recordBackup(unread, now - 14 * day);
  EXPECT_EQ(EarlyWarnings::backup(unread, archive, now, "en"),
            (EarlyWarning{"backup", "14", false, "Backups cannot be checked",
                          "For 14 days no backup could be confirmed. Connect the backup disk or check the backup settings.",
                          259200, 2}));

  archive.lastMounted = now - 6 * day;
  EXPECT_FALSE(EarlyWarnings::backup(unread, archive, now, "en")) << "counted from the last time it was seen";
  EXPECT_FALSE(EarlyWarnings::backup(BackupStatus{}, archive, now, "en")) << "unknown, and no backup ever seen";
  archive.lastBackup = now - 8 * day;
  EXPECT_EQ(EarlyWarnings::backup(BackupStatus{}, archive, now, "en")->title, "Backups have stopped")
      << "a remembered backup is enough to show it";
}

TEST(BackupWarning, TurningBackupsOffClearsTheWatchAndTheRow) {
  EarlyWatchArchive archive;
  archive.recordBackup(BackupStatus::with(true, true, now - 40 * day, true), now - 20 * day);
  const auto off = BackupStatus::with(false, false, nullopt, false);
  EXPECT_TRUE(archive.recordBackup(off, now));
  EXPECT_EQ(std::tuple(archive.lastBackup, archive.backupWatchSince, archive.lastMounted), std::tuple(now - 40 * day, nullopt, nullopt))
      << "the last backup is kept";
  EXPECT_FALSE(EarlyWarnings::backup(off, archive, now, "en"));
  EXPECT_FALSE(backupRow(off, archive, now, "Timeshift", "en"));
}

TEST(BackupRow, SaysHowLongAgoAndWhatCannotBeRead) {
  EarlyWatchArchive watched;
  watched.backupWatchSince = now - 8 * day;
  const auto date = [](WallTime when, const char* language) { return shortDateTimeText(when, language, "UTC"); };
  struct Row { const char* name; BackupStatus status; EarlyWatchArchive archive; const char* tool, *language; EarlyTableRow row; };
  const Row rows[] = {
      {"two days ago in Japanese", BackupStatus{true, false, now - 2 * day, true}, {}, "Déjà Dup", "ja",
       {"Déjà Dup", EarlyTone::plain, nullopt, "最後のバックアップから2日・" + date(now - 2 * day, "ja") + "・自動バックアップ：オフ"}},
      {"eight days ago", BackupStatus{true, false, now - 8 * day, true}, {}, "Timeshift", "ja",
       {"Timeshift", EarlyTone::attention, "最後のバックアップから8日", date(now - 8 * day, "ja") + "・自動バックアップ：オフ"}},
      {"no backup yet", BackupStatus{true, nullopt, nullopt, true}, {}, "", "en",
       {"Backup", EarlyTone::plain, "No backups yet", "—"}},
      {"unreadable", BackupStatus{true, nullopt, nullopt, false}, {}, "Timeshift", "en",
       {"Timeshift", EarlyTone::plain, "Unavailable", "Read while the backup disk is connected and the backup settings can be read"}},
      {"unreadable for a week", BackupStatus{true, nullopt, nullopt, false}, watched, "Timeshift", "ja",
       {"Timeshift", EarlyTone::attention, "最後のバックアップの日時を読めません", "バックアップ用のディスクをつないでいて、設定を読めるときに読みます"}},
  };
  for (const auto& row : rows) EXPECT_EQ(backupRow(row.status, row.archive, now, row.tool, row.language, "UTC"), row.row) << row.name;
}

TEST(DejaDupParse, SettingsLinesGiveTheStatus) {
  const auto lines = [](const std::string& backend, const std::string& lastBackup, const std::string& periodic) {
    return "org.gnome.DejaDup backend " + backend + "\norg.gnome.DejaDup last-backup " + lastBackup +
           "\norg.gnome.DejaDup.Local folder 'Backups'\norg.gnome.DejaDup periodic " + periodic + "\n";
  };
  const auto backedUp = utc(2024, 5, 1, 10, 15, 30) + 123456us;
  const struct { const char* name; std::string text; std::optional<BackupStatus> status; } rows[] = {
      {"never set up", lines("'auto'", "''", "false"), BackupStatus{false, false, nullopt, true}},
      {"a backup made before the location was reset", lines("'auto'", "'2024-05-01T10:15:30.123456Z'", "true"),
       BackupStatus{true, true, backedUp, true}},
      {"an unreadable date", lines("'auto'", "'yesterday'", "maybe"), BackupStatus{true, nullopt, nullopt, false}},
      {"an escaped quote", lines("'it\\'s \"mine\"'", "\"\"", "true"), BackupStatus{true, true, nullopt, true}},
      {"a quote that ends the string early", lines("'a'b'", "''", "true"), BackupStatus{nullopt, true, nullopt, true}},
      {"only a child schema", "org.gnome.DejaDup.Local folder ''\n", nullopt},
      {"an error", "No such schema \"org.gnome.DejaDup\"\n", nullopt},
  };
  for (const auto& row : rows) EXPECT_EQ(DejaDup::parse(row.text, "UTC"), row.status) << row.name;
}

TEST(DejaDupParse, DatesWithAndWithoutAnOffset) {
  const auto moment = utc(2024, 5, 1, 10, 15, 30);
  for (const char* text : {"2024-05-01T10:15:30Z", "2024-05-01t10:15:30z", "2024-05-01T12:15:30+02:00",
                           "2024-05-01T05:15:30-0500", "2024-05-01T15:15:30+05", "2024-05-01 19:15:30"})
    EXPECT_EQ(DejaDup::parseDate(text, "Asia/Tokyo"), moment) << text;
  EXPECT_EQ(DejaDup::parseDate("2024-05-01T10:15:30,5Z", "UTC"), moment + 500ms);
  for (const char* text : {"2024-02-30T10:15:30Z", "2024-05-01T10:15Z", "2024-05-01T10:15:30+05:",
                           "2024-05-01T10:15:30Zx", "2024-05-01T10:15:30.Z", "2024-05-01T10:15:30+24:00"})
    EXPECT_EQ(DejaDup::parseDate(text, "UTC"), nullopt) << text;
}

TEST(Timeshift, TheConfigurationAndTheNewestValidSnapshotNameInLocalTimeMakeTheStatus) {
  using Timeshift::Configuration;
  EXPECT_EQ(Timeshift::parseConfiguration(R"({"backup_device_uuid": "", "schedule_daily": "false"})"), (Configuration{"", false}));
  EXPECT_EQ(Timeshift::parseConfiguration(R"({"schedule_boot": true, "schedule_daily": 1})"), (Configuration{"", true}));
  EXPECT_EQ(Timeshift::parseConfiguration(R"({"backup_device_uuid": "x"})"), (Configuration{"x", nullopt}));
  for (const char* broken : {R"({"backup_device_uuid": 5})", "[]", "{"})
    EXPECT_EQ(Timeshift::parseConfiguration(broken), nullopt) << broken;

  const std::vector<std::string> names{"2024-05-01_10-15-30", "2024-05-02_09-00-00", "2024-13-01_00-00-00",
                                       "2024-05-03_09-00-00.tmp", "info.json", "2024-05-04_9-00-00"};
  EXPECT_EQ(Timeshift::latestSnapshot(names, "Asia/Tokyo"), utc(2024, 5, 2));

  const Timeshift::Configuration configured{"5d6e", true};
  EXPECT_EQ(Timeshift::status(configured, {false, false, {}}, "UTC"), (BackupStatus{true, true, nullopt, false, false}));
  EXPECT_EQ(Timeshift::status({"", false}, {true, true, names}, "UTC"), (BackupStatus{false, false, nullopt, false, false}));
}

}  // namespace
}  // namespace hollin
