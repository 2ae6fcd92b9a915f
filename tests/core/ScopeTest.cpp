#include <gtest/gtest.h>

#include <vector>

#include "core/L10n.h"
#include "core/scope/AccountScope.h"
#include "core/scope/LoginSessions.h"
#include "core/scope/LoginState.h"
#include "core/scope/Settings.h"

namespace hollin {
namespace {

// The desktop platform's ordinary range, so the boundary rows read as they do there.
constexpr AccountRange desktopAccounts{500, 65533};

TEST(ScopeProfile, OnlyTheExactSharingProfileShares) {
  EXPECT_EQ(AccountScope::fromProfile("m2-recording"), AccountScope::m2Recording);
  for (const char* profile : {"", "current", "M2-Recording", "m2-recording ", "m2recording"})
    EXPECT_EQ(AccountScope::fromProfile(profile), AccountScope::current) << profile;
  EXPECT_EQ(AccountScope::fromProfile(std::nullopt), AccountScope::current);

  EXPECT_EQ(AccountScope::fromRawValue("m2-recording"), AccountScope::m2Recording);
  EXPECT_EQ(AccountScope::fromRawValue("Current"), std::nullopt);

  const AccountScope current = AccountScope::current, recording = AccountScope::m2Recording;
  EXPECT_EQ(current.allowedUIDs(1000), (std::set<std::uint32_t>{1000}));
  EXPECT_EQ(recording.allowedUIDs(1000), (std::set<std::uint32_t>{501, 502, 503}));
  MemorySettings settings;
  EXPECT_FALSE(sharingEnabled(recording, settings));
  settings.setBoolean("shareResponseStatus", true);
  EXPECT_TRUE(sharingEnabled(recording, settings));
  EXPECT_FALSE(sharingEnabled(current, settings));
}

TEST(ScopeLabel, FirstMatchingRuleWins) {
  struct Row {
    const char* name;
    AccountScope scope;
    std::uint32_t uid, currentUID;
    LocalizedMessage expected;
  };
  const AccountScope current = AccountScope::current, recording = AccountScope::m2Recording;
  const std::vector<Row> rows = {
      {"fixed account 503 under sharing", recording, 503, 503, msg("英語撮影用（UID 503）")},
      {"fixed account 502 under sharing", recording, 502, 501, msg("日本語撮影用（UID 502）")},
      {"fixed account 501 seen from itself", recording, 501, 501, msg("通常用（UID 501）")},
      {"501 under current is this account", current, 501, 501,
       msg("このアカウント（UID {0}）", 501)},
      {"500 is a person's account", current, 500, 501, msg("アカウント UID {0}", 500)},
      {"499 is a system account", current, 499, 501, msg("システム（UID {0}）", 499)},
      {"nobody is a system account", current, 65534, 501, msg("システム（UID {0}）", 65534)},
  };
  for (const Row& row : rows)
    EXPECT_EQ(row.scope.label(row.uid, row.currentUID, desktopAccounts), row.expected) << row.name;
  EXPECT_EQ(L10n::render(AccountScope().label(501, 501), "en"), "This account (UID 501)");
}

TEST(ScopeLoginState, ResolveRules) {
  const std::optional<std::set<std::uint32_t>> sessions = std::set<std::uint32_t>{1000, 1001};
  const std::optional<std::set<std::uint32_t>> unknownSessions;
  EXPECT_EQ(LoginState::resolve(1000, 1000, sessions, false, true), LoginState::unknown);
  EXPECT_EQ(LoginState::resolve(1000, 1000, unknownSessions, false, false), LoginState::active);
  EXPECT_EQ(LoginState::resolve(1001, 1000, unknownSessions, false, false), LoginState::unknown);
  EXPECT_EQ(LoginState::resolve(1001, 1000, sessions, false, false), LoginState::background);
  EXPECT_EQ(LoginState::resolve(1002, 1000, sessions, true, false), LoginState::unknown);
  EXPECT_EQ(LoginState::resolve(1002, 1000, sessions, false, false), LoginState::loggedOut);

  EXPECT_EQ(LoginState(LoginState::background).rawValue(), "ログイン中・背後");
  EXPECT_EQ(LoginState::fromRawValue("未ログイン"), LoginState::loggedOut);
  EXPECT_EQ(L10n::render(LoginState(LoginState::active).message(), "en"), "In use");
}

PlistValue session(PlistValue uid, PlistValue done) {
  return PlistDictionary{{"kCGSSessionUserIDKey", std::move(uid)},
                         {"kCGSessionLoginDoneKey", std::move(done)}};
}

PlistValue sessionList(PlistArray entries) { return PlistDictionary{{"SessionInfo", entries}}; }

std::optional<std::set<std::uint32_t>> parse(const PlistValue& value, std::uint32_t console = 501) {
  return LoginSessions::parse(&value, console, desktopAccounts);
}

TEST(ScopeLoginSessions, ReadsFinishedLogins) {
  const PlistValue value = sessionList(
      {session(501, true), session(502.0, true), session(503, false), session(4294967295.0, true)});
  EXPECT_EQ(parse(value), (std::set<std::uint32_t>{501, 502, 4294967295u}));
  EXPECT_EQ(LoginSessions::parse(nullptr, 501, desktopAccounts), std::nullopt);

  PlistArray entries(256, session(501, true));
  EXPECT_EQ(parse(sessionList(entries)), (std::set<std::uint32_t>{501}));
  entries.push_back(session(501, true));
  EXPECT_EQ(parse(sessionList(entries)), std::nullopt) << "257 sessions";
}

TEST(ScopeLoginSessions, AnyMalformedPartGivesNothing) {
  struct Row {
    const char* name;
    PlistValue value;
  };
  const PlistValue good = session(501, true);
  const std::vector<Row> rows = {
      {"not a dictionary", PlistArray{good}},
      {"empty dictionary", PlistDictionary{}},
      {"no SessionInfo", PlistDictionary{{"Other", PlistArray{good}}}},
      {"SessionInfo not an array", PlistDictionary{{"SessionInfo", good}}},
      {"no sessions", sessionList({})},
      {"entry not a dictionary", sessionList({good, 502})},
      {"empty entry", sessionList({good, PlistDictionary{}})},
      {"uid missing", sessionList({good, PlistDictionary{{"kCGSessionLoginDoneKey", true}}})},
      {"done missing", sessionList({good, PlistDictionary{{"kCGSSessionUserIDKey", 502}}})},
      {"uid a boolean", sessionList({good, session(true, true)})},
      {"uid a string", sessionList({good, session("502", true)})},
      {"uid not integral", sessionList({good, session(501.5, true)})},
      {"uid -1", sessionList({good, session(-1, true)})},
      {"uid 2^32", sessionList({good, session(std::int64_t{4294967296}, true)})},
      {"done a number", sessionList({good, session(502, 1)})},
      {"console not logged in", sessionList({session(502, true)})},
      {"console login not done", sessionList({session(501, false), session(502, true)})},
  };
  for (const Row& row : rows) EXPECT_EQ(parse(row.value), std::nullopt) << row.name;
}

TEST(ScopeLoginSessions, ConsoleMustBeAnOrdinaryAccount) {
  const PlistValue value = sessionList({session(0, true), session(501, true), session(65534, true)});
  for (std::uint32_t console : {0u, 65534u, 4294967295u})
    EXPECT_EQ(parse(value, console), std::nullopt) << console;
  EXPECT_EQ(parse(value, 501), (std::set<std::uint32_t>{0, 501, 65534}));
}

}  // namespace
}  // namespace hollin
