// SheetDefaults: the look of the add-in's scratch sheet.
#pragma once

#include <cstdint>

namespace nml::support {

class SheetDefaults {
 public:
  /// Interior colour index for the whole scratch sheet (2 = white).
  std::int16_t BackgroundColorIndex() const;
};

}  // namespace nml::support
