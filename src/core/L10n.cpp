#include "core/L10n.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>

#include "core/PropertyList.h"

namespace hollin::L10n {

namespace {

constexpr std::size_t tableSizeLimit = 4 * 1024 * 1024;  // bytes; our tables are a few KiB

std::mutex configurationMutex;
std::optional<std::filesystem::path> installedDataDirectory;
std::optional<std::filesystem::path> onlyDataDirectory;

struct Tables {
  StringTable ja, en;
  bool hasJa = false, hasEn = false;
};

const Tables& tables() {
  static const Tables loaded = [] {
    Tables t;
    for (const auto& folder : resourceDirectories()) {
      std::error_code ec;
      if (!std::filesystem::exists(tablePath(folder, "ja"), ec) &&
          !std::filesystem::exists(tablePath(folder, "en"), ec))
        continue;
      if (auto ja = loadTable(tablePath(folder, "ja"))) t.ja = std::move(*ja), t.hasJa = true;
      if (auto en = loadTable(tablePath(folder, "en"))) t.en = std::move(*en), t.hasEn = true;
      break;
    }
    return t;
  }();
  return loaded;
}

const StringTable* tableFor(std::string_view language) {
  const Tables& t = tables();
  if (language == "ja") return t.hasJa ? &t.ja : nullptr;
  if (language == "en") return t.hasEn ? &t.en : nullptr;
  return nullptr;
}

// An optional sign, then digits and nothing else; the index must name an argument.
std::optional<std::size_t> argumentIndex(std::string_view inside, std::size_t count) {
  bool negative = false;
  if (!inside.empty() && (inside.front() == '+' || inside.front() == '-')) {
    negative = inside.front() == '-';
    inside.remove_prefix(1);
  }
  if (inside.empty()) return std::nullopt;
  std::size_t value = 0;
  for (char c : inside) {
    if (c < '0' || c > '9') return std::nullopt;
    if (value > count) continue;  // already out of range; keep checking the characters
    value = value * 10 + static_cast<std::size_t>(c - '0');
  }
  if (negative && value != 0) return std::nullopt;
  if (value >= count) return std::nullopt;
  return value;
}

std::string stripLocaleSuffix(std::string_view name) {
  if (auto at = name.find('@'); at != std::string_view::npos) name = name.substr(0, at);
  if (auto dot = name.find('.'); dot != std::string_view::npos) name = name.substr(0, dot);
  return std::string(name);
}

}  // namespace

std::string substitute(std::string_view templ, const std::vector<std::string>& arguments) {
  std::string out;
  out.reserve(templ.size());
  std::size_t position = 0;
  for (;;) {
    const std::size_t open = templ.find('{', position);
    if (open == std::string_view::npos) {
      out.append(templ.substr(position));
      break;
    }
    out.append(templ.substr(position, open - position));
    const std::size_t close = templ.find('}', open + 1);
    if (close == std::string_view::npos) {
      out.append(templ.substr(open));
      break;
    }
    const std::string_view inside = templ.substr(open + 1, close - open - 1);
    if (auto index = argumentIndex(inside, arguments.size()))
      out.append(arguments[*index]);
    else
      out.append(templ.substr(open, close - open + 1));
    position = close + 1;
  }
  return out;
}

std::string renderFrom(const LocalizedMessage& message, const StringTable* languageTable,
                       const StringTable* englishTable) {
  auto lookup = [&message](const StringTable* table) -> const std::string* {
    if (!table || table->empty()) return nullptr;
    auto it = table->find(message.key);
    return it == table->end() ? nullptr : &it->second;
  };
  const std::string* templ = lookup(languageTable);
  if (!templ) templ = lookup(englishTable);
  return substitute(templ ? *templ : message.key, message.arguments);
}

std::string render(const LocalizedMessage& message, std::string_view language) {
  return renderFrom(message, tableFor(language), tableFor("en"));
}

std::string text(const LocalizedMessage& message) { return render(message, language()); }

std::string legacy(std::string_view key) {
  return render(LocalizedMessage{std::string(key), {}}, language());
}

const StringTable& catalog(std::string_view language) {
  static const StringTable empty;
  const StringTable* table = tableFor(language);
  return table ? *table : empty;
}

std::string languageFor(const std::vector<std::string>& preferred) {
  for (const std::string& entry : preferred) {
    std::string normalised = entry;
    for (char& c : normalised)
      if (c == '_') c = '-';
    std::string_view rest = normalised;
    std::string first;
    while (!rest.empty()) {
      const std::size_t dash = rest.find('-');
      const std::string_view piece = rest.substr(0, dash);
      if (!piece.empty()) {
        first = piece;
        break;
      }
      if (dash == std::string_view::npos) break;
      rest.remove_prefix(dash + 1);
    }
    if (first.empty()) continue;
    for (char& c : first)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (first == "ja") return "ja";
    if (first == "en") return "en";
  }
  return "en";
}

const std::string& language() {
  static const std::string chosen =
      languageFor(preferredLanguages([](const char* name) { return std::getenv(name); }));
  return chosen;
}

std::vector<std::string> preferredLanguages(
    const std::function<const char*(const char*)>& lookup) {
  std::vector<std::string> list;
  auto add = [&list](std::string_view raw) {
    std::string name = stripLocaleSuffix(raw);
    if (name.empty() || name == "C" || name == "POSIX") return;
    list.push_back(std::move(name));
  };
  if (const char* languages = lookup("LANGUAGE")) {
    std::string_view rest = languages;
    while (!rest.empty()) {
      const std::size_t colon = rest.find(':');
      add(rest.substr(0, colon));
      if (colon == std::string_view::npos) break;
      rest.remove_prefix(colon + 1);
    }
  }
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"})
    if (const char* value = lookup(variable)) add(value);
  return list;
}

std::vector<std::filesystem::path> resourceDirectories() {
  std::lock_guard lock(configurationMutex);
  if (onlyDataDirectory) return {*onlyDataDirectory};
  std::vector<std::filesystem::path> folders;
  if (installedDataDirectory) folders.push_back(*installedDataDirectory);
  folders.push_back(sourceResourcesDirectory());
  return folders;
}

void setInstalledDataDirectory(std::filesystem::path directory) {
  std::lock_guard lock(configurationMutex);
  installedDataDirectory = std::move(directory);
}

void useOnlyDataDirectory(std::filesystem::path directory) {
  std::lock_guard lock(configurationMutex);
  onlyDataDirectory = std::move(directory);
}

std::optional<StringTable> loadTable(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes;
  char chunk[16384];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    bytes.append(chunk, static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > tableSizeLimit) return std::nullopt;
  }
  auto value = parsePropertyList(bytes, tableSizeLimit);
  if (!value) return std::nullopt;
  return value->asStringTable();
}

std::filesystem::path tablePath(const std::filesystem::path& resources, std::string_view language) {
  return resources / (std::string(language) + ".lproj") / "Localizable.strings";
}

std::filesystem::path sourceResourcesDirectory() { return HOLLIN_SOURCE_RESOURCES_DIR; }

}  // namespace hollin::L10n
