#include <gtest/gtest.h>

#include "core/OrdinaryAccounts.h"
#include "core/scope/AccountScope.h"
#include "core/scope/LoginSessions.h"
#include "core/scope/LoginState.h"
#include "core/scope/Settings.h"

namespace hollin {
namespace {

// The desktop platform's ordinary range, so the boundary rows read as they do there.
constexpr AccountRange desktopAccounts{500, 65533};

TEST(Accounts, OrdinaryRangeFromLoginDefs) {
  EXPECT_EQ(parseLoginDefs("# UID_MIN 1\nMAIL_DIR\t/var/mail\nUID_MIN\t\t\t  500\nUID_MAX\t\t\t29999\r\nSYS_UID_MIN 100\n"),
            (AccountRange{500, 29999}));
  // Anything doubtful keeps the defaults, 1000…60000.
  for (const char* text : {"", "UID_MIN 2000\n", "UID_MIN 2000\nUID_MAX 1000\n", "UID_MIN 1e3\nUID_MAX 5000\n",
                           "UID_MIN -1\nUID_MAX 5000\n", "UID_MIN\nUID_MAX 5000\n", "UID_MIN 99999999999\nUID_MAX 5000\n"})
    EXPECT_EQ(parseLoginDefs(text), AccountRange{}) << text;
}

TEST(Accounts, ScopeProfileSharingAndLabels) {
  const AccountScope current = AccountScope::current, recording = AccountScope::m2Recording;
  EXPECT_EQ(AccountScope::fromProfile("m2-recording"), recording) << "only the exact profile shares";
  for (const char* profile : {"", "current", "M2-Recording", "m2-recording ", "m2recording"})
    EXPECT_EQ(AccountScope::fromProfile(profile), current) << profile;
  EXPECT_EQ(AccountScope::fromProfile(std::nullopt), current);
  EXPECT_EQ(current.allowedUIDs(1000), (std::set<std::uint32_t>{1000}));
  EXPECT_EQ(recording.allowedUIDs(1000), (std::set<std::uint32_t>{501, 502, 503}));
  MemorySettings settings;
  EXPECT_FALSE(sharingEnabled(recording, settings));
  settings.setBoolean("shareResponseStatus", true);
  EXPECT_TRUE(sharingEnabled(recording, settings));
  EXPECT_FALSE(sharingEnabled(current, settings));

  // The first matching rule names the account.
  struct Row { const char* name; AccountScope scope; std::uint32_t uid, currentUID; LocalizedMessage expected; };
  const Row rows[] = {
      {"fixed account 503 under sharing", recording, 503, 503, msg("英語撮影用（UID 503）")},
      {"fixed account 502 under sharing", recording, 502, 501, msg("日本語撮影用（UID 502）")},
      {"fixed account 501 seen from itself", recording, 501, 501, msg("通常用（UID 501）")},
      {"501 under current is this account", current, 501, 501, msg("このアカウント（UID {0}）", 501)},
      {"500 is a person's account", current, 500, 501, msg("アカウント UID {0}", 500)},
      {"499 is a system account", current, 499, 501, msg("システム（UID {0}）", 499)},
      {"nobody is a system account", current, 65534, 501, msg("システム（UID {0}）", 65534)},
  };
  for (const Row& row : rows)
    EXPECT_EQ(row.scope.label(row.uid, row.currentUID, desktopAccounts), row.expected) << row.name;
}

PlistValue session(PlistValue uid, PlistValue done) {
  return PlistDictionary{{"kCGSSessionUserIDKey", std::move(uid)}, {"kCGSessionLoginDoneKey", std::move(done)}};
}

PlistValue sessionList(PlistArray entries) { return PlistDictionary{{"SessionInfo", entries}}; }

std::optional<std::set<std::uint32_t>> parse(const std::optional<PlistValue>& value, std::uint32_t console = 501) {
  return LoginSessions::parse(value ? &*value : nullptr, console, desktopAccounts);
}

TEST(LoginSessions, TheSessionManagersListAndTheLoginStates) {
  const HLLoginSession list[] = {{501, 1}, {502, 1}, {503, 0}, {120, 1}, {4294967295u, 1}};
  EXPECT_EQ(parse(LoginSessions::value(list, 5)), (std::set<std::uint32_t>{120, 501, 502, 4294967295u}));
  EXPECT_EQ(parse(LoginSessions::value(list, 5), 503), std::nullopt) << "the console's login is opening or closing";
  EXPECT_EQ(parse(LoginSessions::value(list, 0)), std::nullopt) << "no sessions";
  EXPECT_EQ(LoginSessions::value(list, -1), std::nullopt) << "no session manager";
  EXPECT_EQ(LoginSessions::value(nullptr, 0), std::nullopt);

  PlistArray entries(256, session(501, true));
  EXPECT_EQ(parse(sessionList(entries)), (std::set<std::uint32_t>{501}));
  entries.push_back(session(501, true));
  EXPECT_EQ(parse(sessionList(entries)), std::nullopt) << "257 sessions";
  // An integral real is a uid.
  EXPECT_EQ(parse(sessionList({session(501, true), session(502.0, true)})), (std::set<std::uint32_t>{501, 502}));
  const PlistValue value = sessionList({session(0, true), session(501, true), session(65534, true)});
  EXPECT_EQ(parse(value, 501), (std::set<std::uint32_t>{0, 501, 65534}));
  for (std::uint32_t console : {0u, 65534u, 4294967295u})
    EXPECT_EQ(parse(value, console), std::nullopt) << "the console must be an ordinary account: " << console;

  // What the status menu shows for an account: the first matching rule.
  const std::optional<std::set<std::uint32_t>> sessions = std::set<std::uint32_t>{1000, 1001};
  EXPECT_EQ(LoginState::resolve(1000, 1000, sessions, false, true), LoginState::unknown) << "stale";
  EXPECT_EQ(LoginState::resolve(1000, 1000, std::nullopt, false, false), LoginState::active) << "the console";
  EXPECT_EQ(LoginState::resolve(1001, 1000, std::nullopt, false, false), LoginState::unknown) << "no session list";
  EXPECT_EQ(LoginState::resolve(1001, 1000, sessions, false, false), LoginState::background);
  EXPECT_EQ(LoginState::resolve(1002, 1000, sessions, true, false), LoginState::unknown) << "still reporting";
  EXPECT_EQ(LoginState::resolve(1002, 1000, sessions, false, false), LoginState::loggedOut);
}

TEST(LoginSessions, AnyMalformedPartGivesNothing) {
  const PlistValue good = session(501, true);
  const std::pair<const char*, std::optional<PlistValue>> rows[] = {
      // The list's shape.
      {"no value", std::nullopt}, {"not a dictionary", PlistArray{good}}, {"empty dictionary", PlistDictionary{}},
      {"no SessionInfo", PlistDictionary{{"Other", PlistArray{good}}}},
      {"SessionInfo not an array", PlistDictionary{{"SessionInfo", good}}},
      // One entry beside a good one.
      {"entry not a dictionary", sessionList({good, 502})}, {"empty entry", sessionList({good, PlistDictionary{}})},
      {"uid missing", sessionList({good, PlistDictionary{{"kCGSessionLoginDoneKey", true}}})},
      {"done missing", sessionList({good, PlistDictionary{{"kCGSSessionUserIDKey", 502}}})},
      {"uid a boolean", sessionList({good, session(true, true)})}, {"uid a string", sessionList({good, session("502", true)})},
      {"uid not integral", sessionList({good, session(501.5, true)})}, {"uid -1", sessionList({good, session(-1, true)})},
      {"uid 2^32", sessionList({good, session(std::int64_t{4294967296}, true)})},
      {"done a number", sessionList({good, session(502, 1)})},
      {"console not logged in", sessionList({session(502, true)})},
  };
  for (const auto& [name, value] : rows) EXPECT_EQ(parse(value), std::nullopt) << name;
}

}  // namespace
}  // namespace hollin
