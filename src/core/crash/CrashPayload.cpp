#include "core/crash/CrashPayload.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>

#include <nlohmann/json.hpp>

#include "core/OSRelease.h"
#include "core/PlainText.h"
#include "native/CrashHandler.h"

namespace hollin::CrashPayload {
namespace {

constexpr std::string_view payloadBlanks = " \t\r\n";

// The lines of a text; the last one need not end in a newline.
template <class Each>
void eachPayloadLine(std::string_view text, Each each) {
  while (!text.empty()) {
    const auto end = text.find('\n');
    if (!each(text.substr(0, end))) return;
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
}

// A whole number in radix, all of `text` and nothing else.
template <class Number>
std::optional<Number> payloadNumber(std::string_view text, int radix = 10) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, radix);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

bool isPayloadHex(std::string_view text) {
  return std::ranges::all_of(text, [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::string payloadBaseName(std::string_view path) {
  const auto slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// "#<n>  0x<pc> <symbol> (<module> + 0x<offset>)"; the symbol may hold spaces and parentheses
// of its own, so the module is read from the end.
std::optional<CoreDumpFrame> parseCoreDumpFrame(std::string_view line) {
  if (!line.starts_with('#') || !line.ends_with(')')) return std::nullopt;
  const auto plus = line.rfind(" + 0x");
  if (plus == std::string_view::npos) return std::nullopt;
  const auto offsetText = line.substr(plus + 5, line.size() - 1 - (plus + 5));
  const auto open = line.rfind(" (", plus);
  const auto offset = offsetText.size() <= 16 ? payloadNumber<std::uint64_t>(offsetText, 16) : std::nullopt;
  if (open == std::string_view::npos || !offset || !isPayloadHex(offsetText)) return std::nullopt;
  // The frame's number and address come first.
  const auto number = line.substr(1, line.find_first_of(payloadBlanks) - 1);
  if (!payloadNumber<unsigned>(number) || line.find(" 0x") > open) return std::nullopt;
  std::string module(line.substr(open + 2, plus - open - 2));
  if (module.empty()) return std::nullopt;
  return CoreDumpFrame{std::move(module), *offset};
}

// The call stack CrashLog reads, from the crashed thread's frames, top first: each frame holds
// the next in its "subFrames".
std::string payloadCallStack(const std::vector<CoreDumpFrame>& frames,
                             const std::vector<std::pair<std::string, std::string>>& buildIDs) {
  Json chain;
  for (auto frame = frames.rbegin(); frame != frames.rend(); ++frame) {
    Json entry = Json::object();
    const std::string name = payloadBaseName(frame->module);
    entry["binaryName"] = name;
    // The module as the frame names it, else by its file name (a path in one place, a bare name
    // in the other).
    auto id = std::ranges::find(buildIDs, frame->module, &std::pair<std::string, std::string>::first);
    if (id == buildIDs.end())
      id = std::ranges::find_if(buildIDs, [&name](const auto& module) { return payloadBaseName(module.first) == name; });
    if (id != buildIDs.end()) entry["binaryUUID"] = id->second;
    entry["offsetIntoBinaryTextSegment"] = frame->offset;
    if (!chain.is_null()) entry["subFrames"].push_back(std::move(chain));
    chain = std::move(entry);
  }
  Json thread = {{"threadAttributed", true}, {"callStackRootFrames", Json::array()}};
  if (!chain.is_null()) thread["callStackRootFrames"].push_back(std::move(chain));
  // A module name is whatever bytes the text held.
  return Json{{"callStacks", Json::array({std::move(thread)})}}.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

std::string OwnProgram::executableName() const { return payloadBaseName(executablePath); }

std::optional<CoreDumpStack> parseCoreDumpMessage(std::string_view message) {
  if (message.size() > CrashLog::maxStackBytes) return std::nullopt;
  CoreDumpStack stack;
  enum class Stage { before, crashedThread, after } stage = Stage::before;
  eachPayloadLine(message, [&](std::string_view rawLine) {
    const std::string_view line = trimmedBlanks(rawLine);
    if (line.starts_with("Module ")) {
      constexpr std::string_view withID = " with build-id ";
      const auto at = line.rfind(withID);
      const std::string id = at == std::string_view::npos ? std::string() : asciiLowered(line.substr(at + withID.size()));
      if (at != std::string_view::npos && at > 7 && !id.empty() && id.size() <= 128 && isPayloadHex(id))
        stack.buildIDs.emplace_back(line.substr(7, at - 7), id);
    } else if (line.starts_with("Stack trace of thread ") && line.ends_with(':')) {
      stage = stage == Stage::before ? Stage::crashedThread : Stage::after;
    } else if (stage == Stage::crashedThread) {
      // The crashed thread's frames run to the first line that is none.
      auto frame = parseCoreDumpFrame(line);
      if (!frame && !line.starts_with('#')) stage = Stage::after;
      if (frame && stack.frames.size() < CrashLog::maxFrameSteps) stack.frames.push_back(std::move(*frame));
    }
    return true;
  });
  if (stage == Stage::before) return std::nullopt;
  return stack;
}

std::optional<PendingCrash> parsePendingCrash(std::string_view text) {
  if (text.size() > pendingMaxBytes || !text.ends_with('\n')) return std::nullopt;
  std::vector<std::string_view> lines;
  eachPayloadLine(text, [&lines](std::string_view line) {
    lines.push_back(line);
    return true;
  });
  // The header, four crash lines with the end mark, and the frames between them.
  constexpr std::size_t fixedLines = 9;
  if (lines.size() < fixedLines || lines.size() > fixedLines + native::crashFileMaxFrames ||
      lines.front() != native::crashFileMagic || lines.back() != "end")
    return std::nullopt;
  std::size_t next = 1;
  // The value of the next line, which must carry `key`; printable text, at most 64 bytes.
  const auto value = [&](std::string_view key) -> std::optional<std::string_view> {
    const std::string_view line = lines[next++];
    if (!line.starts_with(key) || line.size() <= key.size() || line[key.size()] != ' ') return std::nullopt;
    const std::string_view rest = line.substr(key.size() + 1);
    if (rest.size() > 64 || !std::ranges::all_of(rest, [](char c) { return c >= 0x20 && c < 0x7f; })) return std::nullopt;
    return rest;
  };
  PendingCrash crash;
  const auto version = value("version"), build = value("build"), os = value("os"), id = value("build-id");
  const auto signal = value("signal"), time = value("time"), stack = value("stack");
  if (!version || !build || !os || !id || !signal || !time || !stack) return std::nullopt;
  crash.appVersion = *version;
  crash.build = *build;
  crash.osVersion = *os;
  if (!isPayloadHex(*id) || id->size() % 2 != 0) return std::nullopt;  // whole bytes
  crash.buildID = *id;
  const auto signalNumber = payloadNumber<std::uint32_t>(*signal);
  const auto micros = payloadNumber<std::uint64_t>(*time);
  if (!signalNumber || !micros || (*stack != "0" && *stack != "1")) return std::nullopt;
  crash.signal = *signalNumber;
  crash.stackRead = *stack == "1";
  const double reference = static_cast<double>(*micros) / 1e6 - referenceDateUnixSeconds;
  if (!(std::abs(reference) <= largestReferenceSeconds)) return std::nullopt;
  crash.date = WallTime(std::chrono::microseconds(*micros));
  while (next + 1 < lines.size()) {
    const auto frame = value("frame");
    const auto offset = frame && frame->size() <= 16 && isPayloadHex(*frame) ? payloadNumber<std::uint64_t>(*frame, 16)
                                                                            : std::nullopt;
    if (!offset) return std::nullopt;
    crash.offsets.push_back(*offset);
  }
  // Frames are only written when a stack was read.
  if (!crash.stackRead && !crash.offsets.empty()) return std::nullopt;
  return crash;
}

Payload fromJournal(const native::JournalOwnCoreDump& entry, const OwnProgram& own) {
  Payload payload;
  CrashLog::Fields& fields = payload.fields;
  fields.date = WallTime(std::chrono::microseconds(entry.realtime));
  if (entry.exe) fields.bundleIdentifier = *entry.exe == own.executablePath ? own.executableName() : *entry.exe;
  if (entry.signal) fields.signal = payloadNumber<std::int64_t>(*entry.signal);
  if (!own.bootID.empty() && entry.bootID && bootIDText(*entry.bootID) == own.bootID) fields.osVersion = own.osVersion;
  const auto stack = entry.message ? parseCoreDumpMessage(*entry.message) : std::nullopt;
  if (!stack) return payload;
  // The crashed executable is the module of our name; the running program's version describes
  // it only when it is this very build.
  const std::string name = own.executableName();
  const auto main = std::ranges::find_if(stack->buildIDs, [&name](const auto& module) { return payloadBaseName(module.first) == name; });
  if (!own.buildID.empty() && main != stack->buildIDs.end() && main->second == own.buildID) {
    fields.appVersion = own.appVersion;
    fields.build = own.build;
  }
  payload.callStackJSON = payloadCallStack(stack->frames, stack->buildIDs);
  return payload;
}

Payload fromPending(const PendingCrash& crash, const OwnProgram& own) {
  Payload payload;
  CrashLog::Fields& fields = payload.fields;
  fields.date = crash.date;
  fields.bundleIdentifier = own.executableName();
  fields.appVersion = crash.appVersion;
  fields.build = crash.build;
  fields.osVersion = crash.osVersion;
  fields.signal = crash.signal;
  if (!crash.stackRead) return payload;
  std::vector<CoreDumpFrame> frames;
  for (std::uint64_t offset : crash.offsets) frames.push_back({own.executablePath, offset});
  std::vector<std::pair<std::string, std::string>> ids;
  if (!crash.buildID.empty()) ids.emplace_back(own.executablePath, crash.buildID);
  payload.callStackJSON = payloadCallStack(frames, ids);
  return payload;
}

std::optional<CrashSummary> summary(const Payload& payload, const OwnProgram& own) {
  const std::string name = own.executableName();
  return CrashLog::summary(payload.fields, payload.callStackJSON, name, name);
}

std::string osVersionText(std::string_view osRelease) {
  const OSReleaseFields fields = osReleaseFields(osRelease);
  std::string name = osReleaseField(fields, "VERSION_CODENAME");
  if (name.empty()) name = osReleaseField(fields, "BUILD_ID");
  const std::string text = osReleaseField(fields, "VERSION_ID") + " (" + name + ")";
  return CrashLog::isOSVersionText(text) ? text : "?";
}

bool pipesToSystemdCoredump(std::string_view corePattern) {
  corePattern = trimmedBlanks(corePattern);
  if (!corePattern.starts_with('|')) return false;
  const std::string_view program = corePattern.substr(1, corePattern.find_first_of(payloadBlanks) - 1);
  return payloadBaseName(program) == "systemd-coredump";
}

std::string bootIDText(std::string_view text) {
  std::string id;
  for (char c : trimmedBlanks(text))
    if (c != '-') id += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return id.size() == 32 && isPayloadHex(id) ? id : std::string();
}

}  // namespace hollin::CrashPayload
