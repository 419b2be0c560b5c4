#include "host/sheet_defaults.h"

#include <gtest/gtest.h>

#include "host/cell_format.h"

namespace nml::support {
namespace {

TEST(SheetDefaults, BackgroundIsPaletteWhite) {
  const std::int16_t index = SheetDefaults().BackgroundColorIndex();
  EXPECT_EQ(index, 2);
  EXPECT_EQ(host::PaletteColor(index), 0xFFFFFFu);
}

}  // namespace
}  // namespace nml::support
