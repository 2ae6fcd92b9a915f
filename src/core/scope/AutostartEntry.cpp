#include "core/scope/AutostartEntry.h"

#include <algorithm>

#include "core/PlainText.h"

namespace hollin {
namespace {

constexpr std::string_view group = "[Desktop Entry]";
// An argument holding any of the reserved characters is quoted, and inside the quotes these four
// are escaped. (Control characters are refused before.)
constexpr std::string_view reserved = " \"'\\><~|&;$*?#()`";
constexpr std::string_view escapedInQuotes = "\"`$\\";

bool isControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

// How the desktop's key-file readers take a boolean: "true" and "1", "false" and "0".
bool saysTrue(std::string_view value) { return value == "true" || value == "1"; }
bool saysFalse(std::string_view value) { return value == "false" || value == "0"; }

}  // namespace

std::optional<std::string> autostartCommand(std::string_view executable) {
  if (!executable.starts_with('/') || std::ranges::any_of(executable, isControl)) return std::nullopt;
  const bool quoted = executable.find_first_of(reserved) != std::string_view::npos;
  std::string argument = quoted ? "\"" : "";
  for (char c : executable) {
    if (quoted && escapedInQuotes.find(c) != std::string_view::npos) argument += '\\';
    argument += c;
  }
  if (quoted) argument += '"';
  // The key file's own escape applies before the quoting: each backslash is written twice, so a
  // backslash of the path ends up as four. A percent sign would start a field code.
  std::string command;
  for (char c : argument) command += c == '\\' ? "\\\\" : c == '%' ? "%%" : std::string(1, c);
  return command;
}

std::optional<std::string> autostartEntry(std::string_view executable) {
  const auto command = autostartCommand(executable);
  if (!command) return std::nullopt;
  // Built by appending: one long chain of + trips a false array-bounds warning of GCC 12.
  std::string entry(group);
  entry += "\nType=Application\nName=Hollin\nName[ja]=ホリン\n"
           "Comment=Watches this computer's memory and health\n"
           "Comment[ja]=このコンピュータのメモリーと健康状態を見守ります\n"
           "Exec=";
  entry += *command;
  entry += "\nIcon=hollin\nTerminal=false\nX-GNOME-Autostart-enabled=true\nNoDisplay=false\n";
  return entry;
}

bool autostartEnabled(std::string_view text, std::string_view executable) {
  const auto command = autostartCommand(executable);
  if (!command) return false;
  bool seenGroup = false, inGroup = false;
  std::optional<std::string_view> type, exec, hidden, enabled;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    line = trimmedBlanks(line, " \t");
    if (line.empty() || line.starts_with('#')) continue;
    if (line.starts_with('[')) {
      if (line == group && seenGroup) return false;
      inGroup = line == group;
      seenGroup = seenGroup || inGroup;
      continue;
    }
    if (!inGroup) continue;
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) return false;
    const std::string_view key = trimmedBlanks(line.substr(0, equals), " \t"), value = trimmedBlanks(line.substr(equals + 1), " \t");
    for (auto [name, slot] : {std::pair{"Type", &type}, {"Exec", &exec}, {"Hidden", &hidden},
                              {"X-GNOME-Autostart-enabled", &enabled}}) {
      if (key != name) continue;
      if (*slot) return false;
      *slot = value;
    }
  }
  return type == "Application" && exec == *command && !(hidden && saysTrue(*hidden)) &&
         !(enabled && saysFalse(*enabled));
}

}  // namespace hollin
