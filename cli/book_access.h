// The calls the command line makes on the workbook it analyses: the sheets,
// their values, and a new sheet filled in one step. They mirror the public
// host facade (nml::Host) so that the data preparation sees blocks of values
// only.
#pragma once

#include <string>
#include <vector>

#include "host/application.h"
#include "nmlcorrelation/workbook.h"

namespace nml::cli::book {

/// The application whose active workbook the calls below work on.
void Use(host::ApplicationRef app);

std::vector<std::string> Sheets();
std::string ActiveSheet();
/// Adds a sheet after the last one without activating it; a taken name gets
/// " 2", " 3", ... (shortened to fit 31 characters). Returns the name given.
std::string AddSheet(const std::string& name);
void PutValues(const std::string& sheet, const CellBlock& block);
/// The values of the sheet's used rectangle (rows = 0 for an empty sheet).
CellBlock UsedValues(const std::string& sheet);
/// The values of one rectangle of a sheet (1-based, inclusive).
CellBlock Values(const std::string& sheet, std::int32_t top, std::int32_t left, std::int32_t bottom,
                 std::int32_t right);

}  // namespace nml::cli::book
