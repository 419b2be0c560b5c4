// Workbook output: a user's workbook saved as an .xlsx file, with its values,
// formulas, cell styles, column widths and charts (native scatter charts
// whose series refer to the cells they plot).
#pragma once

#include <string>

#include "host/workbook.h"

namespace nml::host::files {

struct SaveOptions {
  /// Stream each sheet's rows to the file as they are written instead of
  /// keeping them in memory (strings are then stored inline).
  bool constantMemory = true;
};

/// Saves book as an .xlsx file at path. Every sheet is written in tab order
/// with its values, formulas (with their cached results), cell formats (bold,
/// palette fill, thin border, number format, horizontal alignment) and column
/// widths (the sheet's own, or estimated from the longest entry, within
/// bounds); every ChartObject becomes a scatter chart (markers only) at its
/// anchor, offsets and size (points shown at 96 dpi), with its titles, whose
/// series are absolute references to the cells.
///
/// The file is written under a temporary name in the target's folder and
/// moved into place only when complete: a failed save leaves an existing file
/// untouched. Raises kAddinNotWritable for the add-in workbook,
/// kChartNotWritable for a chart without anchor or series or with series in
/// another workbook, kCellNotWritable for text longer than 32,767 characters,
/// kWriteFailed when the file cannot be written or moved into place.
void SaveWorkbook(const host::Workbook& book, const std::string& path, const SaveOptions& options = {});

}  // namespace nml::host::files
