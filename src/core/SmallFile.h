// Reading a small file whole, where a file put in its place must not block or flood the reader.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace hollin {

// The whole of a small regular file: absent when it cannot be opened or read, is not a regular
// file (a FIFO would block the reader), or holds more than `sizeLimit` bytes.
std::optional<std::string> readSmallFile(const std::filesystem::path& file, std::size_t sizeLimit);

}  // namespace hollin
