// Feeds arbitrary bytes to the reference parser, the address formatter and
// the formula shifter: none may crash, hang or return a rectangle outside the
// grid, and every parsed area must survive a round trip through its address.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "host/formula_shift.h"
#include "host/reference_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  auto areas = nml::host::ParseReference(text);
  if (areas) {
    if (areas->empty() || areas->size() > nml::host::kMaxAreas) std::abort();
    for (const auto& area : *areas) {
      if (!nml::host::InsideGrid(area.rect)) std::abort();
      const std::string prefix = area.sheet ? nml::host::SheetPrefix(*area.sheet) : std::string();
      auto back = nml::host::ParseReference(prefix + nml::host::AbsoluteAddress(area.rect));
      if (!back || back->size() != 1 || back->front().rect != area.rect || back->front().sheet != area.sheet)
        std::abort();
    }
  }
  const std::int32_t shift = size > 0 ? static_cast<std::int8_t>(data[0]) : 0;
  const std::string moved = nml::host::ShiftFormula(text, shift * 1000, shift);
  if (moved.size() > 8 * size + 16) std::abort();
  return 0;
}
