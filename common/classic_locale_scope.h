// For C libraries that format numbers with printf (libxlsxwriter writes every
// number and measure of a workbook that way): while a ClassicLocaleScope
// lives, the calling thread formats in the C locale, with a decimal point,
// whatever locale the host process has set. Other threads are not touched.
#pragma once

#include <locale.h>

namespace nml {

class ClassicLocaleScope {
 public:
  ClassicLocaleScope();
  ~ClassicLocaleScope();
  ClassicLocaleScope(const ClassicLocaleScope&) = delete;
  ClassicLocaleScope& operator=(const ClassicLocaleScope&) = delete;

 private:
  locale_t classic_ = static_cast<locale_t>(0);
  locale_t previous_ = static_cast<locale_t>(0);
};

}  // namespace nml
