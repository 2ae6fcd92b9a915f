// The program runner with real children, and the SSD helper program as built.
#include "native/ToolRunner.h"

#include "FixtureTree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <thread>

namespace hollin::native {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::optional<std::string> shell(const std::string& script, std::chrono::milliseconds limit = 5s,
                                 std::size_t cap = 1 << 20, std::chrono::milliseconds exitGrace = 300ms) {
  return runTool({"/bin/sh", {"-c", script}, limit, cap, exitGrace});
}

// Whether a process has ended: gone, or a zombie left to whoever adopted it.
bool ended(const std::string& pid) {
  std::ifstream stat("/proc/" + pid + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), {});
  return text.empty() || text.substr(text.rfind(')') + 2, 1) == "Z";
}

// No child of this process is left, running or as a zombie.
void expectNoChildren() {
  errno = 0;
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST(ToolRunner, GivesTheWholeOutputOnlyOfASuccessfulRunWithinTheCap) {
  EXPECT_EQ(shell("printf 'one\\000two'"), std::string("one\0two", 7));
  EXPECT_EQ(shell("head -c 300000 /dev/zero")->size(), 300000u);  // many reads, one answer
  EXPECT_FALSE(shell("printf page; exit 1"));
  EXPECT_FALSE(shell("printf page; kill -9 $$"));
  EXPECT_FALSE(runTool({"sh", {"-c", "true"}, 1s, 100}));  // a relative path is never searched
  EXPECT_EQ(shell("head -c 4096 /dev/zero", 5s, 4096)->size(), 4096u);
  // A program that would write without end is stopped at the cap, not at the time limit.
  const auto start = Clock::now();
  EXPECT_FALSE(shell("cat /dev/zero", 10s, 4096));
  EXPECT_LT(Clock::now() - start, 5s);
  expectNoChildren();
}

TEST(ToolRunner, AHangIsKilledAtTheTimeLimitAndReaped) {
  for (const char* script :
       {"sleep 30", "printf part; sleep 30", "printf part; exec >&-; sleep 30", "trap '' TERM INT HUP; sleep 30"}) {
    const auto start = Clock::now();
    EXPECT_FALSE(shell(script, 300ms)) << script;
    EXPECT_GE(Clock::now() - start, 290ms) << script;
    EXPECT_LT(Clock::now() - start, 3s) << script;
    expectNoChildren();
  }
}

TEST(ToolRunner, AChildLeftHoldingTheOutputIsEndedWithTheProgram) {
  const test::FixtureTree folder("");
  const auto start = Clock::now();
  EXPECT_FALSE(shell("sleep 30 & echo $! > " + folder.path("child") + "; printf part", 300ms));
  EXPECT_LT(Clock::now() - start, 3s);
  std::string child;
  std::ifstream(folder.path("child")) >> child;
  ASSERT_FALSE(child.empty());
  for (int i = 0; i < 100 && !ended(child); ++i) std::this_thread::sleep_for(10ms);
  EXPECT_TRUE(ended(child)) << "the background child still runs";
  expectNoChildren();
}

TEST(ToolRunner, TheProgramMayExitShortlyAfterItsOutputEnds) {
  EXPECT_EQ(shell("printf done; exec >&-; sleep 0.1", 5s, 100, 2s), "done");
  const auto start = Clock::now();
  EXPECT_FALSE(shell("printf done; exec >&-; sleep 30", 5s, 100, 200ms));
  EXPECT_LT(Clock::now() - start, 2s);
  expectNoChildren();
}

TEST(ToolRunner, TheProgramGetsOnlyItsEnvironmentAndStandardStreams) {
  EXPECT_EQ(runTool({"/usr/bin/env", {}, 5s, 4096}), "PATH=/usr/bin:/bin:/usr/sbin:/sbin\nLANG=C\nLC_ALL=C\n");
  EXPECT_EQ(shell("cat; echo noise >&2; printf done"), "done");  // stdin empty, stderr away
  // A descriptor this process left open across exec does not reach the program.
  const int stray = ::open("/dev/null", O_RDONLY);
  EXPECT_EQ(shell("[ -e /proc/self/fd/" + std::to_string(stray) + " ] && printf open || printf closed"), "closed");
  ::close(stray);
}

TEST(SSDHelperProgram, RefusesAnyArgumentAndWritesAWholePageOrNothing) {
  const std::string program = "'" + std::string(HOLLIN_BINARY_DIR) + "/src/app/hollin-smart-read'";
  // Its output and then its exit status.
  for (const char* arguments : {"x", "/dev/nvme0", "--help", "''"})
    EXPECT_EQ(shell(program + " " + arguments + " 2>&1; printf $?"), "2") << arguments;
  // A page only on a machine with one NVMe drive behind the home folder and the rights to read
  // it; anything else fails without a byte.
  const auto output = shell(program + " 2>&1; printf ' %s' $?");
  ASSERT_TRUE(output);
  EXPECT_TRUE(output->ends_with(" 0") ? output->size() == 512 + 2 : *output == " 1") << *output;
}

}  // namespace
}  // namespace hollin::native
