#include "support/sheet_defaults.h"

namespace nml::support {

namespace {
constexpr std::int16_t kWhite = 2;
}

std::int16_t SheetDefaults::BackgroundColorIndex() const { return kWhite; }

}  // namespace nml::support
