// nmlcorr run as a user runs it: exit statuses, messages, files written or not.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Run {
  int status;
  std::string out;  // standard output and standard error together
};

Run Nmlcorr(const std::string& args, const fs::path& cwd) {
  const std::string cmd = "cd '" + cwd.string() + "' && '" NML_CLI "' " + args + " 2>&1";
  Run r{-1, {}};
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  const int raw = pclose(p);
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return r;
}

class Nmlcorr_ : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("nmlcorr-test-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy_file(fs::path(NML_TEST_DATA) / "savings.csv", dir / "savings.csv");
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

TEST_F(Nmlcorr_, BundledExampleWritesItsReport) {
  const auto r = Nmlcorr("-q", dir);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(r.out.empty()) << r.out;
  ASSERT_TRUE(fs::exists(dir / "savings-report.xlsx"));
  EXPECT_GT(fs::file_size(dir / "savings-report.xlsx"), 5000u);
}

TEST_F(Nmlcorr_, PrintsTheReport) {
  const auto r = Nmlcorr("savings.csv -x B1:F51 --headers", dir);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("Pearson Correlation Results for:"), std::string::npos);
  EXPECT_NE(r.out.find("Variable Range = savings!$B$1:$F$51"), std::string::npos);
  // r(sr, pop15) = -0.45553808647385385 shows with four decimals.
  EXPECT_NE(r.out.find("-0.4555"), std::string::npos) << r.out;
  EXPECT_TRUE(fs::exists(dir / "savings-report.xlsx"));
}

TEST_F(Nmlcorr_, UsageErrorsExitTwo) {
  for (const char* args : {"savings.csv", "savings.csv -x A1:B3 --bogus", "savings.csv -x A1:B3 -m nothing",
                           "savings.csv -x"}) {
    const auto r = Nmlcorr(args, dir);
    EXPECT_EQ(r.status, 2) << args << "\n" << r.out;
    EXPECT_EQ(r.out.rfind("nmlcorr: ", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("usage: nmlcorr [DATA] [options]"), std::string::npos);
  }
  EXPECT_EQ(Nmlcorr("--help", dir).status, 0);
  EXPECT_NE(Nmlcorr("--version", dir).out.find("nmlcorr "), std::string::npos);
}

TEST_F(Nmlcorr_, ComponentErrorsAreReadable) {
  const auto r = Nmlcorr("savings.csv --headers -m multiple -x C1:F51 -y B1:B50", dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("nmlcorr: error 5028: the X and Y ranges have different numbers of rows"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("source: Line "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" in NMLCorrelation.clsCorrelation.Results"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(dir / "savings-report.xlsx"));

  const auto text = Nmlcorr("savings.csv -x A1:C51", dir);  // column A holds country names
  EXPECT_EQ(text.status, 1);
  EXPECT_NE(text.out.find("error 6001: "), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("$A$1"), std::string::npos) << text.out;
}

TEST_F(Nmlcorr_, NeverWritesTheInputFile) {
  const auto before = fs::file_size(dir / "savings.csv");
  fs::copy_file(dir / "savings.csv", dir / "copy.xlsx");
  const auto r = Nmlcorr("savings.csv -x B1:F51 -o ./savings.csv", dir);
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("is the input file"), std::string::npos) << r.out;
  EXPECT_EQ(fs::file_size(dir / "savings.csv"), before);
}

TEST_F(Nmlcorr_, FailedRunLeavesAnExistingOutputAlone) {
  {
    std::ofstream f(dir / "out.xlsx");
    f << "previous";
  }
  const auto r = Nmlcorr("savings.csv --headers -x B1:B51 -o out.xlsx", dir);  // one column: 5049
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("error 5049"), std::string::npos) << r.out;
  std::ifstream f(dir / "out.xlsx");
  std::string content;
  std::getline(f, content);
  EXPECT_EQ(content, "previous");

  const auto ok = Nmlcorr("savings.csv --headers -x B1:C51 -q -o out.xlsx", dir);
  EXPECT_EQ(ok.status, 0) << ok.out;
  EXPECT_GT(fs::file_size(dir / "out.xlsx"), 1000u);
  // The writer's temporary file is a hidden ".out.xlsx.XXXXXX" beside the output.
  for (const auto& entry : fs::directory_iterator(dir))
    EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
}

TEST_F(Nmlcorr_, BrokenInputFilesGetAClearError) {
  {
    std::ofstream f(dir / "broken.xlsx");
    f << "this is not a zip archive";
  }
  const auto r = Nmlcorr("broken.xlsx -x A1:B3", dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out.find("internal error"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("broken.xlsx"), std::string::npos) << r.out;
  const auto missing = Nmlcorr("nothere.csv -x A1:B3", dir);
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.out.find("nothere.csv"), std::string::npos) << missing.out;
}

}  // namespace
