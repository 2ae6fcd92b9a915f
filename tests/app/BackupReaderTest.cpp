// The backup reading end to end: Déjà Dup through a private settings store and the real
// gsettings, Timeshift over a recorded machine, and the choice between them.
#include <gtest/gtest.h>

#include <QDateTime>

#include "TestSupport.h"
#include "../native/FixtureTree.h"
#include "app/early/EarlyWatch.h"
#include "core/DateText.h"
#include "core/early/Backup.h"

namespace hollin {
namespace {

using namespace std::chrono;
using BackupRead = EarlyWatch::BackupRead;
using native::test::FixtureTree;
using testing::ScopedVariable;

constexpr auto day = hours(24);
const std::string schemaFile = "org.gnome.DejaDup.gschema.xml";

// As Déjà Dup writes it, in UTC (its fraction is read in the core's tests).
std::string isoText(WallTime when) {
  return QDateTime::fromSecsSinceEpoch(system_clock::to_time_t(when), Qt::UTC).toString(Qt::ISODate).toStdString();
}

// Déjà Dup's schema compiled into a folder of the test's, and a settings store of its own.
class DejaDupSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ensureApplication();
    if (!testing::installed("gsettings") || !testing::installed("glib-compile-schemas"))
      GTEST_SKIP() << "gsettings and glib-compile-schemas (libglib2.0-bin) are not installed";
    ASSERT_TRUE(QFile::copy(QString(HOLLIN_FIXTURES_DIR) + "/backup/" + QString::fromStdString(schemaFile),
                            QString::fromStdString(schemaFolder() + "/" + schemaFile)));
    ASSERT_EQ(QProcess::execute("glib-compile-schemas", {QString::fromStdString(schemaFolder())}), 0);
  }

  std::string schemaFolder() const { return folder_.path().toStdString(); }
  bool set(const char* key, const std::string& value) {
    return QProcess::execute("gsettings", {"set", "org.gnome.DejaDup", key, QString::fromStdString(value)}) == 0;
  }

  QTemporaryDir folder_, configuration_;
  ScopedVariable schemas_{"GSETTINGS_SCHEMA_DIR", folder_.path().toLocal8Bit().constData()};
  ScopedVariable backend_{"GSETTINGS_BACKEND", "keyfile"};
  ScopedVariable store_{"XDG_CONFIG_HOME", configuration_.path().toLocal8Bit().constData()};
};

// One date through the real gsettings; how many days reach which tier is read in the core's tests.
TEST_F(DejaDupSettings, TheLastBackupIsReadThroughGsettings) {
  const auto backedUp = floor<seconds>(system_clock::now()) - 7 * day;
  ASSERT_TRUE(set("periodic", "false"));
  ASSERT_TRUE(set("last-backup", "'" + isoText(backedUp) + "'"));
  EXPECT_EQ(EarlyWatch::readBackup(), (BackupRead{{true, false, backedUp, true, false}, "deja-dup", "Déjà Dup"}));
}

TEST_F(DejaDupSettings, TheFirstConfiguredToolIsChosen) {
  FixtureTree tree("timeshift");
  // The schema where the reading looks for it under the recorded machine's root.
  tree.write(schemaFolder().substr(1) + "/" + schemaFile, "<schemalist/>");
  EXPECT_EQ(EarlyWatch::readBackup(tree.root()).source, "timeshift-snapshots") << "Déjà Dup has no location yet";

  tree.write("etc/timeshift/timeshift.json", R"({"backup_device_uuid": ""})");
  EXPECT_EQ(EarlyWatch::readBackup(tree.root()),
            (BackupRead{{false, true, std::nullopt, true, false}, "deja-dup", "Déjà Dup"}))
      << "neither is configured: the first installed";
}

TEST(BackupReader, TimeshiftOverARecordedMachine) {
  const FixtureTree tree("timeshift");
  EXPECT_EQ(EarlyWatch::readBackup(tree.root()),
            (BackupRead{{true, true, civilMoment({2024, 5, 2, 9, 0, 0}), true, true}, "timeshift-snapshots", "Timeshift"}));
  tree.remove("etc/timeshift");
  EXPECT_EQ(EarlyWatch::readBackup(tree.root()), (BackupRead{{false, std::nullopt, std::nullopt, false, false}, "none", ""}));
}

}  // namespace
}  // namespace hollin
