// nmlcorr: runs the correlation component on a spreadsheet or CSV file the way
// the spreadsheet's dialog would, prints the report and writes the workbook.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "cli/messages.h"
#include "cli/options.h"
#include "cli/progress.h"
#include "cli/report_text.h"
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

struct Failure {
  std::string message;
};

int Run(Options o) {
  if (o.data.empty()) {
    o.data = ExamplePath();
    if (o.xRange.empty()) ApplyExampleDefaults(o);
  }
  if (o.output.empty()) o.output = fs::path(o.data).stem().string() + "-report.xlsx";
  if (SameFile(o.output, o.data))
    throw Failure{"the output file " + o.output + " is the input file; choose another with -o"};
  const std::string ext = fs::path(o.output).extension().string();
  if (ext != ".xlsx" && ext != ".XLSX") throw Failure{"the output file must end in .xlsx: " + o.output};

  Progress progress;
  progress.Stage("reading " + fs::path(o.data).filename().string());
  Host::Open(o.data);

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

  if (!o.quiet) {
    const CellBlock report = Host::Values(Host::ReportRange());
    const std::string sheet = Host::ActiveSheet();
    progress.Finish();
    std::cout << RenderTable(report, Host::Styles(sheet, report.top, report.left, report.rows, report.columns));
    std::cout.flush();
  }

  progress.Stage("writing " + o.output);
  Host::Save(o.output);
  progress.Finish();
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
  try {
    return Run(options);
  } catch (const nml::Error& e) {
    std::fprintf(stderr, "nmlcorr: %s\n", DescribeError(e).c_str());
    if (!e.Source().empty()) std::fprintf(stderr, "  source: %s\n", e.Source().c_str());
  } catch (const Failure& f) {
    std::fprintf(stderr, "nmlcorr: %s\n", f.message.c_str());
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "nmlcorr: out of memory\n");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "nmlcorr: internal error: %s\n", e.what());
  }
  return 1;
}
