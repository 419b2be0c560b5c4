// Command-line options of nmlcorr.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace nml::cli {

/// What to do with missing values in the selected columns.
enum class MissingValues { kRefuse, kListwise };

struct Options {
  std::string data;  // empty: the bundled example
  std::int32_t method = 0;
  std::string xRange;
  std::string yRange;
  std::string xVars;  // names in the name row, comma-separated (CSV quoting)
  std::string yVars;
  MissingValues missing = MissingValues::kRefuse;
  bool headers = false;
  bool descriptives = false;
  bool raw = false;
  bool standardised = false;
  bool plots = false;
  std::string outputRange;
  bool overwrite = false;
  std::string output;  // empty: DATA's stem + "-report.xlsx" in the current folder
  bool quiet = false;
  bool printScores = false;
  bool help = false;
  bool version = false;
};

/// Thrown for a command line that cannot be understood (exit status 2).
struct UsageError {
  std::string message;
};

/// Parses argv[1..]; raises UsageError.
Options ParseOptions(const std::vector<std::string>& args);

/// The usage text printed by --help and after a usage error.
const char* UsageText();

/// The options that analyse the bundled example when no DATA is given.
void ApplyExampleDefaults(Options& o);

}  // namespace nml::cli
