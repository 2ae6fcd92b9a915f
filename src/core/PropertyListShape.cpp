#include "core/PropertyListShape.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <utility>
#include <vector>

namespace hollin::plist_shape {
namespace {

// The binary format: "bplist00", the objects, a table of their offsets, and a 32-byte trailer.
constexpr std::string_view binaryMagic = "bplist00";
constexpr std::size_t trailerSize = 32;

enum ObjectType : unsigned {
  data = 0x4,
  asciiString = 0x5,
  utf16String = 0x6,
  array = 0xA,
  set = 0xC,
  dictionary = 0xD,
};

// Integer widths libplist reads the way we do; real writers use no others.
bool supportedWidth(std::uint64_t width) { return width == 1 || width == 2 || width == 4 || width == 8; }

std::optional<std::uint64_t> bigEndian(std::string_view bytes, std::uint64_t at, std::uint64_t width) {
  if (!supportedWidth(width) || at > bytes.size() || bytes.size() - at < width) return std::nullopt;
  std::uint64_t value = 0;
  for (std::uint64_t i = 0; i < width; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

struct BinaryList {
  std::string_view bytes;
  std::uint64_t offsetWidth = 0, referenceWidth = 0, objectCount = 0, root = 0;
  std::uint64_t offsetTable = 0;  // where the objects end

  static std::optional<BinaryList> read(std::string_view bytes) {
    if (bytes.size() < binaryMagic.size() + trailerSize) return std::nullopt;
    const std::uint64_t trailer = bytes.size() - trailerSize;
    BinaryList list{bytes};
    list.offsetWidth = static_cast<unsigned char>(bytes[trailer + 6]);
    list.referenceWidth = static_cast<unsigned char>(bytes[trailer + 7]);
    auto count = bigEndian(bytes, trailer + 8, 8);
    auto root = bigEndian(bytes, trailer + 16, 8);
    auto table = bigEndian(bytes, trailer + 24, 8);
    if (!supportedWidth(list.offsetWidth) || !supportedWidth(list.referenceWidth) || !count || !root || !table)
      return std::nullopt;
    list.objectCount = *count;
    list.root = *root;
    list.offsetTable = *table;
    if (list.objectCount == 0 || list.root >= list.objectCount || list.offsetTable < binaryMagic.size() ||
        list.offsetTable >= trailer || (trailer - list.offsetTable) / list.offsetWidth < list.objectCount)
      return std::nullopt;
    return list;
  }

  // Where object `index` starts; inside the object area or nothing.
  std::optional<std::uint64_t> offset(std::uint64_t index) const {
    if (index >= objectCount) return std::nullopt;
    auto at = bigEndian(bytes, offsetTable + index * offsetWidth, offsetWidth);
    if (!at || *at < binaryMagic.size() || *at >= offsetTable) return std::nullopt;
    return at;
  }

  struct Object {
    unsigned type = 0;
    std::uint64_t count = 0;  // characters, references or entries, as the type counts them
    std::uint64_t body = 0;   // where its content starts
  };

  std::optional<Object> object(std::uint64_t index) const {
    auto at = offset(index);
    if (!at) return std::nullopt;
    const unsigned marker = static_cast<unsigned char>(bytes[*at]);
    Object object{marker >> 4u, marker & 0xFu, *at + 1};
    const bool counted = object.type == data || object.type == asciiString || object.type == utf16String ||
                         object.type == array || object.type == set || object.type == dictionary;
    if (counted && object.count == 0xF) {
      // A longer count follows as an integer object: its marker gives the width as a power of 2.
      if (object.body >= offsetTable) return std::nullopt;
      const unsigned sizeMarker = static_cast<unsigned char>(bytes[object.body]);
      if (sizeMarker >> 4u != 0x1) return std::nullopt;
      const std::uint64_t width = std::uint64_t{1} << (sizeMarker & 0xFu);
      auto count = bigEndian(bytes.substr(0, offsetTable), object.body + 1, width);
      if (!count) return std::nullopt;
      object.count = *count;
      object.body += 1 + width;
    }
    return object;
  }

  // The content of `object` when it holds `units` items of `width` bytes inside the object area.
  std::optional<std::string_view> content(const Object& object, std::uint64_t units, std::uint64_t width) const {
    if (units > (offsetTable - std::min(object.body, offsetTable)) / width) return std::nullopt;
    return bytes.substr(object.body, units * width);
  }
};

bool holdsNul(std::string_view text, unsigned type) {
  if (type == asciiString) return text.find('\0') != std::string_view::npos;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2)
    if (text[i] == '\0' && text[i + 1] == '\0') return true;
  return false;
}

// Walks every use of every value from the root, as libplist's parser will, with a stack of our
// own.
std::optional<PlistError> checkBinary(std::string_view bytes, Limits limits) {
  auto list = BinaryList::read(bytes);
  if (!list) return PlistError::malformed;
  std::vector<std::pair<std::uint64_t, int>> pending{{list->root, 0}};
  std::size_t visited = 0;
  while (!pending.empty()) {
    const auto [index, depth] = pending.back();
    pending.pop_back();
    if (++visited > limits.values) return PlistError::tooLarge;
    if (depth > limits.depth) return PlistError::tooDeep;
    auto object = list->object(index);
    if (!object) return PlistError::malformed;
    switch (object->type) {
      case asciiString:
      case utf16String: {
        const std::uint64_t width = object->type == asciiString ? 1 : 2;
        auto text = list->content(*object, object->count, width);
        if (!text || holdsNul(*text, object->type)) return PlistError::malformed;
        break;
      }
      case array:
      case set:
      case dictionary: {
        if (object->type == dictionary && object->count > UINT64_MAX / 2) return PlistError::malformed;
        const std::uint64_t references = object->type == dictionary ? 2 * object->count : object->count;
        auto table = list->content(*object, references, list->referenceWidth);
        if (!table) return PlistError::malformed;
        for (std::uint64_t i = 0; i < references; ++i) {
          auto child = bigEndian(*table, i * list->referenceWidth, list->referenceWidth);
          if (!child || *child >= list->objectCount) return PlistError::malformed;
          pending.emplace_back(*child, depth + 1);
        }
        break;
      }
      default:
        break;  // scalars: libplist checks their sizes itself
    }
  }
  return std::nullopt;
}

// Skips from `at` past the first `end`; the end of the text when there is none.
std::size_t skipPast(std::string_view text, std::size_t at, std::string_view end) {
  const std::size_t found = text.find(end, at);
  return found == std::string_view::npos ? text.size() : found + end.size();
}

bool startsWith(std::string_view text, std::size_t at, std::string_view prefix) {
  return text.substr(at, prefix.size()) == prefix;
}

// Counts how deeply <array> and <dict> elements nest. Markup inside comments, processing
// instructions and CDATA sections is not markup, and text cannot hold a raw '<'.
std::optional<PlistError> checkXml(std::string_view text, Limits limits) {
  if (text.find('\0') != std::string_view::npos) return PlistError::malformed;
  int open = 0;
  for (std::size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at)) {
    if (startsWith(text, at, "<!--")) {
      at = skipPast(text, at + 4, "-->");
    } else if (startsWith(text, at, "<![CDATA[")) {
      at = skipPast(text, at + 9, "]]>");
    } else if (startsWith(text, at, "<?")) {
      at = skipPast(text, at + 2, "?>");
    } else {
      const std::size_t close = text.find('>', at);
      if (close == std::string_view::npos) break;
      std::string_view tag = text.substr(at + 1, close - at - 1);
      at = close + 1;
      const bool closing = !tag.empty() && tag.front() == '/';
      const bool empty = !tag.empty() && tag.back() == '/';
      if (closing) tag.remove_prefix(1);
      tag = tag.substr(0, tag.find_first_of(" \t\r\n/"));
      if (empty || (tag != "array" && tag != "dict")) continue;
      if (closing) {
        open = std::max(open - 1, 0);
      } else if (++open > limits.depth + 1) {  // the outermost container is at depth 0
        return PlistError::tooDeep;
      }
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<PlistError> check(std::string_view bytes, Limits limits) {
  if (bytes.starts_with(binaryMagic)) return checkBinary(bytes, limits);
  return checkXml(bytes, limits);
}

std::optional<double> topLevelDate(std::string_view binary) {
  auto list = BinaryList::read(binary);
  if (!list || !binary.starts_with(binaryMagic)) return std::nullopt;
  auto at = list->offset(list->root);
  if (!at || static_cast<unsigned char>(binary[*at]) != 0x33) return std::nullopt;
  auto bits = bigEndian(binary.substr(0, list->offsetTable), *at + 1, 8);
  if (!bits) return std::nullopt;
  return std::bit_cast<double>(*bits);
}

}  // namespace hollin::plist_shape
