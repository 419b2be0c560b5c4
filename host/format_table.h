// Interned cell formats: every distinct CellFormat gets one id, id 0 being the
// default format. One table serves the whole application, so that formats
// survive a copy and paste between workbooks.
#pragma once

#include <cstdint>
#include <vector>

#include "host/cell_format.h"

namespace nml::host {

class FormatTable {
 public:
  FormatTable();
  std::uint32_t Intern(const CellFormat& format);
  /// Raises 9 for an unknown id.
  const CellFormat& Get(std::uint32_t id) const;
  std::size_t Count() const { return formats_.size(); }

 private:
  std::vector<CellFormat> formats_;
};

}  // namespace nml::host
