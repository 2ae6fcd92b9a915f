// The feedback draft: a short description of the environment and Hollin's own crash lines,
// which the user reads and sends from their own mail program. It holds no application names,
// measured values, user or computer names and no file locations.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/LocalizedMessage.h"
#include "core/crash/CrashLog.h"
#include "core/notify/NotificationRules.h"
#include "core/ui/Screen.h"

namespace hollin::FeedbackReport {

enum class Permission { allowed, denied, notSet, waitingApproval, off };

LocalizedMessage permissionText(Permission permission);

// The notification service as the notifier knows it: answering and accepting postings
// (allowed), answering with an error (denied), none on the bus (off), not asked yet (not set).
Permission notificationPermission(NotificationAuthorization authorization, bool refusedLastPosting);

struct Environment {
  std::string appVersion = "?";
  std::string build = "?";
  std::string osVersion = "?";
  std::string model = "?";
  std::string language = "en";
  Permission notifications = Permission::notSet;
  Permission loginItem = Permission::off;
  Permission accessibility = Permission::notSet;
  std::vector<CrashSummary> crashes;
  bool operator==(const Environment&) const = default;
};

// os-release's PRETTY_NAME ("Debian GNU/Linux 12 (bookworm)"); "Linux", as os-release itself
// has it, when the file names none; "?" without a file.
std::string osVersion(const std::optional<std::string>& osRelease);
// What the firmware calls the computer: its product name, or its maker where the product name
// is missing or one of the fillers firmware leaves in it ("To be filled by O.E.M."); "?" when
// neither says anything.
std::string modelName(const std::optional<std::string>& product, const std::optional<std::string>& vendor);

std::string subject(const Environment& environment);
// The body's lines joined by line feeds; crash dates in timeZone (empty: the machine's own).
std::string body(const Environment& environment, std::string_view timeZone = {});
// What the draft holds and leaves out, shown before anything opens.
std::string prompt(std::string_view language);

// "mailto:" + to + "?subject=" + subject + "&body=" + body, each percent-encoded: only ASCII
// letters, digits and "-._~" (and "@" in the address) stay as they are. Nothing when a text
// is not valid UTF-8.
std::optional<std::string> mailtoURL(std::string_view to, std::string_view subject, std::string_view body);
// The draft to the feedback address.
std::optional<std::string> mailtoURL(const Environment& environment, std::string_view timeZone = {});
// "宛先: " + address, "件名: " + subject, then the body.
std::string clipboardText(const Environment& environment, std::string_view timeZone = {});

// The alerts: the first question (open the draft, copy, close), the draft that could not be
// opened (copy, close) and the copy made (close).
AlertView promptAlert(std::string_view language);
AlertView noDraftAlert(std::string_view language);
AlertView copiedAlert(std::string_view language);

}  // namespace hollin::FeedbackReport
