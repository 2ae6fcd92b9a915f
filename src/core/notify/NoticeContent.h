#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/LocalizedMessage.h"

// What the memory and hang notices say, and the actions a notice of the "memory-notice"
// category offers.
namespace hollin {

// One notice ready to post: identifier, texts still to be rendered, urgency.
struct NoticeRequest {
  std::string id;
  LocalizedMessage title;
  LocalizedMessage body;
  bool urgent = false;
  bool operator==(const NoticeRequest&) const = default;
};

struct NoticeAction {
  std::string_view id;
  LocalizedMessage title;
};

// "open-activity-monitor" and "mute-ten-minutes", in the order they are offered.
const std::array<NoticeAction, 2>& noticeActions();
// The title of a click on the notification itself (it brings the analysis window forward).
LocalizedMessage clickActionTitle();

// The memory notice for a notice's raw value ("early", "warning", "critical"): identifier
// "memory-" + raw value, urgent only when critical. Nothing for any other value.
std::optional<NoticeRequest> memoryNotice(std::string_view rawValue);

// The hang-notice key of a process: owner uid, "-", pid, "-", start, all decimal.
std::string hangKey(std::uint32_t uid, std::int32_t pid, std::uint64_t start);
// The notice for a suspected hang in the report of the account named `accountLabel`.
NoticeRequest hangNotice(std::string_view key, const LocalizedMessage& accountLabel);
// The owner uid of a "hang-" identifier (its second "-" part, decimal), else nothing.
std::optional<std::uint32_t> hangSourceUID(std::string_view identifier);

}  // namespace hollin
