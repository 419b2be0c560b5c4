// Interned cell formats: every distinct CellFormat gets one id, id 0 being the
// default format. One table serves the whole application, so that formats
// survive a copy and paste between workbooks.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "host/cell_format.h"

namespace nml::host {

class FormatTable {
 public:
  /// A second id for the default format. A sheet whose whole-sheet format is
  /// not the default gives it to a cell that must show the plain default
  /// format on its own (a cell's id 0 means "the sheet's format").
  static constexpr std::uint32_t kPlainId = 1;

  FormatTable();
  /// The id of format; the default format is always id 0.
  std::uint32_t Intern(const CellFormat& format);
  /// Raises 9 for an unknown id. The reference stays valid until the next Intern.
  const CellFormat& Get(std::uint32_t id) const;
  std::size_t Count() const { return formats_.size(); }

 private:
  struct Less {
    bool operator()(const CellFormat& a, const CellFormat& b) const;
  };
  std::vector<CellFormat> formats_;
  std::map<CellFormat, std::uint32_t, Less> index_;
};

/// The format id a cell shows: its own id, or the sheet's id when it has none
/// (own id 0). kPlainId comes back as 0.
std::uint32_t EffectiveFormatId(std::uint32_t own, std::uint32_t sheetDefault);
/// The own id to store for a cell that must show format `effective` on a sheet
/// whose whole-sheet format is sheetDefault: 0 when the sheet's format is the
/// one, kPlainId for the plain default format on a formatted sheet.
std::uint32_t OwnFormatId(std::uint32_t effective, std::uint32_t sheetDefault);

}  // namespace nml::host
