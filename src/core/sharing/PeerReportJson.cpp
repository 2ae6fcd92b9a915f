#include "core/sharing/PeerReportJson.h"

#include <cstdint>
#include <limits>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/JsonReader.h"

namespace hollin {
namespace {

constexpr std::size_t anyCount = std::numeric_limits<std::size_t>::max();

// Names are any bytes a process reported; stray bytes are written as U+FFFD rather than
// refused (the strict writer would throw).
std::string text(const Json& json) {
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

template <class Part>
Json arrayOf(const std::vector<Part>& parts) {
  Json array = Json::array();
  for (const Part& part : parts) array.push_back(toJson(part));
  return array;
}

Json reportJson(const PeerReport& report) {
  Json json{{"schema", report.schema},
            {"uid", report.uid},
            {"uptime", report.uptime},
            {"trusted", report.trusted},
            {"workerHealthy", report.workerHealthy},
            {"apps", arrayOf(report.apps)},
            {"memory", arrayOf(report.memory)},
            {"memoryCheckedAt", report.memoryCheckedAt},
            {"memoryComplete", report.memoryComplete}};
  if (report.monitorStatus) json["monitorStatus"] = toJson(*report.monitorStatus);
  return json;
}

AppIdentity identityOf(JsonReader& in, const Json& object) {
  return member(in, object, "identity", appIdentityFromJson).value_or(AppIdentity{});
}

std::optional<AppResponse> appFromJson(const Json& json) {
  return readRecord<AppResponse>(json, [&](JsonReader& in, AppResponse& app) {
    app.identity = identityOf(in, json);
    app.name = in.required<std::string>("name");
    const auto outcome = probeOutcomeFromRawValue(in.required<std::string>("outcome"));
    if (!outcome) in.fail();
    app.outcome = outcome.value_or(ProbeOutcome::responsive);
    app.checkedAt = in.required<double>("checkedAt");
    app.firstFailure = in.optional<double>("firstFailure");
    app.failures = in.required<int>("failures");
  });
}

std::optional<ReportedMemory> processFromJson(const Json& json) {
  return readRecord<ReportedMemory>(json, [&](JsonReader& in, ReportedMemory& process) {
    process.identity = identityOf(in, json);
    process.name = in.required<std::string>("name");
    process.footprint = in.optional<std::uint64_t>("footprint");
    process.resident = in.optional<std::uint64_t>("resident");
  });
}

std::optional<MonitorStatus> statusFromJson(const Json& json) {
  return readRecord<MonitorStatus>(json, [](JsonReader& in, MonitorStatus& status) {
    status.version = in.required<std::string>("version");
    status.loginEnabled = in.required<bool>("loginEnabled");
    status.sharingEnabled = in.required<bool>("sharingEnabled");
    status.receivedUIDs = in.list<std::uint32_t>("receivedUIDs", anyCount);
  });
}

// The most bytes `text` can take inside a JSON string: a control character is escaped in six
// ("\u0001"), a quote or backslash in two, and a byte that is not UTF-8 becomes U+FFFD (three).
std::size_t writtenSizeBound(std::string_view text) {
  std::size_t size = 0;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    size += byte < 0x20 ? 6 : byte >= 0x80 ? 3 : (c == '"' || c == '\\') ? 2 : 1;
  }
  return size;
}

// At least the size of the report's JSON, found without writing it. Every number written at
// its widest (a negative int, the largest UInt64, 24 characters of a double), a process takes
// 137 bytes besides its name, an app 196 and the rest of the report 292.
std::size_t sizeBound(const PeerReport& report) {
  constexpr std::size_t envelope = 300, perApp = 200, perProcess = 140, perUID = 11;
  std::size_t bound = envelope;
  for (const auto& app : report.apps) bound += perApp + writtenSizeBound(app.name);
  for (const auto& process : report.memory) bound += perProcess + writtenSizeBound(process.name);
  if (const auto& status = report.monitorStatus)
    bound += writtenSizeBound(status->version) + perUID * status->receivedUIDs.size();
  return bound;
}

}  // namespace

Json toJson(const AppResponse& app) {
  Json json{{"identity", toJson(app.identity)},
            {"name", app.name},
            {"outcome", rawValue(app.outcome)},
            {"checkedAt", app.checkedAt}};
  if (app.firstFailure) json["firstFailure"] = *app.firstFailure;
  json["failures"] = app.failures;
  return json;
}

Json toJson(const ReportedMemory& process) {
  Json json{{"identity", toJson(process.identity)}, {"name", process.name}};
  if (process.footprint) json["footprint"] = *process.footprint;
  if (process.resident) json["resident"] = *process.resident;
  return json;
}

Json toJson(const MonitorStatus& status) {
  return Json{{"version", status.version},
              {"loginEnabled", status.loginEnabled},
              {"sharingEnabled", status.sharingEnabled},
              {"receivedUIDs", status.receivedUIDs}};
}

std::string encodePeerReport(const PeerReport& report) {
  return text(reportJson(report));
}

std::optional<PeerReport> decodePeerReport(std::string_view text) {
  const Json json = Json::parse(text, nullptr, false);
  return readRecord<PeerReport>(json, [&](JsonReader& in, PeerReport& report) {
    report.schema = in.required<int>("schema");
    report.uid = in.required<std::uint32_t>("uid");
    report.uptime = in.required<double>("uptime");
    report.trusted = in.required<bool>("trusted");
    report.workerHealthy = in.required<bool>("workerHealthy");
    report.apps = in.list("apps", anyCount, appFromJson);
    report.memory = in.list("memory", anyCount, processFromJson);
    report.memoryCheckedAt = in.required<double>("memoryCheckedAt");
    report.memoryComplete = in.required<bool>("memoryComplete");
    report.monitorStatus = optionalMember(in, json, "monitorStatus", statusFromJson);
  });
}

void fitReportSize(PeerReport& report) {
  if (sizeBound(report) <= reportSizeLimit) return;  // the usual report, not written twice
  // Drops entries from the end of `list` until their JSON (with its comma) covers `excess`.
  const auto shed = [](auto& list, std::size_t excess) {
    std::size_t shed = 0;
    while (!list.empty() && shed < excess) {
      shed += text(toJson(list.back())).size() + 1;
      list.pop_back();
    }
    return shed;
  };
  for (std::size_t size = encodePeerReport(report).size(); size > reportSizeLimit;
       size = encodePeerReport(report).size()) {
    const std::size_t excess = size - reportSizeLimit + 1;  // "true" becomes "false"
    if (shed(report.memory, excess) > 0)
      report.memoryComplete = false;
    else if (shed(report.apps, excess) == 0)
      return;
  }
}

}  // namespace hollin
