// AddinGlobals: settings the add-in shares with its components.
#pragma once

#include <cstdint>

namespace nml::support {

class AddinGlobals {
 public:
  /// Paste type for PasteSpecial: paste everything (values and formats).
  std::int32_t PasteType() const;
  /// Horizontal alignment of label columns: left.
  std::int32_t LabelAlignment() const;
};

/// The global AddinGlobals.
AddinGlobals& TheAddinGlobals();

}  // namespace nml::support
