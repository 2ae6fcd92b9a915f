#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/LocalizedMessage.h"

// Turns messages into the text of the process language ("ja" or "en") through the string
// tables ja.lproj/Localizable.strings and en.lproj/Localizable.strings. The language and the
// tables are worked out once, on first use, and stay fixed for the life of the process.
namespace hollin::L10n {

using StringTable = std::map<std::string, std::string>;

// The finished text of `message` in `language`: that language's table, else the English
// table, else the key itself; then the placeholders are filled in.
std::string render(const LocalizedMessage& message, std::string_view language);
// render(message, language()).
std::string text(const LocalizedMessage& message);
// A bare Japanese key (for example a stored older text) in the process language.
std::string legacy(std::string_view key);
// The message unchanged, so call sites taking a message and taking text share one spelling.
inline const LocalizedMessage& message(const LocalizedMessage& m) { return m; }
// That language's whole table, or an empty table when none was loaded.
const StringTable& catalog(std::string_view language);

// "ja" or "en" for an ordered list of preferred language identifiers.
std::string languageFor(const std::vector<std::string>& preferred);
// The process language.
const std::string& language();

// The preferred languages of a Linux session: LANGUAGE (colon-separated), then LC_ALL,
// LC_MESSAGES and LANG, each without ".encoding" and "@modifier"; "C" and "POSIX" are not
// languages. `lookup` reads one environment variable (nullptr when unset).
std::vector<std::string> preferredLanguages(
    const std::function<const char*(const char*)>& lookup);

// Where an installed program keeps its tables (<prefix>/share/hollin). Consulted before the
// source tree's resources; takes effect only when called before the first rendering.
void setInstalledDataDirectory(std::filesystem::path directory);

// The resources folders the tables are looked for in, in order (the help text is looked for
// in the same ones): the only data folder when one was given, else the installed data folder
// when there is one, then the source tree's.
std::vector<std::filesystem::path> resourceDirectories();

// A program that ships its own tables (the widget program) takes them from `directory` alone:
// the installed folder and the source tree's resources are never consulted, and without tables
// there the keys show as they are. Takes effect only when called before the first rendering.
void useOnlyDataDirectory(std::filesystem::path directory);

// Reads one string-table file: a property list of string pairs. Anything else gives nothing.
std::optional<StringTable> loadTable(const std::filesystem::path& file);

// The table file of `language` under a resources folder.
std::filesystem::path tablePath(const std::filesystem::path& resources, std::string_view language);

// The resources folder of the source tree (tests read the tables from here).
std::filesystem::path sourceResourcesDirectory();

// `render` over given tables (either may be null): the template from `languageTable`, else from
// `englishTable`, else the key.
std::string renderFrom(const LocalizedMessage& message, const StringTable* languageTable,
                       const StringTable* englishTable);

// The placeholder substitution of `render`, on a template already looked up.
std::string substitute(std::string_view templ, const std::vector<std::string>& arguments);

}  // namespace hollin::L10n
