// The program runner with real children, the SSD helper program as built, and the helper's
// place in a health reading: udisks2 unreachable, the page from a stand-in program.
#include "native/linux/SSDReaders.h"
#include "native/linux/ToolRunner.h"

#include "SSDSysfs.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <sstream>

namespace hollin::native {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::optional<std::string> shell(const std::string& script, std::chrono::milliseconds limit = 5s,
                                 std::size_t cap = 1 << 20) {
  return runTool({"/bin/sh", {"-c", script}, limit, cap});
}

// No child of this process is left, running or as a zombie.
void expectNoChildren() {
  errno = 0;
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST(SSDToolRunner, GivesTheWholeOutputOnlyOfASuccessfulRunWithinTheCap) {
  EXPECT_EQ(shell("printf 'one\\000two'"), std::string("one\0two", 7));
  EXPECT_EQ(shell("true"), "");
  EXPECT_EQ(shell("head -c 300000 /dev/zero")->size(), 300000u);  // many reads, one answer
  EXPECT_FALSE(shell("printf page; exit 1"));
  EXPECT_FALSE(shell("printf page; kill -9 $$"));
  EXPECT_FALSE(runTool({"/nonexistent/program", {}, 1s, 100}));
  EXPECT_FALSE(runTool({"sh", {"-c", "true"}, 1s, 100}));  // a relative path is never searched
  EXPECT_EQ(shell("head -c 4096 /dev/zero", 5s, 4096)->size(), 4096u);
  EXPECT_FALSE(shell("head -c 4097 /dev/zero", 5s, 4096));
  // A program that would write without end is stopped at the cap, not at the time limit.
  const auto start = Clock::now();
  EXPECT_FALSE(shell("cat /dev/zero", 10s, 4096));
  EXPECT_LT(Clock::now() - start, 5s);
  expectNoChildren();
}

TEST(SSDToolRunner, AHangIsKilledAtTheTimeLimitAndReaped) {
  for (const char* script :
       {"sleep 30", "printf part; sleep 30", "printf part; exec >&-; sleep 30", "trap '' TERM INT HUP; sleep 30"}) {
    const auto start = Clock::now();
    EXPECT_FALSE(shell(script, 300ms)) << script;
    const auto took = Clock::now() - start;
    EXPECT_GE(took, 290ms) << script;
    EXPECT_LT(took, 3s) << script;
    expectNoChildren();
  }
}

TEST(SSDToolRunner, TheProgramGetsOnlyItsEnvironmentAndStandardStreams) {
  auto environment = runTool({"/usr/bin/env", {}, 5s, 4096});
  ASSERT_TRUE(environment);
  std::vector<std::string> lines;
  std::istringstream in(*environment);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines, (std::vector<std::string>{"LANG=C", "LC_ALL=C", "PATH=/usr/bin:/bin:/usr/sbin:/sbin"}));

  EXPECT_EQ(shell("cat; echo noise >&2; printf done"), "done");  // stdin empty, stderr away
  // A descriptor this process left open across exec does not reach the program.
  const int stray = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(stray, 3);
  EXPECT_EQ(shell("if [ -e /proc/self/fd/" + std::to_string(stray) + " ]; then printf open; else printf closed; fi"),
            "closed");
  ::close(stray);
}

// The helper program as built: the wait status and what it wrote.
std::pair<int, std::string> runHelper(const std::string& arguments) {
  const std::string program = std::string(HOLLIN_BINARY_DIR) + "/src/app/hollin-smart-read";
  EXPECT_EQ(::access(program.c_str(), X_OK), 0) << "build the hollin-smart-read target first";
  char pattern[] = "/tmp/hollin-smart-XXXXXX";
  const int fd = ::mkstemp(pattern);
  ::close(fd);
  const int status = std::system(("'" + program + "' " + arguments + " >" + pattern + " 2>&1").c_str());
  std::ifstream in(pattern, std::ios::binary);
  std::string output((std::istreambuf_iterator<char>(in)), {});
  ::unlink(pattern);
  return {status, output};
}

TEST(SSDHelperProgram, RefusesAnyArgumentAndWritesAWholePageOrNothing) {
  for (const char* arguments : {"x", "/dev/nvme0", "--help", "''"}) {
    const auto [status, output] = runHelper(arguments);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << arguments;
    EXPECT_EQ(output, "") << arguments;
  }
  // A page only on a machine with one NVMe drive behind the home folder and the rights to read
  // it; anything else fails without a byte.
  const auto [status, output] = runHelper("");
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(output.size(), WEXITSTATUS(status) == 0 ? 512u : 0u);
}

// A stand-in for the helper: a script that writes a prepared page and exits as told.
class SSDHelperReading : public ::testing::Test {
 protected:
  SSDHelperReading() {
    controller = sys.controller("nvme0", "0000:01:00.0");
    sys.partition(sys.nvmeDisk(controller, "nvme0n1", "259:0"), "nvme0n1p2", "259:2");
    sys.mounts({{"259:2", "/", "ext4", "/dev/nvme0n1p2"}});
  }
  std::string helper(const std::string& page, int exitStatus = 0) {
    sys.file("/page", page);
    sys.file("/helper", "#!/bin/sh\n: > '" + sys.tree().path("asked") + "'\ncat '" + sys.tree().path("page") +
                            "'\nexit " + std::to_string(exitStatus) + "\n");
    ::chmod(sys.tree().path("helper").c_str(), 0755);
    return sys.tree().path("helper");
  }
  static std::string page(std::uint8_t spare = 90, std::size_t size = 512) {
    std::string bytes(size, '\0');
    if (size > 5) bytes[3] = static_cast<char>(spare), bytes[4] = 10, bytes[5] = 7;
    return bytes;
  }
  std::optional<HLSSDReading> read(const std::string& tool) {
    // udisks2 cannot be reached: the bus address names no socket.
    return readSSDHealth(sys.root(), "/home/ada", {"unix:path=/nonexistent/bus", tool});
  }
  bool asked() const { return std::filesystem::exists(sys.tree().path("asked")); }

  test::SysfsTree sys;
  std::string controller;
};

TEST_F(SSDHelperReading, WithoutUDisksOnlyAWholeSanePageFromASuccessfulRunCounts) {
  const auto reading = read(helper(page()));
  ASSERT_TRUE(reading);
  EXPECT_EQ(reading->spare, 90);
  EXPECT_EQ(reading->wear, 7);
  EXPECT_FALSE(read(helper(page(90, 511))));
  EXPECT_FALSE(read(helper(page(90, 4097)))) << "past the cap";
  EXPECT_FALSE(read(helper(page(101))));
  EXPECT_FALSE(read(helper(page(), 1)));
  EXPECT_FALSE(read(""));  // no helper installed
  EXPECT_FALSE(read(sys.tree().path("missing")));
  std::filesystem::remove(sys.tree().path("asked"));
  sys.mounts({{"8:1", "/", "ext4", "/dev/sda1"}});
  EXPECT_FALSE(read(helper(page())));
  EXPECT_FALSE(asked()) << "without the drive the helper is not asked";
}

}  // namespace
}  // namespace hollin::native
