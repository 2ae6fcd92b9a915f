// What the firmware calls this computer.
#pragma once

#include <optional>
#include <string>

namespace hollin::native {

struct MachineName {
  std::optional<std::string> product;  // "ThinkPad X1 Carbon", "Raspberry Pi 4 Model B Rev 1.4"
  std::optional<std::string> vendor;   // "LENOVO"
  bool operator==(const MachineName&) const = default;
};

// The DMI product name and system vendor under root (/sys/class/dmi/id), each its first line as
// written; without DMI (ARM boards) the device tree's model as the product. Each absent when
// it cannot be read. The serial numbers beside them are never read.
MachineName readMachineName(const std::string& root);

}  // namespace hollin::native
