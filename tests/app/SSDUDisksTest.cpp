// The udisks2 source of SSD health against a fake udisks service on a private bus: the block
// device's drive, its NVMe.Controller properties and SmartGetAttributes.
#include "core/ssd/SSDHealth.h"
#include "native/linux/SSDReaders.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QDBusVariant>

#include <future>

namespace hollin {
namespace {

using namespace std::chrono_literals;

const QString blockPath = "/org/freedesktop/UDisks2/block_devices/nvme0n1";
const QString drivePath = "/org/freedesktop/UDisks2/drives/Maker_SSD_1234";
const QString controllerInterface = "org.freedesktop.UDisks2.NVMe.Controller";

// Just enough of udisks2 for one NVMe drive.
class FakeUDisks : public testing::FakeService {
 public:
  FakeUDisks() : FakeService("/org/freedesktop/UDisks2", "org.freedesktop.UDisks2") {}
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    if (silent) return true;  // takes the call and never answers
    const QString first = message.arguments().value(0).toString();
    if (message.path() == blockPath && message.member() == "Get" && first == "org.freedesktop.UDisks2.Block")
      connection.send(message.createReply(QVariant::fromValue(QDBusVariant(drive))));
    else if (message.path() == drivePath && message.member() == "GetAll" && first == controllerInterface && nvme)
      connection.send(message.createReply(properties));
    else if (message.path() == drivePath && message.member() == "SmartGetAttributes" && nvme)
      connection.send(message.createReply(attributes));
    else
      connection.send(message.createErrorReply("org.freedesktop.DBus.Error.UnknownInterface", "no such interface"));
    return true;
  }

  bool silent = false;
  bool nvme = true;  // udisks 2.10 or later
  QVariant drive = QVariant::fromValue(QDBusObjectPath(drivePath));
  QVariantMap properties{{"SmartUpdated", QVariant::fromValue<quint64>(1717000000)},
                         {"SmartCriticalWarning", QStringList{"spare", "readonly", "something_new"}},
                         {"SmartPowerOnHours", QVariant::fromValue<quint64>(0x100000002ull)},
                         {"SmartTemperature", QVariant::fromValue<quint16>(310)}};
  QVariantMap attributes{{"avail_spare", QVariant::fromValue<quint8>(97)}, {"spare_thresh", QVariant::fromValue<quint8>(10)},
                         {"percent_used", QVariant::fromValue<quint8>(104)}, {"media_errors", QVariant::fromValue<quint64>(2)},
                         {"total_data_written", QVariant::fromValue<quint64>(12345ull * 512000 + 511999)},
                         {"num_err_log_entries", QVariant::fromValue<quint64>(70000)},
                         {"temp_sensors", QVariant::fromValue(QList<quint16>{310, 305})}};  // skipped
};

class SSDUDisksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ensureApplication();
    if (!bus_.running()) GTEST_SKIP() << "dbus-daemon could not be started";
    ASSERT_TRUE(udisks_.serve(bus_.connect("udisks-" + QString::number(++round_))));
  }
  void TearDown() override { QDBusConnection::disconnectFromBus(udisks_.bus.name()); }

  // A reading taken on another thread while this one serves the fake.
  std::optional<HLSSDReading> read(std::chrono::milliseconds timeout = 3s) {
    const auto address = bus_.address().toStdString();
    auto reading =
        std::async(std::launch::async, [&] { return native::readUDisksHealth("nvme0n1", address.c_str(), timeout); });
    EXPECT_TRUE(testing::waitUntil([&] { return reading.wait_for(0s) == std::future_status::ready; }, 10s));
    return reading.get();
  }

  static inline int round_ = 0;
  testing::PrivateBus bus_;
  FakeUDisks udisks_;
};

TEST_F(SSDUDisksTest, AWholeAnswerIsReadAndAnythingLessInTimeGivesNothing) {
  const auto reading = read();
  ASSERT_TRUE(reading);
  EXPECT_NEAR(reading->celsius, 36.85, 1e-9);
  // The record carries the counters as they are (the amount written back in 512,000-byte units)
  // and the temperature only when it was read.
  EXPECT_EQ(SSDHealth::fromReading(*reading), (SSDHealth{0x01 | 0x08 | 0x80, 97, 10, 104, {2, 0}, {70000, 0}, {12345, 0},
                                                         {0x100000002ull, 0}, reading->celsius}));

  // Each row breaks one part of an otherwise whole answer.
  const std::pair<const char*, std::function<void(FakeUDisks&)>> broken[] = {
      {"no media errors", [](FakeUDisks& u) { u.attributes.remove("media_errors"); }},
      {"spare as u", [](FakeUDisks& u) { u.attributes["avail_spare"] = QVariant::fromValue<quint32>(97); }},
      {"no drive", [](FakeUDisks& u) { u.drive = QVariant::fromValue(QDBusObjectPath("/")); }},
      {"insane threshold", [](FakeUDisks& u) { u.attributes["spare_thresh"] = QVariant::fromValue<quint8>(101); }},
      {"never read", [](FakeUDisks& u) { u.properties["SmartUpdated"] = QVariant::fromValue<quint64>(0); }},
      {"udisks without NVMe support", [](FakeUDisks& u) { u.nvme = false; }}};
  const FakeUDisks whole;
  for (const auto& [what, breakIt] : broken) {
    std::tie(udisks_.properties, udisks_.attributes, udisks_.drive) = std::tie(whole.properties, whole.attributes, whole.drive);
    breakIt(udisks_);
    EXPECT_FALSE(read()) << what;
  }

  udisks_.silent = true;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(read(500ms));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  EXPECT_FALSE(native::readUDisksHealth("nvme0n1", "unix:path=/nonexistent/bus", 1s)) << "no bus";
}

}  // namespace
}  // namespace hollin
