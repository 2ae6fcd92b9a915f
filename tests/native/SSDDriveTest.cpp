// The SSD readers. The drive finder over a recorded sysfs (tests/fixtures/native/ssd): each storage
// stack a home folder sits on, and the NVMe controller (or none) it must lead to; the controller's
// sensor. The SMART / Health Information log page, built byte by byte as a drive returns it.
#include "native/linux/SSDReaders.h"
#include "native/SSDHealth.h"

#include "FixtureTree.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <numeric>
#include <tuple>
#include <vector>

namespace hollin::native {
namespace {

TEST(SSDMountTable, TheDeepestMountOnAPathBoundaryTheLastAtOnePointEscapesUndoneBrokenLinesSkipped) {
  const std::string table =
      "20 1 259:2 / / rw - ext4 /dev/nvme0n1p2 rw\n"
      "21 20 8:1 / /home rw - ext4 /dev/sda1 rw\n"
      "22 20 8:2 / /home/ada/Media rw - ext4 /dev/sda2 rw\n"
      "23 20 8:3 / /home/adam rw - ext4 /dev/sda3 rw\n"
      "24 20 259:3 / /home/my\\040files rw shared:2 master:1 - ext4 /dev/nvme0n1p3 rw\n"
      "25 24 0:44 / /home/my\\040files rw - btrfs /dev/mapper/luks\\134x rw\n"
      // Broken lines, which would otherwise be the last at /home.
      "garbage\n"
      "26 20 8:x / /home rw - ext4 /dev/sdx1 rw\n"
      "27 20 8:9 / /home rw ext4 /dev/sdx1 rw\n";  // no separator
  EXPECT_EQ(mountHolding(table, "/home/ada")->source, "/dev/sda1");  // not /home/adam
  EXPECT_EQ(mountHolding(table, "/home/ada/Media/film")->source, "/dev/sda2");
  EXPECT_EQ(mountHolding(table, "/homes")->source, "/dev/nvme0n1p2");
  EXPECT_EQ(mountHolding(table, "//home/./ada/../adam/")->source, "/dev/sda3");
  EXPECT_EQ(*mountHolding(table, "/home/my files/a"), (MountEntry{0, 44, "/home/my files", "/dev/mapper/luks\\x"}));
  EXPECT_FALSE(mountHolding("21 20 8:1 / /home rw - ext4 /dev/sda1 rw\n", "/root"));
}

class SSDDriveFinder : public ::testing::Test {
 protected:
  // The drive behind /home/ada when the mount table holds `mounts` ("number point type source").
  std::optional<SSDDrive> find(const std::vector<std::string>& mounts) const {
    std::string table;
    for (const auto& mount : mounts) {
      const auto point = mount.find(' '), type = mount.find(' ', point + 1);
      table += "20 1 " + mount.substr(0, point) + " / " + mount.substr(point + 1, type - point - 1) +
               " rw shared:1 - " + mount.substr(type + 1) + " rw\n";
    }
    sys.write("proc/self/mountinfo", table);
    return findSSDDrive(sys.root(), "/home/ada", sys.path("proc/self/mountinfo"));
  }

  test::FixtureTree sys{"ssd"};
  const SSDDrive first{"nvme0", "nvme0n1"};
};

TEST_F(SSDDriveFinder, EveryStackOverOneDriveLeadsToItsController) {
  // A plain partition: the home folder's, not the system's.
  EXPECT_EQ(find({"8:1 / ext4 /dev/sda1", "259:3 /home ext4 /dev/nvme0n1p3"}), first);
  EXPECT_EQ(find({"254:0 / ext4 /dev/mapper/luks-1234"}), first);  // LUKS on a partition
  EXPECT_EQ(find({"254:1 / ext4 /dev/mapper/vg-home"}), first);    // LVM on LUKS
  EXPECT_EQ(find({"9:0 / ext4 /dev/md0"}), first);  // a mirror over two partitions of the one drive
  EXPECT_EQ(find({"0:44 / btrfs /dev/disk/by-uuid/0b1d"}), first);  // a source named by a link in /dev
  // Btrfs has an anonymous number, which sysfs here lists for the SATA disk: the source decides.
  EXPECT_EQ(find({"0:44 / btrfs /dev/nvme0n1p2"}), first);
  EXPECT_EQ(find({"259:2 / ext4 /dev/nvme0n1p2"}), first) << "an absolute link is taken within the root";
  // The kernel numbers disks after the NVMe subsystem: nvme3n1 hangs off controller nvme2.
  EXPECT_EQ(find({"259:12 / ext4 /dev/nvme3n1"}), (SSDDrive{"nvme2", "nvme3n1"}));
}

TEST_F(SSDDriveFinder, AnythingButOneNVMeControllerUnderneathMeansNone) {
  const std::pair<const char*, const char*> cases[] = {
      {"8:1 / ext4 /dev/sda1", "SATA, or any disk whose device is no NVMe controller"},
      {"254:2 / ext4 /dev/mapper/vg-span", "a volume spanning the NVMe drive and the SATA disk"},
      {"7:0 / ext4 /dev/loop0", "no device link at all"},
      {"9:1 / ext4 /dev/md1", "a mirror over two drives"},
      {"0:44 / tmpfs tmpfs", "no device"},
      // Hostile trees: slaves in a circle, a link to itself, a link above the root, a stack
      // deeper than any real one (30 layers; 5 of them are fine).
      {"254:11 / ext4 /dev/mapper/b", "a circle"},
      {"254:9 / ext4 /dev/x", "a link to itself"},
      {"1:1 / ext4 /dev/x", "above the root"},
      {"254:49 / ext4 /dev/mapper/d49", "too deep"},
  };
  for (const auto& [mount, what] : cases) EXPECT_FALSE(find({mount})) << what;
  EXPECT_EQ(find({"254:24 / ext4 /dev/mapper/d24"}), first);
}

TEST_F(SSDDriveFinder, TheSensorIsTheCompositeInputElseTheFirstWhereverTheKernelHangsIt) {
  const std::string hwmon = "sys/devices/pci0000:00/0000:01:00.0/nvme/nvme0/hwmon3/";
  EXPECT_DOUBLE_EQ(readSSDTemperature(sys.root(), "nvme0").value_or(0), 38.85);
  sys.remove(hwmon + "temp2_label");
  EXPECT_DOUBLE_EQ(readSSDTemperature(sys.root(), "nvme0").value_or(0), 51.85) << "without labels the first input";
  for (const char* text : {"120001\n", "abc\n"}) {
    sys.write(hwmon + "temp1_input", text);
    EXPECT_FALSE(readSSDTemperature(sys.root(), "nvme0")) << text;
  }
  EXPECT_DOUBLE_EQ(readSSDTemperature(sys.root(), "nvme1").value_or(0), -5.0) << "older kernels: on the PCI device";
  EXPECT_FALSE(readSSDTemperature(sys.root(), "nvme2"));
}

// A sane page at `kelvin`: spare 100 of threshold 10, 3 % used; every other byte tells its offset.
std::array<std::uint8_t, 600> page(unsigned kelvin = 301) {
  std::array<std::uint8_t, 600> bytes{};
  std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
  bytes[1] = static_cast<std::uint8_t>(kelvin), bytes[2] = static_cast<std::uint8_t>(kelvin >> 8);
  bytes[3] = 100, bytes[4] = 10, bytes[5] = 3;
  return bytes;
}

TEST(SSDPage, FieldsComeFromTheirOffsets) {
  auto bytes = page(0x0141);  // 321 K: both bytes matter
  bytes[0] = 0x05, bytes[5] = 117;  // wear may exceed 100
  HLSSDReading reading{};
  ASSERT_EQ(hl_ssd_parse_page(bytes.data(), HL_SSD_PAGE_SIZE, &reading), 1);
  EXPECT_NEAR(reading.celsius, 47.85, 1e-9);
  EXPECT_EQ(std::tuple(reading.warning, reading.celsius_valid, reading.spare, reading.spare_threshold, reading.wear),
            std::tuple(0x05, 1, 100, 10, 117));
  for (const auto& [field, offset] : {std::pair{reading.written, 48}, {reading.power_hours, 128},
                                      {reading.media_errors, 160}, {reading.error_entries, 176}})
    EXPECT_EQ(std::memcmp(field, bytes.data() + offset, 16), 0) << offset;
}

TEST(SSDPage, TheTemperatureIsJudgedAloneButInsaneSpareFieldsOrAPartPageRejectIt) {
  // 0 K is what a drive without a sensor reports; a missing temperature is no broken page.
  for (const auto& [kelvin, valid] : {std::pair{0u, 0}, {253u, 0}, {254u, 1}, {393u, 1}, {394u, 0}}) {
    HLSSDReading reading{};
    EXPECT_EQ(hl_ssd_parse_page(page(kelvin).data(), HL_SSD_PAGE_SIZE, &reading), 1) << kelvin;
    EXPECT_EQ(reading.celsius_valid, valid) << kelvin;
  }
  for (const auto [spare, threshold, result] : {std::array{100, 100, 1}, {101, 10, 0}, {50, 101, 0}}) {
    auto bytes = page();
    bytes[3] = static_cast<std::uint8_t>(spare), bytes[4] = static_cast<std::uint8_t>(threshold);
    HLSSDReading reading{};
    EXPECT_EQ(hl_ssd_parse_page(bytes.data(), HL_SSD_PAGE_SIZE, &reading), result) << spare << " " << threshold;
  }
  for (const std::size_t size : {std::size_t{0}, std::size_t{511}, std::size_t{513}}) {
    HLSSDReading reading;
    std::memset(&reading, 0xAB, sizeof reading);
    EXPECT_EQ(hl_ssd_parse_page(page().data(), size, &reading), 0) << size;
    EXPECT_EQ(reading.spare + reading.written[15], 0) << "cleared, not half filled";
  }
  HLSSDReading reading{};
  EXPECT_EQ(hl_ssd_parse_page(nullptr, HL_SSD_PAGE_SIZE, &reading), 0);
  EXPECT_EQ(hl_ssd_parse_page(page().data(), HL_SSD_PAGE_SIZE, nullptr), 0);
}

}  // namespace
}  // namespace hollin::native
