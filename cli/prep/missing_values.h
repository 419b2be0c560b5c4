// Missing values in the selected columns, and listwise deletion: every case
// (row) with a missing value in any selected column is left out.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "nmlcorrelation/workbook.h"

namespace nml::prep {

/// Whether a cell counts as missing: empty, an error value (also written as
/// text, "#N/A"), or one of the texts NA, N/A, NaN, "." and "-" (ignoring
/// case and surrounding spaces), the ways statistics packages and
/// spreadsheets write "no value".
bool IsMissingValue(const Variant& v);

/// A cell that is neither a number nor missing, as (block, row, column),
/// 0-based within the blocks given.
struct CellPosition {
  std::size_t block = 0;
  std::int32_t row = 0;
  std::int32_t column = 0;
};

/// What the data rows of the selected columns hold. The blocks are the
/// areas of the selection, all with the same rows; with headers their
/// first row is the name row and is not counted.
struct MissingSummary {
  std::int64_t cases = 0;             // data rows
  std::int64_t incompleteCases = 0;   // rows with at least one missing cell
  std::int64_t missingCells = 0;
  std::int64_t nonNumericCells = 0;   // neither numbers nor missing
  std::optional<CellPosition> firstNonNumeric;          // in reading order, any row
  std::optional<CellPosition> firstNonNumericKept;      // the same among complete cases
};

MissingSummary SummariseMissing(const std::vector<CellBlock>& blocks, bool headers);

/// The name row (with headers) and the complete cases of the blocks, their
/// columns side by side in the order given, as one block at A1.
CellBlock CompleteCases(const std::vector<CellBlock>& blocks, bool headers);

}  // namespace nml::prep
