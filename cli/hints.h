// One line of advice after an error, where a user would otherwise guess
// what to change on the command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/prep/missing_values.h"
#include "nmlcorrelation/error.h"

namespace nml::cli {

/// What the hints need to know about the run that failed.
struct HintFacts {
  std::int32_t xRows = 0, yRows = 0;  // rows of the X and Y ranges (name rows included)
  std::vector<std::string> sheets;    // the sheets of the workbook
  std::string unknownSheet;           // a sheet a range names that the workbook lacks
  std::string unquotedSheet;          // a sheet name with spaces written without quotes
  bool rangeOnTwoSheets = false;      // the areas of the X or the Y range lie on more than one sheet
  bool onNameRow = false;             // the cell an error names lies in the first row of its area
  std::optional<prep::MissingSummary> missing;  // of the X and Y data rows
  bool semicolons = false;            // the CSV file's first line separates fields with ';'
  std::string missingFolder;          // the output's folder, absolute, when it does not exist
};

/// The hint for error e, or "" when there is nothing to add.
std::string Hint(const Error& e, const Options& o, const HintFacts& facts);

/// Collects the facts about a failed run from the options and the workbook
/// still open (which may hold nothing when reading the file failed).
HintFacts GatherHintFacts(const Error& e, const Options& o, bool workbookOpen);

}  // namespace nml::cli
