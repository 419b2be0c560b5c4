// Replacing a file all at once: the target holds the old or the whole new
// content, keeps its mode, and no temporary file stays behind.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "common/file_replacement.h"
#include "support/temp_folder.h"

namespace nml::testing {
namespace {

namespace fs = std::filesystem;
using nml::test::TempFolder;

class FileReplacementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(target_) << "old";
    ::chmod(target_.c_str(), 0640);
  }

  std::string Content() const {
    std::ifstream in(target_);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  std::size_t Entries() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {})); }

  const TempFolder folder_;
  const fs::path& dir_ = folder_.Path();
  std::string target_ = (dir_ / "registry.txt").string();
};

TEST_F(FileReplacementTest, CommitReplacesTheWholeFileAndKeepsItsMode) {
  FileReplacement out(target_);
  ASSERT_TRUE(out.Open() && out.Write("new ") && out.Write("content"));
  EXPECT_EQ(Content(), "old");  // nothing visible before the commit
  ASSERT_TRUE(out.Commit());
  EXPECT_EQ(Content(), "new content");
  EXPECT_EQ(fs::status(target_).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(Entries(), 1u);
}

TEST_F(FileReplacementTest, AbandonedOrImpossibleReplacementsLeaveTheTargetAlone) {
  {
    FileReplacement out(target_);
    ASSERT_TRUE(out.Open() && out.Write("half"));
  }  // never committed
  EXPECT_EQ(Content(), "old");
  EXPECT_EQ(Entries(), 1u);

  FileReplacement nowhere((dir_ / "missing-folder" / "file.txt").string());
  EXPECT_FALSE(nowhere.Open());
  EXPECT_EQ(nowhere.FailedStep(), FileReplacement::Step::kCreate);
  EXPECT_EQ(nowhere.Errno(), ENOENT);

  // A folder in the target's place cannot be replaced by a file.
  fs::create_directories(dir_ / "taken");
  FileReplacement blocked((dir_ / "taken").string());
  ASSERT_TRUE(blocked.Open());
  EXPECT_FALSE(blocked.Commit());
  EXPECT_EQ(blocked.FailedStep(), FileReplacement::Step::kReplace);
  EXPECT_TRUE(fs::is_directory(dir_ / "taken"));
}

// The temporary name does not grow with the target's, which may be near the
// 255-byte limit.
TEST_F(FileReplacementTest, TargetNamedWithTwoHundredFiftyBytes) {
  target_ = (dir_ / std::string(250, 'r')).string();
  FileReplacement out(target_);
  ASSERT_TRUE(out.Open()) << out.Errno();
  ASSERT_TRUE(out.Write("new") && out.Commit());
  EXPECT_EQ(Content(), "new");
  EXPECT_EQ(Entries(), 2u);  // beside registry.txt
}

}  // namespace
}  // namespace nml::testing
