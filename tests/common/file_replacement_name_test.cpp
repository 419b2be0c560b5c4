// The temporary file of a replacement fits beside a target whose name is
// near the file system's limit of 255 bytes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/file_replacement.h"

namespace nml::testing {
namespace {

namespace fs = std::filesystem;

TEST(FileReplacementName, TargetNamedWithTwoHundredFiftyBytes) {
  const fs::path dir = fs::temp_directory_path() / ("nml-replace-name-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path target = dir / std::string(250, 'r');
  {
    FileReplacement out(target.string());
    ASSERT_TRUE(out.Open()) << out.Errno();
    EXPECT_EQ(fs::path(out.TemporaryPath()).parent_path(), dir);
    ASSERT_TRUE(out.Write("content"));
    ASSERT_TRUE(out.Commit());
  }
  std::ifstream in(target);
  std::string content;
  std::getline(in, content);
  EXPECT_EQ(content, "content");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace nml::testing
