#include "native/Machine.h"

#include <algorithm>

#include "native/linux/KernelFiles.h"
#include "native/linux/NativeReaders.h"

namespace hollin::native {
namespace {

// The first line (the device tree ends its strings with a NUL instead).
std::optional<std::string> firstLine(const std::string& root, std::string_view path) {
  auto text = readSmallFile(underRoot(root, path));
  if (text) text->resize(std::min(text->size(), text->find_first_of(std::string_view("\n\0", 2))));
  return text;
}

}  // namespace

MachineName readMachineName(const std::string& root) {
  MachineName name{firstLine(root, files::productName), firstLine(root, files::systemVendor)};
  if (!name.product) name.product = firstLine(root, files::deviceTreeModel);
  return name;
}

}  // namespace hollin::native
