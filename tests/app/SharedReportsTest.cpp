// The shared folder between real accounts: the test makes throwaway accounts with the sharing
// profile's uids and one outsider, and runs the report tool as each of them; the checks a reader
// makes of a file run here, against files placed by hand.
#include "app/accounts/SharedReports.h"

#include "core/BuildProfile.h"
#include "core/sharing/PeerReportJson.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace hollin {
namespace {

namespace fs = std::filesystem;
using testing::contents;

constexpr std::uint32_t first = sharingUIDs[0], second = sharingUIDs[1], third = sharingUIDs[2];
constexpr std::uint32_t outsider = std::ranges::max(sharingUIDs) + 1;
constexpr std::uint32_t accounts[] = {first, second, third, outsider};
const ShareError folderError{ShareError::Kind::folder, 1};

std::string text(std::uint32_t value) { return std::to_string(value); }

PeerReport validReport(std::uint32_t uid, double uptime) {
  return PeerReport::make(uid, uptime, true, true, {}, {{{1, 1}, "one", 1, 1}}, uptime, true, MonitorStatus{"1.0", false, true, {}});
}

struct ToolRun { int exit = -1; bool killed = false; std::string output; };

class SharedReportsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    testing::ensureApplication();
    accounts_ = std::make_unique<testing::ThrowawayAccounts>(std::vector<std::uint32_t>(std::begin(accounts), std::end(accounts)));
  }
  static void TearDownTestSuite() { accounts_.reset(); }
  static inline std::unique_ptr<testing::ThrowawayAccounts> accounts_;

  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "making accounts and running as them needs root";
    ASSERT_TRUE(accounts_->ready());
    char base[] = "/tmp/hollin-shared-XXXXXX";
    ASSERT_NE(::mkdtemp(base), nullptr);
    root_ = base;
    ::chmod(base, 01777);  // as /var/tmp: the accounts may make the shared folder in it
    folder_ = root_ + "/Hollin";
  }
  void TearDown() override { if (!root_.empty()) fs::remove_all(root_); }

  // The report tool as `uid`, with its own group and no others.
  ToolRun as(std::uint32_t uid, const std::vector<std::string>& arguments) {
    QStringList all = testing::ThrowawayAccounts::as(uid) << HOLLIN_BINARY_DIR "/tests/hollin-test-report-tool";
    for (const auto& argument : arguments) all << QString::fromStdString(argument);
    QProcess tool;
    tool.start("setpriv", all);
    if (!tool.waitForFinished(30000)) return {};
    return {tool.exitCode(), tool.exitStatus() == QProcess::CrashExit, tool.readAllStandardOutput().trimmed().toStdString()};
  }

  std::string path(std::uint32_t uid) const { return folder_ + "/" + text(uid) + ".json"; }

  // The mode bits and owner of `at` itself, not of what a link there points to.
  static std::pair<mode_t, uid_t> modeAndOwner(const std::string& at) {
    return {testing::fileStatus(at).st_mode & 07777, testing::fileStatus(at).st_uid};
  }

  // A fresh folder at `made` (the shared folder unless told), as an administrator would make it
  // unless told otherwise: root's, 01777.
  void makeFolder(const std::string& made = {}, mode_t mode = 01777, std::uint32_t owner = 0) {
    for (const auto& old : {folder_, root_ + "/real"}) fs::remove_all(old);
    const std::string& at = made.empty() ? folder_ : made;
    ASSERT_TRUE(::mkdir(at.c_str(), 0700) == 0 && ::chmod(at.c_str(), mode) == 0 &&
                ::chown(at.c_str(), owner, static_cast<gid_t>(-1)) == 0);
  }

  void place(const std::string& name, const std::string& bytes, std::uint32_t owner, mode_t mode = 0600) {
    const std::string file = folder_ + "/" + name;
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
    ASSERT_TRUE(::chown(file.c_str(), owner, static_cast<gid_t>(-1)) == 0 && ::chmod(file.c_str(), mode) == 0);
  }

  // The temporary files in the folder and their sizes.
  std::vector<std::pair<std::string, std::uintmax_t>> temporaries() const {
    std::vector<std::pair<std::string, std::uintmax_t>> found;
    for (const auto& entry : fs::directory_iterator(folder_))
      if (entry.path().filename().string().starts_with(".")) found.emplace_back(entry.path().filename().string(), entry.file_size());
    return found;
  }

  std::string root_, folder_;
};

TEST_F(SharedReportsTest, AccountsPublishAndReadEachOtherOnlyTheSharingAccountsCanRead) {
  const mode_t umask = ::umask(022);  // the tool inherits it; the folder must get 01777 anyway
  const ToolRun published = as(first, {"publish", folder_, "100", "3"});
  ::umask(umask);
  ASSERT_EQ(published.exit, 0) << published.output;
  EXPECT_EQ(modeAndOwner(folder_), std::pair(mode_t{01777}, uid_t{first}));

  ASSERT_EQ(as(second, {"publish", folder_, "100", "2049"}).exit, 0);
  EXPECT_EQ(as(first, {"read", folder_, text(second), "101"}).output, text(second) + " 2048 incomplete");
  EXPECT_EQ(as(second, {"read", folder_, text(first), "101"}).output, text(first) + " 3 complete");
  EXPECT_EQ(as(third, {"read", folder_, text(first), "101"}).output, text(first) + " 3 complete");
  // Only the owner may write; the group bits show the ACL's mask, which lets the listed accounts
  // read. Accounts made here share the owner's group, and the group entry grants them nothing.
  EXPECT_EQ(modeAndOwner(path(first)), std::pair(mode_t{0640}, uid_t{first}));
  EXPECT_EQ(as(outsider, {"read", folder_, text(first), "101"}).output, "none");
  EXPECT_EQ(as(outsider, {"open", path(first)}).output, std::strerror(EACCES));
  EXPECT_TRUE(temporaries().empty());

  ASSERT_EQ(as(first, {"withdraw", folder_}).exit, 0);
  EXPECT_EQ(as(second, {"read", folder_, text(first), "101"}).output, "none");
  EXPECT_FALSE(fs::exists(path(first)));
  EXPECT_TRUE(fs::exists(path(second)));
}

TEST_F(SharedReportsTest, FailedOrKilledPublishKeepsThePreviousReportWhole) {
  makeFolder();
  ASSERT_EQ(as(first, {"publish", folder_, "100", "3"}).exit, 0);
  const std::string kept = contents(path(first));

  // A write cut short by the file-size limit fails with its errno and leaves nothing behind.
  const ToolRun failed = as(first, {"publish", folder_, "100", "500", "4096", "fail"});
  EXPECT_EQ(failed.exit, 1);
  EXPECT_NE(failed.output.find(std::strerror(EFBIG)), std::string::npos) << failed.output;
  EXPECT_TRUE(temporaries().empty());

  // A writer killed mid-write leaves its temporary file, which no reader looks at.
  const ToolRun killed = as(first, {"publish", folder_, "100", "500", "4096", "kill"});
  EXPECT_TRUE(killed.killed);
  const auto left = temporaries();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_TRUE(left[0].first.starts_with("." + text(first) + "-")) << left[0].first;
  EXPECT_EQ(left[0].second, 4096u);
  EXPECT_EQ(contents(path(first)), kept);
  EXPECT_EQ(as(second, {"read", folder_, text(first), "101"}).output, text(first) + " 3 complete");

  // The account's next publish clears it, and nothing of another account's.
  const std::string foreign = "." + text(second) + "-00000000-0000-0000-0000-000000000000.tmp";
  place(foreign, "partial", second);
  ASSERT_EQ(as(first, {"publish", folder_, "101", "4"}).exit, 0);
  EXPECT_EQ(temporaries(), (std::vector<std::pair<std::string, std::uintmax_t>>{{foreign, 7}}));
  EXPECT_EQ(as(second, {"read", folder_, text(first), "101"}).output, text(first) + " 4 complete");
}

// The report's own rules (its age, its lists, its version) are read in SharedReportTest; one
// row shows the reader applies them at the time it is given.
TEST_F(SharedReportsTest, ReadIgnoresUntrustedFilesAndPublishRefusesUntrustedFoldersOtherScopesAndAccounts) {
  enum class Placement { plain, hardLink, symbolicLink };
  // `size`: the JSON cut or padded with spaces to this many bytes.
  struct Row { const char* name; long size = -1; std::uint32_t owner = second; mode_t mode = 0600;
               Placement placement = Placement::plain; double now = 100; bool read = false; };
  const Row rows[] = {
      {.name = "a trusted file is read", .read = true}, {.name = "524,288 bytes are read", .size = 524288, .read = true},
      {.name = "mode 0664", .mode = 0664}, {.name = "a second hard link", .placement = Placement::hardLink},
      {.name = "a symbolic link in its place", .placement = Placement::symbolicLink},
      {.name = "another account's file", .owner = third}, {.name = "0 bytes", .size = 0},
      {.name = "524,289 bytes", .size = 524289}, {.name = "25.1 s old", .now = 125.1}};
  const PeerReport valid = validReport(second, 100);
  const SharedReports reader(AccountScope::m2Recording, first, folder_);
  for (const Row& row : rows) {
    makeFolder();
    std::string bytes = encodePeerReport(valid);
    if (row.size >= 0) bytes.resize(static_cast<std::size_t>(row.size), ' ');
    const std::string name = text(second) + ".json";
    place(row.placement == Placement::symbolicLink ? "elsewhere" : name, bytes, row.owner, row.mode);
    if (row.placement == Placement::hardLink) { ASSERT_EQ(::link(path(second).c_str(), (folder_ + "/copy").c_str()), 0); }
    if (row.placement == Placement::symbolicLink) { ASSERT_EQ(::symlink("elsewhere", path(second).c_str()), 0); }
    EXPECT_EQ(reader.read(second, row.now), row.read ? std::optional(valid) : std::nullopt) << row.name;
  }

  struct Folder { const char* name; mode_t mode; std::uint32_t owner; bool symbolicLink; };
  const Folder folders[] = {{"a folder of mode 0755", 0755, 0, false},
                            {"a folder an outsider owns", 01777, outsider, false},
                            {"a symbolic link to a good folder", 01777, 0, true}};
  const PeerReport own = validReport(first, 100);
  for (const Folder& row : folders) {
    const std::string made = row.symbolicLink ? root_ + "/real" : folder_;
    makeFolder(made, row.mode, row.owner);
    if (row.symbolicLink) { ASSERT_EQ(::symlink("real", folder_.c_str()), 0); }
    EXPECT_EQ(SharedReports(AccountScope::m2Recording, first, folder_).publish(own), folderError) << row.name;
    EXPECT_EQ(modeAndOwner(made), std::pair(row.mode, uid_t{row.owner})) << row.name << ": not repaired";
    EXPECT_TRUE(fs::is_empty(made)) << row.name;
  }

  makeFolder();
  place(text(first) + ".json", encodePeerReport(own), first);
  place(text(second) + ".json", encodePeerReport(valid), second);
  // The ordinary scope shares nothing: no publish, no read even of its own file, no withdraw.
  const SharedReports current(AccountScope::current, first, folder_);
  EXPECT_EQ(current.publish(own), folderError);
  EXPECT_FALSE(current.read(first, 100));
  current.withdraw();
  EXPECT_TRUE(fs::exists(path(first)));
  // An account outside the profile, and a report in another account's name.
  EXPECT_EQ(SharedReports(AccountScope::m2Recording, outsider, folder_).publish(validReport(outsider, 100)), folderError);
  EXPECT_EQ(SharedReports(AccountScope::m2Recording, first, folder_).publish(valid), folderError);
  EXPECT_EQ(contents(path(second)), encodePeerReport(valid));
  EXPECT_TRUE(temporaries().empty());
}

}  // namespace
}  // namespace hollin
