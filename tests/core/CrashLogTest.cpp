// Own crash summaries: the summary rules, the kept list, the feedback lines, and the two
// records Linux leaves of a crash (systemd-coredump's journal text, the handler's file).
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "CoreFixtures.h"
#include "core/crash/CrashLog.h"
#include "core/crash/CrashPayload.h"

namespace hollin {
namespace {

using test::utc;
using Fields = CrashLog::Fields;

const WallTime crashNow = utc(2024, 5, 10, 12, 0, 0);

// A frame chain as the call-stack JSON holds it, each frame the next's parent.
Json frameChain(const std::vector<Json>& frames) {
  Json chain;
  for (auto frame = frames.rbegin(); frame != frames.rend(); ++frame) {
    Json entry = *frame;
    if (!chain.is_null()) entry["subFrames"].push_back(std::move(chain));
    chain = std::move(entry);
  }
  return chain;
}

Json ownFrame(Json offset, const char* uuid = nullptr) {
  Json frame = {{"binaryName", "hollin"}, {"offsetIntoBinaryTextSegment", offset}};
  if (uuid) frame["binaryUUID"] = uuid;
  return frame;
}

Json crashedThread(const Json& root) {
  return {{"callStacks", Json::array({{{"threadAttributed", false}, {"callStackRootFrames", Json::array({ownFrame(1)})}},
                                      {{"threadAttributed", true}, {"callStackRootFrames", Json::array({root})}}})}};
}

// A crash of version 1.2 (build 34) on "12 (bookworm)" whose stack was read.
CrashSummary ownCrash(WallTime date, std::vector<std::string> frames = {}, std::optional<std::string> binaryID = {},
                      std::optional<std::int64_t> signal = 11) {
  return {date, "1.2", "34", "12 (bookworm)", signal, std::nullopt, std::nullopt, std::move(frames), std::move(binaryID), true};
}

TEST(CrashLogSummary, FieldsBecomeAValidSummaryOrNothing) {
  const Fields base{crashNow, "hollin", "1.2", "34", "12 (bookworm)", 11, std::nullopt, std::nullopt};
  const std::string stack = crashedThread(ownFrame(0x1a2b, "3F1C0C5A1B2D4E6F7A8B9C0D1E2F3A4B")).dump();
  using Expected = std::function<void(CrashSummary&)>;  // from the summary of `base`; null: nothing
  const struct { const char* name; std::function<void(Fields&)> change; Expected expected; } cases[] = {
      {"as given", [](Fields&) {}, [](CrashSummary&) {}},
      {"a name before the OS version", [](Fields& f) { f.osVersion = "Debian 12 (bookworm)"; },
       [](CrashSummary& s) { s.osVersion = "?"; }},
      {"an OS version of three parts", [](Fields& f) { f.osVersion = "14.5.1 (23F79)"; },
       [](CrashSummary& s) { s.osVersion = "14.5.1 (23F79)"; }},
      {"an underscore in the version", [](Fields& f) { f.appVersion = "1.2_beta"; },
       [](CrashSummary& s) { s.appVersion = "?"; }},
      {"no build", [](Fields& f) { f.build.reset(); }, [](CrashSummary& s) { s.build = "?"; }},
      {"a build of 21 characters", [](Fields& f) { f.build = std::string(21, '7'); }, [](CrashSummary& s) { s.build = "?"; }},
      {"numbers out of range dropped",
       [](Fields& f) { f.signal = -1; f.exceptionType = 4'294'967'296; f.exceptionCode = 4'294'967'295; },
       [](CrashSummary& s) { s.signal.reset(); s.exceptionCode = 4'294'967'295; }},
      {"another program's record", [](Fields& f) { f.bundleIdentifier = "/usr/bin/gedit"; }, nullptr},
      {"a record of no program", [](Fields& f) { f.bundleIdentifier.reset(); }, nullptr},
  };
  const CrashSummary summary = ownCrash(crashNow, {"0x1a2b"}, "3F1C0C5A");
  for (const auto& c : cases) {
    Fields fields = base;
    c.change(fields);
    std::optional<CrashSummary> expected;
    if (c.expected) c.expected(expected.emplace(summary));
    EXPECT_EQ(CrashLog::summary(fields, stack, "hollin", "hollin"), expected) << c.name;
  }

  const auto stackOf = [&base](const std::optional<std::string>& json) { return CrashLog::summary(base, json, "hollin", "hollin"); };
  EXPECT_FALSE(stackOf(std::nullopt)->stackRead);
  EXPECT_FALSE(stackOf("[1, 2]")->stackRead) << "no object";
  EXPECT_FALSE(stackOf("{\"callStacks\": ")->stackRead) << "cut short";
  EXPECT_FALSE(stackOf(stack + std::string(CrashLog::maxStackBytes, ' '))->stackRead) << "over the limit";
  EXPECT_EQ(stackOf("{}"), ownCrash(crashNow)) << "read, without a frame";
}

TEST(CrashLogSummary, TheWalkKeepsOwnFramesOfTheCrashedThread) {
  using Found = std::pair<std::vector<std::string>, std::optional<std::string>>;
  std::vector<Json> nine;
  for (int i = 1; i <= 9; ++i) nine.push_back(ownFrame(i * 16));
  const Json library = {{"binaryName", "libc.so.6"}, {"offsetIntoBinaryTextSegment", 5}, {"binaryUUID", "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE"}};
  const auto belowFrameOne = [](Json subFrames) {
    Json root = ownFrame(1);
    root["subFrames"] = std::move(subFrames);
    return crashedThread(root);
  };
  const struct { const char* name; Json stack; Found found; } cases[] = {
      {"nine own frames keep eight", crashedThread(frameChain(nine)),
       {{"0x10", "0x20", "0x30", "0x40", "0x50", "0x60", "0x70", "0x80"}, std::nullopt}},
      {"the first own frame with an ID names it; others' frames do not count",
       crashedThread(frameChain({library, ownFrame(1, "not an id"), ownFrame(2, "abcdef0123456789abcdef0123456789abcdef01"),
                                 ownFrame(3, "12345678-1234-1234-1234-123456789ABC")})),
       {{"0x1", "0x2", "0x3"}, "ABCDEF01"}},
      {"a boolean, a fraction or a negative offset does not count",
       crashedThread(frameChain({ownFrame(true), ownFrame(1.5), ownFrame(-4), ownFrame(0xfff)})), {{"0xfff"}, std::nullopt}},
      {"subframes that are an object, not a list, stop the walk", belowFrameOne(ownFrame(2)), {{"0x1"}, std::nullopt}},
      {"a frame that is no object ends it", belowFrameOne(Json::array({"frame", ownFrame(3)})), {{"0x1"}, std::nullopt}},
      {"no crashed thread", Json{{"callStacks", Json::array({{{"threadAttributed", 1}, {"callStackRootFrames", {ownFrame(1)}}}})}},
       {}},
      {"stacks that are no objects", Json{{"callStacks", Json::array({1, crashedThread(ownFrame(1))["callStacks"][1]})}}, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(CrashLog::ownFrames(c.stack, "hollin"), c.found) << c.name;

  // A chain longer than the walk goes: the frames beyond 512 steps are never reached.
  std::vector<Json> deep(600, Json{{"binaryName", "libc.so.6"}});
  deep.back() = ownFrame(7);
  EXPECT_EQ(CrashLog::ownFrames(crashedThread(frameChain(deep)), "hollin"), Found{});
}

TEST(CrashLogMerged, NewestThreeValidOnesOfTheLastSixtyDaysOnce) {
  using std::chrono::hours;
  const auto day = [](int days) { return ownCrash(crashNow - hours(24 * days), {"0x10"}); };
  EXPECT_EQ(CrashLog::merged({day(1), day(3)}, {day(2), day(4)}, crashNow), (std::vector{day(1), day(2), day(3)}))
      << "four valid ones keep the newest three";
  EXPECT_EQ(CrashLog::merged({day(61), day(59)}, {}, crashNow), std::vector{day(59)}) << "61 days old is dropped";
  CrashSummary otherSignal = day(1), nineFrames = day(1), badID = day(1), badVersion = day(1);
  otherSignal.signal = 6;
  EXPECT_EQ(CrashLog::merged({day(1)}, {day(1), otherSignal}, crashNow), (std::vector{day(1), otherSignal}))
      << "repeats dropped, equal dates stay in order";
  nineFrames.ownFrames.assign(9, "0x1");
  badID.binaryID = "3f1c0c5a";
  badVersion.appVersion = "1_0";
  EXPECT_EQ(CrashLog::merged({nineFrames, badID, badVersion}, {}, crashNow), std::vector<CrashSummary>{})
      << "invalid ones dropped";
}

TEST(CrashLogFile, SummariesKeepTheirKeysInOrderAndReadBackEqual) {
  CrashSummary full{crashNow + std::chrono::microseconds(123'457), "1.2", "34", "12 (bookworm)", 6, 1, 2, {"0x8db3e"},
                    "3F1C0C5A", true};
  const CrashSummary bare{crashNow, "?", "?", "?", {}, {}, {}, {}, {}, false};
  EXPECT_EQ(toJson(bare).dump(),
            R"({"date":737035200.0,"appVersion":"?","build":"?","osVersion":"?","ownFrames":[],"stackRead":false})");
  EXPECT_EQ(crashSummariesFromJson(Json::parse(toJson(std::vector{full, bare}).dump())), (std::vector{full, bare}));

  const auto read = [](const std::string& text) { return crashSummariesFromJson(Json::parse(text, nullptr, false)); };
  const std::string fields = R"("appVersion":"1","build":"1","osVersion":"?","ownFrames":[],"stackRead":true)";
  EXPECT_TRUE(read("[{\"date\":1," + fields + ",\"signal\":null,\"unknown\":[]}]")) << "null and unknown members";
  EXPECT_EQ(read("[{\"date\":1e300," + fields + "}]")->front().checked(), std::nullopt) << "no date the clock holds";
  for (const std::string& bad : {std::string("{}"), "[{\"date\":\"1\"," + fields + "}]", "[{" + fields + "}]",
                                 "[{\"date\":1," + fields + ",\"signal\":1.5}]"})
    EXPECT_EQ(read(bad), std::nullopt) << bad;
}

TEST(CrashLogDraft, OneLinePerCrashInBothLanguages) {
  const CrashSummary outside{utc(2024, 5, 9, 23, 59), "?", "?", "?", 6, 1, 2, {}, std::nullopt, true};
  const CrashSummary unread{utc(2024, 5, 1, 0, 0), "1.2", "34", "?", {}, {}, {}, {}, {}, false};
  const std::vector crashes{ownCrash(utc(2024, 5, 10, 12, 0), {"0x8db3e", "0x7ed05"}, "3F1C0C5A"), outside, unread};
  EXPECT_EQ(CrashLog::draftLines({}, "en"), std::vector<std::string>{"Crashes: none"});
  EXPECT_EQ(CrashLog::draftLines({}, "ja"), std::vector<std::string>{"落ちた記録: なし"});
  EXPECT_EQ(CrashLog::draftLines(crashes, "en", "Asia/Tokyo"),
            (std::vector<std::string>{
                "Crash: 2024-05-10 21:00 · version 1.2 (build 34) · OS 12 (bookworm) · signal 11 · exception type - · "
                "code - · location Hollin+0x8db3e +0x7ed05 (3F1C0C5A)",
                "Crash: 2024-05-10 08:59 · version ? (build ?) · OS ? · signal 6 · exception type 1 · code 2 · "
                "location outside Hollin's code",
                "Crash: 2024-05-01 09:00 · version 1.2 (build 34) · OS ? · signal - · exception type - · code - · "
                "location could not be read"}));
  EXPECT_EQ(CrashLog::draftLines({unread, outside}, "ja", "UTC"),
            (std::vector<std::string>{
                "落ちた記録: 2024-05-09 23:59・バージョン ?（ビルド ?）・OS ?・シグナル 6・例外の種類 1・コード 2・"
                "位置 ホリンのコードの外",
                "落ちた記録: 2024-05-01 00:00・バージョン 1.2（ビルド 34）・OS ?・シグナル -・例外の種類 -・コード -・"
                "位置 読めませんでした"}));
}

// systemd-coredump's account of a crash of an installed hollin, as journalctl shows it.
constexpr std::string_view crashTestCoreDumpMessage = R"(Process 48213 (hollin) of user 1000 dumped core.

Module /usr/bin/hollin with build-id 3f1c0c5a1b2d4e6f7a8b9c0d1e2f3a4b5c6d7e8f
Module libQt6Core.so.6 with build-id 0A1B2C3D4E5F60718293A4B5C6D7E8F901234567
Module libc.so.6 with build-id 2e01923fea4ad9f7fa50fe24e0f3385a2c3a6a5b
Module linux-vdso.so.1 without build-id.
Stack trace of thread 48213:
#0  0x00007f3a5c8a9e2c __pthread_kill_implementation (libc.so.6 + 0x8ae2c)
#1  0x000055d0e41a7b3e _ZN6hollin13AppController4tickEv (/usr/bin/hollin + 0x8db3e)
#2  0x000055d0e41a2f10 n/a (/usr/bin/hollin + 0x88f10)
#3  0x00007f3a5cd2f8a1 QObject::event(QEvent*) (libQt6Core.so.6 + 0x2f88a1)
#4  0x000055d0e4198d05 main (/usr/bin/hollin + 0x7ed05)
#5  0x00007f3a5c84624a __libc_start_call_main (libc.so.6 + 0x2724a)

Stack trace of thread 48220:
#0  0x00007f3a5c91c9df __GI___poll (libc.so.6 + 0xfd9df)
#1  0x000055d0e41a0000 n/a (/usr/bin/hollin + 0x86000)
ELF object binary architecture: AMD x86-64
)";

const CrashPayload::OwnProgram crashTestProgram{"/usr/bin/hollin", "1.2", "34", "3f1c0c5a1b2d4e6f7a8b9c0d1e2f3a4b5c6d7e8f",
                                          "12 (bookworm)", "c89b46cde8f444f78b35a536de87f488"};

TEST(CrashPayloads, TheJournalTextGivesTheCrashedThreadsFrames) {
  const auto stack = CrashPayload::parseCoreDumpMessage(crashTestCoreDumpMessage);
  ASSERT_TRUE(stack);
  using Frame = CrashPayload::CoreDumpFrame;
  EXPECT_EQ(stack->frames, (std::vector<Frame>{{"libc.so.6", 0x8ae2c}, {"/usr/bin/hollin", 0x8db3e},
                                               {"/usr/bin/hollin", 0x88f10}, {"libQt6Core.so.6", 0x2f88a1},
                                               {"/usr/bin/hollin", 0x7ed05}, {"libc.so.6", 0x2724a}}));
  EXPECT_EQ(stack->buildIDs.size(), 3u);
  EXPECT_EQ(stack->buildIDs[1].second, "0a1b2c3d4e5f60718293a4b5c6d7e8f901234567");
  EXPECT_EQ(CrashPayload::parseCoreDumpMessage("Process 1 (hollin) of user 1000 dumped core.\n"), std::nullopt)
      << "no stack listed";
  EXPECT_EQ(CrashPayload::parseCoreDumpMessage(std::string(crashTestCoreDumpMessage) + std::string(CrashLog::maxStackBytes, ' ')),
            std::nullopt);

  const native::JournalOwnCoreDump entry{"/usr/bin/hollin", "6", "c89b46cde8f444f78b35a536de87f488",
                                         std::string(crashTestCoreDumpMessage), 1'715'342'400'123'456};
  CrashSummary expected = ownCrash(utc(2024, 5, 10, 12) + std::chrono::microseconds(123'456),
                                   {"0x8db3e", "0x88f10", "0x7ed05"}, "3F1C0C5A", 6);
  const auto summary = [](const native::JournalOwnCoreDump& e, const CrashPayload::OwnProgram& own) {
    return CrashPayload::summary(CrashPayload::fromJournal(e, own), own);
  };
  EXPECT_EQ(summary(entry, crashTestProgram), expected);
  // Another build of ours, from another boot: neither version is known.
  const CrashPayload::OwnProgram rebuilt{"/usr/bin/hollin", "1.2", "34", "00112233445566778899", "12 (bookworm)",
                                         "00000000000000000000000000000000"};
  expected.appVersion = expected.build = expected.osVersion = "?";
  EXPECT_EQ(summary(entry, rebuilt), expected);
  native::JournalOwnCoreDump noMessage = entry;
  noMessage.message.reset();
  EXPECT_FALSE(summary(noMessage, crashTestProgram)->stackRead);
}

TEST(CrashPayloads, TheHandlersFileIsReadStrictly) {
  const std::string header = "hollin-crash 1\nversion 1.2\nbuild 34\nos 12 (bookworm)\nbuild-id 3f1c0c5a1b2d4e6f\n";
  const std::string good = header + "signal 11\ntime 1715342400123456\nstack 1\nframe 8db3e\nframe 7ed05\nend\n";
  const auto summaryOf = [](const std::string& text) {
    const auto crash = CrashPayload::parsePendingCrash(text);
    return crash ? CrashPayload::summary(CrashPayload::fromPending(*crash, crashTestProgram), crashTestProgram) : std::nullopt;
  };
  EXPECT_EQ(summaryOf(good), ownCrash(utc(2024, 5, 10, 12) + std::chrono::microseconds(123'456), {"0x8db3e", "0x7ed05"}, "3F1C0C5A"));
  EXPECT_EQ(summaryOf(header + "signal 6\ntime 1\nstack 0\nend\n"),
            (CrashSummary{WallTime(std::chrono::microseconds(1)), "1.2", "34", "12 (bookworm)", 6, {}, {}, {}, {}, false}));

  std::string nineFrames = header + "signal 11\ntime 1\nstack 1\n";
  for (int i = 0; i < 9; ++i) nineFrames += "frame 1\n";
  const struct { const char* name; std::string text; } bad[] = {
      {"cut short", good.substr(0, good.size() - 4)},
      {"no trailing newline", good.substr(0, good.size() - 1)},
      {"another format", "hollin-crash 2" + good.substr(14)},
      {"a line out of order", header + "time 1\nsignal 11\nstack 0\nend\n"},
      {"a signal that is no number", header + "signal -11\ntime 1\nstack 0\nend\n"},
      {"a time beyond the dates kept", header + "signal 11\ntime 9999999999999999\nstack 0\nend\n"},
      {"frames without a stack", header + "signal 11\ntime 1\nstack 0\nframe 1\nend\n"},
      {"an upper-case frame", header + "signal 11\ntime 1\nstack 1\nframe 1A\nend\n"},
      {"a frame of 17 digits", header + "signal 11\ntime 1\nstack 1\nframe 10000000000000000\nend\n"},
      {"nine frames", nineFrames + "end\n"},
      {"something after the end", good + "end\n"},
      {"a control character", "hollin-crash 1\nversion 1\t2\n" + good.substr(27)},
      {"oversized", good + std::string(CrashPayload::pendingMaxBytes, '\n')},
  };
  for (const auto& c : bad) EXPECT_EQ(CrashPayload::parsePendingCrash(c.text), std::nullopt) << c.name;
}

TEST(CrashPayloads, SystemFacts) {
  const struct { const char* osRelease; const char* version; } releases[] = {
      {"VERSION_ID='24.04'\nVERSION_CODENAME=noble\nBUILD_ID=x", "24.04 (noble)"},
      {"VERSION_ID=40\nBUILD_ID=\"20240501\"\n", "40 (20240501)"},
      {"NAME=Arch\nBUILD_ID=rolling\n", "?"},
      {"VERSION_ID=\"12\"\nVERSION_CODENAME=\"book worm\"\n", "?"},
  };
  for (const auto& r : releases) EXPECT_EQ(CrashPayload::osVersionText(r.osRelease), r.version) << r.osRelease;

  EXPECT_TRUE(CrashPayload::pipesToSystemdCoredump("|/lib/systemd/systemd-coredump %P %u %g %s %t %c %h\n"));
  EXPECT_TRUE(CrashPayload::pipesToSystemdCoredump("|/usr/lib/systemd/systemd-coredump"));
  for (const char* other : {"core", "|/usr/share/apport/apport -p%p -s%s -c%c", "/var/crash/systemd-coredump", ""})
    EXPECT_FALSE(CrashPayload::pipesToSystemdCoredump(other)) << other;

  EXPECT_EQ(CrashPayload::bootIDText("C89B46CDE8F444F78B35A536DE87F488"), "c89b46cde8f444f78b35a536de87f488");
  EXPECT_EQ(CrashPayload::bootIDText("c89b46cd-e8f4"), "");
}

}  // namespace
}  // namespace hollin
