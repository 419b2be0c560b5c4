// nmlcorr: runs the correlation component on a spreadsheet or CSV file the way
// the spreadsheet's dialog would, prints the report and writes the workbook.
#include <strings.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "cli/data_preparation.h"
#include "cli/hints.h"
#include "cli/messages.h"
#include "cli/options.h"
#include "cli/progress.h"
#include "cli/report_text.h"
#include "cli/prep/area_reference.h"
#include "nmlcorrelation/correlation.h"
#include "nmlcorrelation/workbook.h"

#ifndef NML_VERSION
#define NML_VERSION "0.0.0"
#endif
#ifndef NML_EXAMPLE_DIR
#define NML_EXAMPLE_DIR "examples"
#endif

namespace fs = std::filesystem;

namespace nml::cli {
namespace {

// The bundled example: installed beside the program (share/nmlcorrelation/
// examples), else in the source tree the program was built from.
std::string ExamplePath() {
  const std::string installed = Host::ExampleFile();
  if (!installed.empty()) return installed;
  return (fs::path(NML_EXAMPLE_DIR) / "savings.csv").string();
}

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  if (fs::exists(a, ec) && fs::exists(b, ec)) return fs::equivalent(a, b, ec);
  return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}

// An error of the component or the files, with the advice printed after it.
struct Failure {
  Error error;
  std::string hint;
};

// Terminal columns of standard output; 80 when it is not a terminal.
std::size_t TerminalWidth() {
  winsize ws{};
  if (isatty(STDOUT_FILENO) == 1 && ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
  return 80;
}

// Writes the report to standard output; a closed pipe or a full disk is a
// failed run (the workbook is already written by then).
void Print(const std::string& text) {
  errno = 0;
  const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
  if (!written || std::fflush(stdout) != 0 || std::ferror(stdout)) {
    const int err = errno;
    throw Error(ComponentError(kWriteFailed),
                std::string("cannot write the report to standard output: ") + (err ? std::strerror(err) : "write error"));
  }
}

void Analyse(Options& o, bool& opened) {
  Progress progress;
  progress.Stage("reading " + fs::path(o.data).filename().string());
  Host::Open(o.data);
  opened = true;

  const std::string cases = PrepareData(o);
  progress.Finish();
  if (!cases.empty()) std::fprintf(stderr, "nmlcorr: %s\n", cases.c_str());
  // A missing output folder is found before a long analysis, not after.
  std::error_code ec;
  const fs::path folder = fs::absolute(fs::path(o.output), ec).parent_path();
  if (!fs::is_directory(folder, ec))
    throw Error(ComponentError(kWriteFailed), "cannot write " + o.output + ": its folder does not exist");

  progress.Stage("analysing");
  clsCorrelation corr;
  corr.Method(o.method);
  corr.XRange(o.xRange);
  if (!o.yRange.empty()) corr.YRange(o.yRange);
  corr.Headers(o.headers);
  corr.Descriptives(o.descriptives);
  corr.Raw(o.raw);
  corr.Standardised(o.standardised);
  corr.Plots(o.plots);
  if (!o.outputRange.empty()) corr.OutputRange(o.outputRange);
  corr.Results(o.overwrite);

  // The workbook first: a reader of the printed report that stops early
  // (`| head`) must not cost the file.
  progress.Stage("writing " + o.output);
  Host::Save(o.output, [&progress](const char* part, double fraction) { progress.Percent(part, fraction); });
  progress.Finish();
  if (const std::string note = Host::SaveNote(); !note.empty())
    std::fprintf(stderr, "nmlcorr: %s: %s\n", fs::path(o.output).filename().string().c_str(), note.c_str());

  const std::string where = Host::ReportRange();
  const auto areas = prep::ParseAreas(where);
  if (!o.quiet && areas) {
    progress.Stage("printing the report");
    const CellBlock report = Host::Values(where);
    const std::string text =
        RenderTable(report, Host::Styles(areas->front().sheet, report.top, report.left, report.rows, report.columns),
                    {TerminalWidth(), o.printScores});
    progress.Finish();
    Print(text);
  }
}

int Run(Options o) {
  if (o.data.empty()) {
    o.data = ExamplePath();
    if (o.xRange.empty() && o.xVars.empty()) ApplyExampleDefaults(o);
  }
  // A macro-enabled workbook keeps its macros only in a file named .xlsm.
  if (o.output.empty())
    o.output = fs::path(o.data).stem().string() +
               (::strcasecmp(fs::path(o.data).extension().string().c_str(), ".xlsm") == 0 ? "-report.xlsm" : "-report.xlsx");
  if (SameFile(o.output, o.data))
    throw UsageError{"the output file " + o.output + " is the input file; choose another with -o"};
  const std::string ext = fs::path(o.output).extension().string();
  if (::strcasecmp(ext.c_str(), ".xlsx") != 0 && ::strcasecmp(ext.c_str(), ".xlsm") != 0)
    throw UsageError{"the output file must end in .xlsx (or .xlsm for a macro-enabled input): " + o.output};

  bool opened = false;
  try {
    Analyse(o, opened);
  } catch (const Error& e) {
    std::string hint;
    try {
      hint = Hint(e, o, GatherHintFacts(e, o, opened));
    } catch (const std::exception&) {
      // Advice is a courtesy: a workbook that cannot be read for it leaves the error as it is.
    }
    throw Failure{e, hint};
  }
  return 0;
}

}  // namespace
}  // namespace nml::cli

int main(int argc, char** argv) {
  using namespace nml::cli;
  std::vector<std::string> args(argv + 1, argv + argc);
  Options options;
  try {
    options = ParseOptions(args);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "nmlcorr: %s\n\n%s", e.message.c_str(), UsageText());
    return 2;
  }
  if (options.help) {
    std::fputs(UsageText(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("nmlcorr %s\n", NML_VERSION);
    return 0;
  }
  // A reader that closes the pipe early gets a write error, not a signal
  // that would kill the run before it reports.
  std::signal(SIGPIPE, SIG_IGN);
  try {
    return Run(options);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "nmlcorr: %s\n\n%s", e.message.c_str(), UsageText());
    return 2;
  } catch (const Failure& f) {
    std::fprintf(stderr, "nmlcorr: %s\n", DescribeError(f.error).c_str());
    if (!f.hint.empty()) std::fprintf(stderr, "  hint: %s\n", f.hint.c_str());
    if (!f.error.Source().empty()) std::fprintf(stderr, "  source: %s\n", f.error.Source().c_str());
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "nmlcorr: %s\n", DescribeError(nml::Error(nml::rt::kOutOfMemory, {})).c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "nmlcorr: %s\n", DescribeError(nml::Error(nml::rt::kInternalError, std::string("internal error: ") + e.what()))
                                              .c_str());
  }
  return 1;
}
