// nmlcorr run as a user runs it: exit statuses, messages, files written or not.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status;
  std::string out;  // standard output and standard error together
};

// Runs a shell command in cwd, standard error with standard output.
Outcome Shell(const std::string& command, const fs::path& cwd) {
  Outcome r{-1, {}};
  if (FILE* p = popen(("cd '" + cwd.string() + "' && (" + command + ") 2>&1").c_str(), "r")) {
    for (int c; (c = std::fgetc(p)) != EOF;) r.out += static_cast<char>(c);
    const int raw = pclose(p);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  return r;
}

void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary);
  f << text;
}

// Writes a CSV file: names prefix0, prefix1, ... over `rows` rows of value(r, c), r from 1.
void WriteGrid(const fs::path& path, int rows, int cols, const std::string& prefix, int (*value)(int, int)) {
  std::ofstream f(path);
  for (int r = 0; r <= rows; ++r)
    for (int c = 0; c < cols; ++c)
      f << (r ? std::to_string(value(r, c)) : prefix + std::to_string(c)) << (c + 1 < cols ? ',' : '\n');
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A command line and texts its output must hold.
using Case = std::pair<const char*, std::vector<std::string>>;

// How many files the folder holds.
std::ptrdiff_t Entries(const fs::path& dir) { return std::distance(fs::directory_iterator(dir), {}); }

// Nine cases, five of them with a missing value written in a different way;
// the four complete ones give r(Age, Cholesterol) = 0.8, r(Age, Score) = 0.6
// and r(Cholesterol, Score) = 0 (worked out by hand and with numpy).
constexpr const char* kSurvey =
    "Age (years),\"Cholesterol, total (mg/dL)\",Score\n"
    "1,1,2\nNA,5,5\n2,3,1\n,7,7\n3,2,4\n4,.,9\n#N/A,8,8\n4,4,3\n-,9,1\n";

class Nmlcorr_ : public ::testing::Test {
 protected:
  void SetUp() override { fs::copy_file(fs::path(NML_TEST_DATA) / "savings.csv", dir / "savings.csv"); }
  // Runs nmlcorr with args (which may end in redirections or a pipe) in the folder.
  Outcome Nmlcorr(const std::string& args) const { return Shell("'" NML_CLI "' " + args, dir); }
  const nml::test::TempFolder folder;
  const fs::path& dir = folder.Path();
};

TEST_F(Nmlcorr_, PrintsTheReportAndWritesItsWorkbook) {
  const auto r = Nmlcorr("savings.csv -x B1:F51 --headers");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Has(r.out, "Pearson Correlation Results for:")) << r.out;
  // r(sr, pop15) = -0.45553808647385385 shows with four decimals.
  EXPECT_TRUE(Has(r.out, "-0.4555"));
  fs::remove(dir / "savings-report.xlsx");
  // The bundled example, quietly.
  const auto quiet = Nmlcorr("-q");
  EXPECT_EQ(quiet.status, 0) << quiet.out;
  EXPECT_TRUE(quiet.out.empty()) << quiet.out;
  ASSERT_TRUE(fs::exists(dir / "savings-report.xlsx"));
  EXPECT_GT(fs::file_size(dir / "savings-report.xlsx"), 5000u);
}

// Command lines refused before anything is read: exit status 2, a message,
// and the input file never written.
TEST_F(Nmlcorr_, RefusedCommandLinesExitTwoAndNeverWriteTheInput) {
  const auto before = fs::file_size(dir / "savings.csv");
  for (const auto& [args, expected] : std::vector<std::pair<const char*, const char*>>{
           {"savings.csv -x A1:B3 --bogus", "usage: nmlcorr [DATA] [options]"},
           {"savings.csv -x B1:F51 -o ./savings.csv", "is the input file"},
           {"savings.csv -x B1:F51 -o savings.txt", "must end in .xlsx"}}) {
    const auto r = Nmlcorr(args);
    EXPECT_EQ(r.status, 2) << args << "\n" << r.out;
    EXPECT_EQ(r.out.rfind("nmlcorr: ", 0), 0u) << r.out;
    EXPECT_TRUE(Has(r.out, expected)) << args << ": " << expected << "\n" << r.out;
  }
  EXPECT_EQ(fs::file_size(dir / "savings.csv"), before);
  EXPECT_FALSE(fs::exists(dir / "savings.txt"));
  EXPECT_EQ(Nmlcorr("--help").status, 0);
  EXPECT_NE(Nmlcorr("--version").out.find("nmlcorr "), std::string::npos);
}

TEST_F(Nmlcorr_, ListwiseDeletionAnalysesTheCompleteCases) {
  WriteFile(dir / "d.csv", kSurvey);
  const Case cases[] = {
      {"d.csv -x A:C --headers --missing listwise",
       {"nmlcorr: used 4 of 9 cases; 5 had missing values", "Variable Range = d (complete cases)!$A$1:$C$5",
        "Age (years)                      1.0000                      0.8000  0.6000"}},
      {"d.csv --x-vars 'Age (years),Score' --missing listwise", {"used 5 of 9 cases; 4 had missing values"}},
      // Nothing missing: the analysis stays on the user's cells.
      {"d.csv -x B1:C4 --headers --missing listwise",
       {"used 3 of 3 cases; none had missing values", "Variable Range = d!$B$1:$C$4"}},
  };
  for (const auto& [args, expected] : cases) {
    const auto r = Nmlcorr(args);
    EXPECT_EQ(r.status, 0) << args << "\n" << r.out;
    for (const std::string& e : expected) EXPECT_TRUE(Has(r.out, e)) << args << ": " << e << "\n" << r.out;
  }
}

// Runs that fail: exit status 1, a numbered error naming the problem (and a
// hint where one helps), no file written and an existing output left alone.
TEST_F(Nmlcorr_, DataProblemsAreNamedAndWriteNothing) {
  WriteFile(dir / "d.csv", kSurvey);
  WriteFile(dir / "t.csv", "a,b\n1,2\n2,x\n3,5\n4,.\n");
  WriteFile(dir / "semi.csv", "a;b\n1;2\n3;4\n5;7\n");
  WriteFile(dir / "broken.xlsx", "this is not a zip archive");
  WriteFile(dir / "out.xlsx", "previous");
  ASSERT_EQ(Nmlcorr("d.csv -x A:C --headers --missing listwise -q -o two.xlsx").status, 0);
  const Case cases[] = {
      {"savings.csv --headers -x B1:B51 -o out.xlsx", {"error 5049"}},  // one column
      {"d.csv -x A:C --headers",
       {"error 6001: 'd'!$A$3 holds text, not a number",
        "  hint: the ranges hold 5 missing cells; --missing listwise leaves out the cases with missing values (5)\n"
        "  source: "}},
      {"t.csv -x A:B --headers --missing listwise",
       {"error 6001: 't'!$B$3 holds text, neither a number nor a missing value"}},
      {"d.csv --x-vars 'Age,Score'",
       {"error 6151: the sheet d has no column named \"Age\"; its names are (closest first): \"Age (years)\", "
        "\"Score\""}},
      {"d.csv --x-vars 'Score,\"Age (years)'", {"error 6150: unclosed quote"}},
      {"d.csv -m multiple -x B1:B5 -y C1:C4 --headers",
       {"nmlcorr: error 5028: the X and Y ranges have different numbers of rows\n",
        "hint: the X range has 5 rows and the Y range 4", "source: Line ", " in NMLCorrelation.clsCorrelation.Results"}},
      {"d.csv -x Nope!A1:B5", {"error 5010", "hint: there is no sheet 'Nope'; the sheets are: d\n"}},
      {"d.csv -x 'My data!A1:B5'", {"error 5010", "hint: quote a sheet name that holds spaces: \"'My data'!A1:B9\""}},
      {"d.csv -x B1:C4 --headers --output-range A1", {"error 6004", "hint: add --overwrite"}},
      {"d.csv -x C1:C2", {"error 6001", "hint: the first row holds names: add --headers"}},
      {"semi.csv -x A1:B4 --headers", {"hint: the file separates its fields with ';'"}},
      {"d.csv -x C2:C5,A2:A5 -o nodir/out.xlsx",
       {"error 6140: cannot write nodir/out.xlsx: its folder does not exist", "hint: the folder /", "/nodir does not exist"}},
      {"two.xlsx -x \"d!B1:B5,'d (complete cases)'!A1:A5\" --headers -q -o x.xlsx",
       {"error 5010", "hint: the areas of one range must lie on one sheet"}},
      {"broken.xlsx -x A1:B3", {"broken.xlsx"}}, {"nothere.csv -x A1:B3", {"nothere.csv"}},
  };
  const auto files = Entries(dir);
  for (const auto& [args, expected] : cases) {
    const auto r = Nmlcorr(args);
    EXPECT_EQ(r.status, 1) << args << "\n" << r.out;
    for (const std::string& e : expected) EXPECT_TRUE(Has(r.out, e)) << args << ": " << e << "\n" << r.out;
    EXPECT_FALSE(Has(r.out, "internal error")) << args << "\n" << r.out;
    EXPECT_EQ(Entries(dir), files) << args;
  }
  std::ifstream previous(dir / "out.xlsx");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(previous), {}), "previous");

  const auto ok = Nmlcorr("savings.csv --headers -x B1:C51 -q -o out.xlsx");
  EXPECT_EQ(ok.status, 0) << ok.out;
  EXPECT_GT(fs::file_size(dir / "out.xlsx"), 1000u);
  // The writer's temporary file is a hidden ".nmlcorr-XXXXXX.tmp" beside the output.
  for (const auto& entry : fs::directory_iterator(dir))
    EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
}

TEST_F(Nmlcorr_, TheWorkbookIsWrittenBeforeTheReportIsPrinted) {
  // A report of 3,000 score rows overfills a pipe whose reader has gone.
  WriteGrid(dir / "big.csv", 3000, 4, "v", [](int i, int c) { return c < 3 ? i % (17 - 3 * c + c / 2) : i * 7 % 19; });
  const auto head = Nmlcorr("big.csv -m canonical -x A:B -y C:D --headers --raw --print-scores | head -1");
  // head's line and nmlcorr's one error line, in either order.
  const std::string line = "Canonical Correlation Results for:\n";
  const std::string error = "nmlcorr: error 6140: cannot write the report to standard output: Broken pipe\n";
  EXPECT_TRUE(head.out == line + error || head.out == error + line) << head.out;
  EXPECT_GT(fs::file_size(dir / "big-report.xlsx"), 30000u);

  const auto full = Nmlcorr("savings.csv -x B1:F51 --headers -o full.xlsx >/dev/full");
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.out, "nmlcorr: error 6140: cannot write the report to standard output: No space left on device\n");
  EXPECT_TRUE(fs::exists(dir / "full.xlsx"));
}

TEST_F(Nmlcorr_, OutOfMemoryIsErrorSeven) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
#endif
  // 400 variables need about 50 MB; the run gets 35 MB of address space.
  WriteGrid(dir / "w.csv", 6, 400, "v", [](int r, int c) { return (r * 7 + c * c) % 23; });
  ASSERT_EQ(Nmlcorr("w.csv -x A:OJ --headers -q").status, 0);
  const auto r = Shell("ulimit -v 35000; '" NML_CLI "' w.csv -x A:OJ --headers -q -o small.xlsx", dir);
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_EQ(r.out.rfind("nmlcorr: error 7: Out of memory\n", 0), 0u) << r.out;
  EXPECT_FALSE(fs::exists(dir / "small.xlsx"));
}

TEST_F(Nmlcorr_, TheWorkbookOpensOnTheReport) {
  if (std::system("/usr/bin/python3 -c 'import openpyxl' > /dev/null 2>&1") != 0) GTEST_SKIP() << "no openpyxl";
  ASSERT_EQ(Nmlcorr("savings.csv -m canonical -x C1:D51 -y B1:B51,E1:F51 --headers --raw -q -o v.xlsx").status, 0);
  // openpyxl, an independent reader: the active sheet, its selection, the
  // page setup, and the font sizes of main titles, a table title and a number.
  const auto r = Shell("/usr/bin/python3 -c \"import openpyxl; s = openpyxl.load_workbook('v.xlsx').active; "
                       "print(s.title, s.sheet_view.selection[0].sqref, s.sheet_properties.pageSetUpPr.fitToPage, "
                       "s.page_setup.fitToWidth or 1, s.page_setup.fitToHeight, "
                       "[(c, s[c].value, s[c].font.sz) for c in ('A1', 'A5', 'B7')], "
                       "[(c.value, c.font.sz) for c in s['A'] if c.value == 'Raw Results'])\"", dir);
  EXPECT_EQ(r.out, "Sheet2 A1 True 1 0 [('A1', 'Canonical Correlation Results for:', 14.0), "
                   "('A5', 'Correlation Matrix (r)', 11.0), ('B7', 1, 11.0)] [('Raw Results', 14.0)]\n");
}

TEST_F(Nmlcorr_, ProgressOnATerminal) {
  if (std::system("script --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1) to give nmlcorr a terminal";
  WriteGrid(dir / "rows.csv", 20000, 2, "v", [](int i, int c) { return c ? i * i % 11 : i % 7; });
  const auto r = Shell("script -qec \"'" NML_CLI "' rows.csv -x A:B --headers -q\" /dev/null | tr '\\r' '\\n'", dir);
  EXPECT_TRUE(Has(r.out, "nmlcorr: writing rows-report.xlsx ... cells 5")) << r.out;
  EXPECT_TRUE(Has(r.out, "nmlcorr: writing rows-report.xlsx ... package 100%")) << r.out;
  EXPECT_TRUE(fs::exists(dir / "rows-report.xlsx"));
}

TEST_F(Nmlcorr_, TerminalOutputFitsItsWidth) {
  // Twelve variables of long names: the matrices go in blocks of at most 80
  // columns, each with the row names.
  WriteGrid(dir / "wide.csv", 6, 12, "variable_", [](int r, int c) { return r * (c + 3) % 7 + r * c; });
  const auto r = Nmlcorr("wide.csv -x A:L --headers");
  ASSERT_EQ(r.status, 0) << r.out;
  std::size_t longest = 0, rowNames = 0, pos = 0;
  for (std::size_t end; (end = r.out.find('\n', pos)) != std::string::npos; pos = end + 1) {
    longest = std::max(longest, end - pos);
    if (r.out.compare(pos, 11, "variable_11") == 0) ++rowNames;
  }
  EXPECT_LE(longest, 80u);
  EXPECT_GE(rowNames, 6u);  // three matrices, each in at least two blocks

  const auto scores = Nmlcorr("savings.csv -m canonical -x C1:D51 -y B1:B51,E1:F51 --headers --raw");
  EXPECT_TRUE(Has(scores.out, "Canonical Variates: 50 cases, in the workbook (--print-scores prints them)"))
      << scores.out;
  const auto printed = Nmlcorr("savings.csv -m canonical -x C1:D51 -y B1:B51,E1:F51 --headers --raw --print-scores");
  EXPECT_TRUE(Has(printed.out, "Case      CVS1 1")) << printed.out;
}

}  // namespace
