#include "common/classic_locale_scope.h"

namespace nml {

ClassicLocaleScope::ClassicLocaleScope() {
  classic_ = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  // Without memory for a locale object the thread keeps its locale: numbers
  // are then formatted as before, which is no worse than not trying.
  if (classic_) previous_ = ::uselocale(classic_);
}

ClassicLocaleScope::~ClassicLocaleScope() {
  if (!classic_) return;
  ::uselocale(previous_);
  ::freelocale(classic_);
}

}  // namespace nml
