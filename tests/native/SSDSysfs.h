// A sysfs of block devices built in a temporary folder for the SSD drive finder: folders,
// attribute files and relative links laid out as the kernel lays them out, plus the mount table.
#pragma once

#include "FixtureTree.h"

#include <filesystem>
#include <string>
#include <vector>

namespace hollin::native::test {

class SysfsTree {
 public:
  const std::string& root() const { return tree_.root(); }
  std::string mountinfo() const { return tree_.path("proc/self/mountinfo"); }
  const FixtureTree& tree() const { return tree_; }

  void file(const std::string& path, const std::string& text) const { tree_.write(rel(path), text); }
  void folder(const std::string& path) const { std::filesystem::create_directories(tree_.path(rel(path))); }
  // A link at `path` to `target` (both as seen from the root), written relative as sysfs does.
  void link(const std::string& path, const std::string& target) const {
    const std::filesystem::path at(path);
    folder(at.parent_path().string());
    std::filesystem::create_symlink(std::filesystem::path(target).lexically_relative(at.parent_path()),
                                    tree_.path(rel(path)));
  }

  // A block device at `node` (its sysfs folder) with its number, listed by name and number.
  void block(const std::string& node, const std::string& number) const {
    const std::string name = std::filesystem::path(node).filename().string();
    file(node + "/dev", number + "\n");
    link("/sys/class/block/" + name, node);
    link("/sys/dev/block/" + number, node);
  }
  // An NVMe controller on a PCI function; its folder.
  std::string controller(const std::string& name, const std::string& pci) const {
    const std::string node = "/sys/devices/pci0000:00/" + pci + "/nvme/" + name;
    folder(node);
    link("/sys/class/nvme/" + name, node);
    return node;
  }
  // A namespace disk of a controller folder; its folder.
  std::string nvmeDisk(const std::string& controllerNode, const std::string& name, const std::string& number) const {
    const std::string node = controllerNode + "/" + name;
    block(node, number);
    link(node + "/device", controllerNode);
    return node;
  }
  std::string partition(const std::string& disk, const std::string& name, const std::string& number) const {
    const std::string node = disk + "/" + name;
    block(node, number);
    file(node + "/partition", "1\n");
    return node;
  }
  // A device-mapper (dm-N) or md device stacked on `slaves` (sysfs folders); its folder.
  std::string stacked(const std::string& name, const std::string& number, const std::vector<std::string>& slaves,
                      const std::string& mapperName = "") const {
    const std::string node = "/sys/devices/virtual/block/" + name;
    block(node, number);
    if (!mapperName.empty()) file(node + "/dm/name", mapperName + "\n");
    for (const auto& slave : slaves) link(node + "/slaves/" + std::filesystem::path(slave).filename().string(), slave);
    return node;
  }
  // A SATA disk and a virtio disk, whose device links lead to no NVMe controller.
  std::string sataDisk(const std::string& name, const std::string& number) const {
    const std::string scsi = "/sys/devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0";
    block(scsi + "/block/" + name, number);
    link(scsi + "/block/" + name + "/device", scsi);
    return scsi + "/block/" + name;
  }
  std::string virtioDisk(const std::string& name, const std::string& number) const {
    const std::string virtio = "/sys/devices/pci0000:00/0000:00:04.0/virtio1";
    block(virtio + "/block/" + name, number);
    link(virtio + "/block/" + name + "/device", virtio);
    return virtio + "/block/" + name;
  }

  // The mount table: lines of "number mount-point type source".
  struct Mount {
    std::string number, point, type, source;
  };
  void mounts(const std::vector<Mount>& table) const {
    std::string text;
    int id = 20;
    for (const auto& mount : table)
      text += std::to_string(id++) + " 1 " + mount.number + " / " + mount.point + " rw,relatime shared:1 - " +
              mount.type + " " + mount.source + " rw\n";
    file("/proc/self/mountinfo", text);
  }

 private:
  static std::string rel(const std::string& path) { return path.substr(path.find_first_not_of('/')); }
  FixtureTree tree_{""};
};

}  // namespace hollin::native::test
