#include "support/addin_globals.h"

#include "host/cell_format.h"

namespace nml::support {

std::int32_t AddinGlobals::PasteType() const { return host::kPasteAll; }

std::int32_t AddinGlobals::LabelAlignment() const { return host::kAlignLeft; }

AddinGlobals& TheAddinGlobals() {
  static AddinGlobals globals;
  return globals;
}

}  // namespace nml::support
