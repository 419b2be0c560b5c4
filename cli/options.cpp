#include "cli/options.h"

#include <algorithm>
#include <cctype>

#include "common/ascii_text.h"
#include "nmlcorrelation/method.h"

namespace nml::cli {

const char* UsageText() {
  return R"(usage: nmlcorr [DATA] [options]

Correlation analysis of spreadsheet ranges, written to a workbook.

  DATA                   .xlsx or .csv file; without it, the bundled example
  -m, --method NAME      simple | multiple | partial | canonical (default simple)
  -x, --x-range REF      e.g. "Data!A1:C51" or "A1:B20,D1:D20" (active sheet = the first)
  -y, --y-range REF
      --headers          the first row of every area holds the names
      --descriptives
      --raw
      --standardised     (also --standardized)
      --plots
      --output-range REF default: a new last sheet
      --overwrite
  -o, --output FILE      the workbook written (default: DATA's stem + "-report.xlsx"
                         in the current folder)
  -q, --quiet            do not print the report
  -h, --help             show this text
      --version          show the version

Without DATA, nmlcorr analyses examples/savings.csv: canonical correlation of
pop15 and pop75 against sr, dpi and ddpi, with names, descriptives, raw and
standardised results and plots, written to savings-report.xlsx.
)";
}

namespace {

std::int32_t MethodByName(std::string name) {
  name = AsciiLowerCopy(name);
  if (name == "simple" || name == "pearson") return nmlCorrSimple;
  if (name == "multiple") return nmlCorrMultiple;
  if (name == "partial") return nmlCorrPartial;
  if (name == "canonical") return nmlCorrCanonical;
  throw UsageError{"unknown method '" + name + "' (simple, multiple, partial or canonical)"};
}

}  // namespace

Options ParseOptions(const std::vector<std::string>& args) {
  Options o;
  bool haveData = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    std::string inlineValue;
    bool hasInline = false;
    if (arg.rfind("--", 0) == 0) {
      const auto eq = arg.find('=');
      if (eq != std::string::npos) {
        inlineValue = arg.substr(eq + 1);
        arg = arg.substr(0, eq);
        hasInline = true;
      }
    }
    auto value = [&]() -> std::string {
      if (hasInline) return inlineValue;
      if (i + 1 >= args.size()) throw UsageError{"option " + arg + " needs a value"};
      return args[++i];
    };
    auto flag = [&](bool& target) {
      if (hasInline) throw UsageError{"option " + arg + " takes no value"};
      target = true;
    };
    if (arg == "-m" || arg == "--method") {
      o.method = MethodByName(value());
    } else if (arg == "-x" || arg == "--x-range") {
      o.xRange = value();
    } else if (arg == "-y" || arg == "--y-range") {
      o.yRange = value();
    } else if (arg == "--headers") {
      flag(o.headers);
    } else if (arg == "--descriptives") {
      flag(o.descriptives);
    } else if (arg == "--raw") {
      flag(o.raw);
    } else if (arg == "--standardised" || arg == "--standardized") {
      flag(o.standardised);
    } else if (arg == "--plots") {
      flag(o.plots);
    } else if (arg == "--output-range") {
      o.outputRange = value();
    } else if (arg == "--overwrite") {
      flag(o.overwrite);
    } else if (arg == "-o" || arg == "--output") {
      o.output = value();
      if (o.output.empty()) throw UsageError{"option " + arg + " needs a file name"};
    } else if (arg == "-q" || arg == "--quiet") {
      flag(o.quiet);
    } else if (arg == "-h" || arg == "--help") {
      o.help = true;
    } else if (arg == "--version") {
      o.version = true;
    } else if (arg == "--") {
      for (++i; i < args.size(); ++i) {
        if (haveData) throw UsageError{"more than one DATA file given"};
        o.data = args[i];
        haveData = true;
      }
    } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
      throw UsageError{"unknown option " + arg};
    } else {
      if (haveData) throw UsageError{"more than one DATA file given ('" + o.data + "' and '" + arg + "')"};
      if (arg.empty()) throw UsageError{"empty DATA file name"};
      o.data = arg;
      haveData = true;
    }
  }
  if (!o.help && !o.version && haveData && o.xRange.empty())
    throw UsageError{"no X range given (use -x, e.g. -x \"A1:C51\")"};
  return o;
}

void ApplyExampleDefaults(Options& o) {
  o.method = nmlCorrCanonical;
  o.xRange = "C1:D51";
  o.yRange = "B1:B51,E1:F51";
  o.headers = true;
  o.descriptives = true;
  o.raw = true;
  o.standardised = true;
  o.plots = true;
}

}  // namespace nml::cli
