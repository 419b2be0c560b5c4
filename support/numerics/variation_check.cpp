#include "support/numerics/variation_check.h"

#include <cstddef>
#include <string>

#include "support/support_errors.h"

namespace nml::support {

void RequireVariation(const Matrix& m, std::string_view set) {
  const std::size_t rows = static_cast<std::size_t>(m.Rows());
  if (rows < 2) return;
  for (std::int32_t j = 0; j < m.Cols(); ++j) {
    const double* col = m.Data() + static_cast<std::size_t>(j) * rows;
    std::size_t i = 1;
    while (i < rows && col[i] == col[0]) ++i;
    if (i == rows)
      RaiseSupport(kNoVariation, "Variable " + std::to_string(j + 1) + " of " + std::string(set) +
                                     " has the same value in every case: it has no variation to correlate");
  }
}

}  // namespace nml::support
