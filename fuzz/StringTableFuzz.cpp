// The string tables (ja.lproj and en.lproj Localizable.strings). The loader only takes a path,
// so each input is written to one scratch file of this process and loaded from there: the
// fuzzer goes through the file reading as well as the decoding.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "FuzzTarget.h"
#include "core/L10n.h"
#include "core/PropertyList.h"

namespace hollin {
namespace {

class ScratchFile {
 public:
  ScratchFile() {
    std::string pattern = (std::filesystem::temp_directory_path() / "hollin-fuzz-table-XXXXXX").string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) std::perror("mkstemp"), std::abort();
    ::close(fd);
    path_ = pattern;
  }
  ~ScratchFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  const std::filesystem::path& write(std::string_view bytes) {
    std::ofstream(path_, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path_;
  }

 private:
  std::filesystem::path path_;
};

int fuzzStringTable(const std::uint8_t* data, std::size_t size) {
  static ScratchFile scratch;
  const std::string_view bytes = fuzz::text(data, size);
  const auto table = L10n::loadTable(scratch.write(bytes));
  // The loader is the decoder and the string-table reading, nothing more.
  const auto decoded = parsePropertyList(bytes, 4 * 1024 * 1024);
  fuzz::require(table.has_value() == (decoded && decoded->asStringTable()),
                "the loader agrees with decoding the same bytes");
  if (!table) return 0;
  for (const auto& [key, templ] : *table)
    L10n::renderFrom(LocalizedMessage{key, {"1", "{0}", "名前"}}, &*table, nullptr);
  return 0;
}

const fuzz::Registration registered("strings", fuzzStringTable);

}  // namespace
}  // namespace hollin
