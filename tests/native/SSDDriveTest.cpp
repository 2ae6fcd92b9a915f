// The drive finder over built sysfs trees: each storage stack a home folder sits on, and the
// NVMe controller (or none) it must lead to; the controller's temperature sensor.
#include "native/linux/SSDReaders.h"

#include "SSDSysfs.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace hollin::native {
namespace {

using test::SysfsTree;

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
      "27 20 8:9 / /home rw ext4 /dev/sdx1 rw\n"  // no separator
      "28 20 8:9 / /home rw -\n";
  EXPECT_EQ(mountHolding(table, "/home/ada")->source, "/dev/sda1");  // not /home/adam
  EXPECT_EQ(mountHolding(table, "/home/ada/Media/film")->source, "/dev/sda2");
  EXPECT_EQ(mountHolding(table, "/home/ada/Media")->source, "/dev/sda2");
  EXPECT_EQ(mountHolding(table, "/homes")->source, "/dev/nvme0n1p2");
  EXPECT_EQ(mountHolding(table, "//home/./ada/../adam/")->source, "/dev/sda3");
  EXPECT_EQ(mountHolding(table, "/home")->major, 8u);
  EXPECT_EQ(*mountHolding(table, "/home/my files/a"), (MountEntry{0, 44, "/home/my files", "/dev/mapper/luks\\x"}));
  EXPECT_FALSE(mountHolding("", "/home/ada"));
  EXPECT_FALSE(mountHolding("21 20 8:1 / /home rw - ext4 /dev/sda1 rw\n", "/root"));
}

// One NVMe drive (nvme0n1, partitions p1…p3) and one SATA disk (sda, partition sda1).
class SSDDriveFinder : public ::testing::Test {
 protected:
  SSDDriveFinder() {
    nvme0 = sys.controller("nvme0", "0000:01:00.0");
    disk0 = sys.nvmeDisk(nvme0, "nvme0n1", "259:0");
    for (int i = 1; i <= 3; ++i)
      parts0.push_back(sys.partition(disk0, "nvme0n1p" + std::to_string(i), "259:" + std::to_string(i)));
    sda = sys.sataDisk("sda", "8:0");
    sda1 = sys.partition(sda, "sda1", "8:1");
  }
  std::optional<SSDDrive> find(const std::string& home = "/home/ada") const {
    return findSSDDrive(sys.root(), home, sys.mountinfo());
  }
  // A second NVMe drive.
  void addSecondDrive() {
    nvme1 = sys.controller("nvme1", "0000:02:00.0");
    disk1 = sys.nvmeDisk(nvme1, "nvme1n1", "259:8");
    part1 = sys.partition(disk1, "nvme1n1p1", "259:9");
  }

  SysfsTree sys;
  std::string nvme0, disk0, sda, sda1, nvme1, disk1, part1;
  std::vector<std::string> parts0;
  const SSDDrive first{"nvme0", "nvme0n1"};
};

TEST_F(SSDDriveFinder, EveryStackOverOneDriveLeadsToItsController) {
  sys.mounts({{"259:2", "/", "ext4", "/dev/nvme0n1p2"}, {"8:1", "/srv", "ext4", "/dev/sda1"}});
  EXPECT_EQ(find(), first);  // a plain partition
  EXPECT_FALSE(find("/srv/data"));
  sys.mounts({{"259:2", "/", "ext4", "/dev/nvme0n1p2"}, {"8:1", "/home", "ext4", "/dev/sda1"}});
  EXPECT_FALSE(find()) << "the home folder's disk, not the system's";
  sys.mounts({{"8:1", "/", "ext4", "/dev/sda1"}, {"259:3", "/home", "ext4", "/dev/nvme0n1p3"}});
  EXPECT_EQ(find(), first);

  const auto luks = sys.stacked("dm-0", "254:0", {parts0[2]}, "luks-1234");
  sys.stacked("dm-1", "254:1", {luks}, "vg-home");
  sys.mounts({{"254:0", "/", "ext4", "/dev/mapper/luks-1234"}});
  EXPECT_EQ(find(), first);  // LUKS on a partition
  sys.mounts({{"254:1", "/", "ext4", "/dev/mapper/vg-home"}});
  EXPECT_EQ(find(), first);  // LVM on LUKS
  sys.stacked("md0", "9:0", {parts0[0], parts0[1]});
  sys.mounts({{"9:0", "/", "ext4", "/dev/md0"}});
  EXPECT_EQ(find(), first);  // a mirror over two partitions of the one drive
  sys.link("/dev/disk/by-uuid/0b1d", "/dev/nvme0n1p2");
  sys.file("/dev/nvme0n1p2", "");
  sys.mounts({{"0:44", "/", "btrfs", "/dev/disk/by-uuid/0b1d"}});
  EXPECT_EQ(find(), first);  // a source named by a link in /dev
}

TEST_F(SSDDriveFinder, BtrfsIsFoundByItsSourceNotItsAnonymousNumber) {
  // 0:44 is no block device; a sysfs entry under that number must not be taken for it.
  sys.link("/sys/dev/block/0:44", sda);
  sys.mounts({{"0:44", "/", "btrfs", "/dev/nvme0n1p2"}});
  EXPECT_EQ(find(), first);

  sys.stacked("dm-0", "254:0", {sda1}, "luks-other");
  sys.stacked("dm-1", "254:1", {parts0[1]}, "luks-home");
  sys.mounts({{"0:44", "/", "btrfs", "/dev/mapper/luks-home"}});
  EXPECT_EQ(find(), first);
  sys.mounts({{"0:44", "/", "btrfs", "/dev/mapper/luks-other"}});
  EXPECT_FALSE(find());
  sys.mounts({{"0:44", "/", "btrfs", "/dev/mapper/luks-missing"}});
  EXPECT_FALSE(find());
  sys.mounts({{"0:44", "/", "tmpfs", "tmpfs"}});
  EXPECT_FALSE(find());
}

TEST_F(SSDDriveFinder, AnythingButOneNVMeControllerUnderneathMeansNone) {
  sys.mounts({{"8:1", "/", "ext4", "/dev/sda1"}});
  EXPECT_FALSE(find());  // SATA
  sys.stacked("dm-0", "254:0", {parts0[2], sda1}, "vg-home");
  sys.mounts({{"254:0", "/", "ext4", "/dev/mapper/vg-home"}});
  EXPECT_FALSE(find());  // a volume spanning the NVMe drive and the SATA disk
  sys.block("/sys/devices/virtual/block/loop0", "7:0");
  sys.mounts({{"7:0", "/", "ext4", "/dev/loop0"}});
  EXPECT_FALSE(find());  // no device link at all
  sys.partition(sys.virtioDisk("vda", "252:0"), "vda1", "252:1");
  sys.mounts({{"252:1", "/", "ext4", "/dev/vda1"}});
  EXPECT_FALSE(find());  // a virtual disk
  addSecondDrive();
  sys.stacked("md0", "9:0", {parts0[0], part1});
  sys.mounts({{"9:0", "/", "ext4", "/dev/md0"}});
  EXPECT_FALSE(find());  // a mirror over two drives
}

TEST_F(SSDDriveFinder, ControllerIsTakenFromTheLinkNotFromTheDiskName) {
  // The kernel numbers disks after the NVMe subsystem; here nvme1n1 hangs off controller nvme0.
  addSecondDrive();
  const auto odd = sys.controller("nvme2", "0000:03:00.0");
  sys.nvmeDisk(odd, "nvme3n1", "259:12");
  sys.mounts({{"259:12", "/", "ext4", "/dev/nvme3n1"}});
  EXPECT_EQ(find(), (SSDDrive{"nvme2", "nvme3n1"}));
  // A namespace disk whose device is no controller.
  sys.tree().remove("sys/devices/pci0000:00/0000:03:00.0/nvme/nvme2/nvme3n1/device");
  sys.link("/sys/devices/pci0000:00/0000:03:00.0/nvme/nvme2/nvme3n1/device", "/sys/devices/pci0000:00/0000:03:00.0");
  EXPECT_FALSE(find());
}

TEST_F(SSDDriveFinder, HostileTreesEndWithNone) {
  // Slaves that lead round in a circle.
  const auto a = sys.stacked("dm-0", "254:0", {}, "a");
  const auto b = sys.stacked("dm-1", "254:1", {a}, "b");
  sys.link(a + "/slaves/dm-1", b);
  sys.mounts({{"254:1", "/", "ext4", "/dev/mapper/b"}});
  EXPECT_FALSE(find());
  // A link that points at itself, and one that climbs above the root.
  sys.link("/sys/dev/block/254:9", "/sys/dev/block/254:9");
  sys.mounts({{"254:9", "/", "ext4", "/dev/x"}});
  EXPECT_FALSE(find());
  sys.mounts({{"259:77", "/", "ext4", "/dev/x"}});
  EXPECT_FALSE(find());  // no such number
  std::filesystem::create_symlink("../../../../../../../../../../../etc", sys.tree().path("sys/dev/block/1:1"));
  sys.mounts({{"1:1", "/", "ext4", "/dev/x"}});
  EXPECT_FALSE(find());
  // A deep stack past any real one.
  std::string below = parts0[0];
  for (int i = 10; i < 40; ++i)
    below = sys.stacked("dm-" + std::to_string(i), "254:" + std::to_string(i), {below}, "d" + std::to_string(i));
  sys.mounts({{"254:39", "/", "ext4", "/dev/mapper/d39"}});
  EXPECT_FALSE(find());
  sys.mounts({{"254:14", "/", "ext4", "/dev/mapper/d14"}});
  EXPECT_EQ(find(), first);
}

TEST_F(SSDDriveFinder, AbsoluteLinksStayWithinTheRoot) {
  std::filesystem::remove(sys.tree().path("sys/dev/block/259:2"));
  std::filesystem::create_symlink(parts0[1], sys.tree().path("sys/dev/block/259:2"));
  sys.mounts({{"259:2", "/", "ext4", "/dev/nvme0n1p2"}});
  EXPECT_EQ(find(), first);
}

// The controller's hwmon sensor, in the two places kernels put it.
class SSDTemperatureSensor : public SSDDriveFinder {
 protected:
  std::optional<double> temperature() const { return readSSDTemperature(sys.root(), "nvme0"); }
};

TEST_F(SSDTemperatureSensor, TheCompositeInputElseTheFirstWhereverTheKernelHangsIt) {
  EXPECT_FALSE(temperature());
  sys.file(nvme0 + "/hwmon3/temp1_input", "51850\n");
  sys.file(nvme0 + "/hwmon3/temp2_input", "38850\n");
  EXPECT_DOUBLE_EQ(temperature().value_or(0), 51.85) << "without labels the first input";
  sys.file(nvme0 + "/hwmon3/temp1_label", "Sensor 1\n");
  sys.file(nvme0 + "/hwmon3/temp2_label", "Composite\n");
  EXPECT_DOUBLE_EQ(temperature().value_or(0), 38.85);
  for (const char* text : {"120001\n", "-20001\n", "abc\n"}) {
    sys.file(nvme0 + "/hwmon3/temp2_input", text);
    EXPECT_FALSE(temperature()) << text;
  }
  sys.file(nvme0 + "/hwmon3/temp2_input", "120000\n");
  EXPECT_DOUBLE_EQ(temperature().value_or(0), 120.0);
  EXPECT_FALSE(readSSDTemperature(sys.root(), "nvme1"));
  // Older kernels hang the sensor on the PCI device.
  sys.tree().remove(nvme0.substr(1) + "/hwmon3");
  sys.file("/sys/devices/pci0000:00/0000:01:00.0/hwmon/hwmon1/temp1_input", "-5000\n");
  sys.link(nvme0 + "/device", "/sys/devices/pci0000:00/0000:01:00.0");
  EXPECT_DOUBLE_EQ(temperature().value_or(0), -5.0);
}

}  // namespace
}  // namespace hollin::native
