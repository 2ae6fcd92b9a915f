// Own crash summaries from real records: a program of ours that crashes on purpose with each
// signal the handler takes, a journal file written by systemd-journal-remote, and the summary
// file on a real file system.
#include <gtest/gtest.h>

#include <elf.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstring>
#include <filesystem>

#include "TestSupport.h"
#include "app/crash/CrashReceiver.h"
#include "core/crash/CrashPayload.h"

namespace hollin {
namespace {

namespace fs = std::filesystem;
using testing::contents;

const std::string crasherProgram = HOLLIN_BINARY_DIR "/tests/hollin-test-crasher";

std::string writeCrashFile(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
  return path;
}

// The executable segments of an ELF file, as offsets from its load base: [start, end) each.
std::vector<std::pair<std::uint64_t, std::uint64_t>> crasherCodeSegments(const std::string& path) {
  const std::string image = contents(path);
  Elf64_Ehdr header{};
  if (image.size() < sizeof header) return {};
  std::memcpy(&header, image.data(), sizeof header);
  std::vector<std::pair<std::uint64_t, std::uint64_t>> segments;
  for (int i = 0; i < header.e_phnum; ++i) {
    Elf64_Phdr segment{};
    const std::size_t at = header.e_phoff + static_cast<std::size_t>(i) * header.e_phentsize;
    if (at + sizeof segment > image.size()) return {};
    std::memcpy(&segment, image.data() + at, sizeof segment);
    if (segment.p_type == PT_LOAD && (segment.p_flags & PF_X) != 0)
      segments.emplace_back(segment.p_vaddr, segment.p_vaddr + segment.p_memsz);
  }
  return segments;
}

class CrashFilesTest : public ::testing::Test {
 protected:
  std::string path(const std::string& relative) const { return folder_.path().toStdString() + "/" + relative; }
  OwnCrashSources sources(const std::string& executable) const {
    return {path("root"), path("data/crash-pending"), 1000, executable, "1.2", "34", ""};
  }
  QTemporaryDir folder_;
};

TEST_F(CrashFilesTest, EachSignalOfTheHandlerGivesOneSummaryWithOnlyOwnFrames) {
  const auto segments = crasherCodeSegments(crasherProgram);
  ASSERT_FALSE(segments.empty());
  const std::string pending = path("data/crash-pending");
  fs::create_directories(path("data"));
  const CrashReceiver receiver(sources(crasherProgram), std::nullopt, std::chrono::system_clock::now());
  const struct { const char* kind; int signal; } crashes[] = {
      {"segv", SIGSEGV}, {"bus", SIGBUS}, {"ill", SIGILL}, {"fpe", SIGFPE}, {"abrt", SIGABRT}};
  for (const auto& crash : crashes) {
    SCOPED_TRACE(crash.kind);
    const WallTime before = std::chrono::floor<std::chrono::microseconds>(std::chrono::system_clock::now());
    // The crasher run to its end.
    const char* arguments[] = {crasherProgram.c_str(), pending.c_str(), crash.kind, nullptr};
    pid_t pid = 0;
    int status = -1;
    if (::posix_spawn(&pid, crasherProgram.c_str(), nullptr, nullptr, const_cast<char* const*>(arguments), environ) == 0)
      ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == crash.signal) << "wait status " << status;
    const auto summaries = receiver.receive(std::chrono::system_clock::now());
    ASSERT_EQ(summaries.size(), 1u);
    const CrashSummary& summary = summaries.front();
    EXPECT_EQ(std::tie(summary.signal, summary.appVersion, summary.build, summary.osVersion, summary.stackRead),
              std::tuple(crash.signal, "1.2", "34", "12 (bookworm)", true));
    EXPECT_TRUE(summary.date >= before && summary.date <= std::chrono::system_clock::now());
    EXPECT_FALSE(summary.ownFrames.empty()) << "main at least";
    for (const auto& frame : summary.ownFrames) {
      const std::uint64_t offset = std::stoull(frame.substr(2), nullptr, 16);
      EXPECT_TRUE(std::ranges::any_of(segments, [offset](const auto& s) { return offset >= s.first && offset < s.second; }))
          << frame << " lies in the crasher's code";
    }
    EXPECT_TRUE(summary.binaryID) << "the linker's build-id";
    EXPECT_FALSE(fs::exists(pending)) << "read once";
  }

  writeCrashFile(pending, "hollin-crash 1\nversion 1.2\n");
  EXPECT_EQ(receiver.receive(std::chrono::system_clock::now()), std::vector<CrashSummary>{}) << "cut short";
  EXPECT_FALSE(fs::exists(pending)) << "removed though it gave nothing";
}

// One entry of the journal export format, MESSAGE in its binary-safe form (it spans lines).
std::string journalExportEntry(std::uint64_t realtime, const std::string& exe, const std::string& message) {
  std::string entry = "__REALTIME_TIMESTAMP=" + std::to_string(realtime) + "\n__MONOTONIC_TIMESTAMP=1\n" +
                      "_BOOT_ID=c89b46cde8f444f78b35a536de87f488\nMESSAGE_ID=fc2e22bc6ee647b6b90729ab34a250b1\n" +
                      "COREDUMP_UID=1000\nCOREDUMP_SIGNAL=6\nCOREDUMP_EXE=" + exe + "\nMESSAGE\n";
  for (int byte = 0; byte < 8; ++byte) entry += static_cast<char>((message.size() >> (8 * byte)) & 0xff);
  return entry + message + "\n\n";
}

TEST_F(CrashFilesTest, AJournalEntryOfOurExecutableAndNoneOfAnotherProgram) {
  constexpr const char* journalRemote = "/lib/systemd/systemd-journal-remote";
  if (::access(journalRemote, X_OK) != 0) GTEST_SKIP() << "systemd-journal-remote is not installed";
  const std::string message =
      "Process 48213 (hollin) of user 1000 dumped core.\n\n"
      "Module /opt/hollin/bin/hollin with build-id 3f1c0c5a1b2d4e6f7a8b9c0d1e2f3a4b5c6d7e8f\n"
      "Stack trace of thread 48213:\n"
      "#0  0x00007f3a5c8a9e2c __pthread_kill_implementation (libc.so.6 + 0x8ae2c)\n"
      "#1  0x000055d0e41a7b3e _ZN6hollin13AppController4tickEv (/opt/hollin/bin/hollin + 0x8db3e)\n"
      "#2  0x000055d0e4198d05 main (/opt/hollin/bin/hollin + 0x7ed05)\n";
  constexpr std::uint64_t now = 1'715'342'400'000'000, day = 86'400'000'000;  // 2024-05-10 12:00 UTC, µs
  // The oldest entry written last, as after a clock set back; it is past the 60 days all the same.
  writeCrashFile(path("export"), journalExportEntry(now - day, "/opt/hollin/bin/hollin", message) +
                                     journalExportEntry(now - day / 2, "/usr/bin/gedit", message) +
                                     journalExportEntry(now - 61 * day, "/opt/hollin/bin/hollin", message));
  const std::string journal = path("root/var/log/journal/0123456789abcdef0123456789abcdef");
  fs::create_directories(journal);
  const QStringList writeJournal{"-o", QString::fromStdString(journal + "/remote.journal"), QString::fromStdString(path("export"))};
  ASSERT_EQ(QProcess::execute(journalRemote, writeJournal), 0);
  writeCrashFile(path("root/proc/sys/kernel/random/boot_id"), "c89b46cd-e8f4-44f7-8b35-a536de87f488\n");
  writeCrashFile(path("root/etc/os-release"), "VERSION_ID=\"12\"\nVERSION_CODENAME=bookworm\n");

  OwnCrashSources own = sources("/opt/hollin/bin/hollin");
  own.buildID = "3f1c0c5a1b2d4e6f7a8b9c0d1e2f3a4b5c6d7e8f";
  const WallTime at = WallTime(std::chrono::microseconds(now));
  const CrashSummary expected{at - std::chrono::hours(24), "1.2", "34", "12 (bookworm)", 6, std::nullopt, std::nullopt,
                              {"0x8db3e", "0x7ed05"}, "3F1C0C5A", true};
  EXPECT_EQ(CrashReceiver(own, std::nullopt, at).receive(at), std::vector{expected});
  own.executablePath = "/usr/bin/hollin";
  EXPECT_EQ(CrashReceiver(own, std::nullopt, at).receive(at), std::vector<CrashSummary>{}) << "another executable";
}

TEST_F(CrashFilesTest, TheSummaryFileIsKeptStrictly) {
  const std::string file = path("data/Hollin/crash-summaries.json");
  const WallTime now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
  const CrashSummary crash{now - std::chrono::hours(1) + std::chrono::microseconds(123'457), "1.2", "34", "?", 11,
                           std::nullopt, std::nullopt, {"0x10"}, std::nullopt, true};

  CrashRecorder recorder(file, now);
  recorder.add({crash}, now);
  const struct stat written = testing::fileStatus(file);  // its owner-only modes are AtomicFile's and DataFolder's
  recorder.add({crash}, now);
  CrashRecorder again(file, now);
  EXPECT_EQ(again.crashes(), std::vector{crash}) << "read back equal";
  again.add({crash}, now);
  const struct stat after = testing::fileStatus(file);
  EXPECT_TRUE(after.st_ino == written.st_ino && after.st_mtim.tv_sec == written.st_mtim.tv_sec &&
              after.st_mtim.tv_nsec == written.st_mtim.tv_nsec)
      << "the same crash added again does not rewrite the file";

  const std::string kept = contents(file);
  for (const std::string& bad : {kept + std::string(CrashLog::maxFileBytes + 1 - kept.size(), ' '),
                                 std::string("[{\"date\": 1}]")}) {
    writeCrashFile(file, bad);
    EXPECT_EQ(CrashRecorder(file, now).crashes(), std::vector<CrashSummary>{});
    EXPECT_EQ(contents(file), bad) << "left as it is";
  }

  // A link in the place of the file is neither followed nor replaced.
  const std::string target = writeCrashFile(path("elsewhere.json"), kept);
  fs::remove(file);
  fs::create_symlink(target, file);
  CrashRecorder linked(file, now);
  EXPECT_EQ(linked.crashes(), std::vector<CrashSummary>{});
  linked.add({crash}, now);
  EXPECT_EQ(linked.crashes(), std::vector{crash}) << "kept in memory";
  EXPECT_TRUE(fs::is_symlink(file));
  EXPECT_EQ(contents(target), kept);
}

}  // namespace
}  // namespace hollin
