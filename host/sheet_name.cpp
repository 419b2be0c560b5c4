#include "host/sheet_name.h"

#include "common/utf8.h"

namespace nml::host {

bool IsValidSheetName(std::string_view name) {
  if (name.empty() || name.front() == '\'' || name.back() == '\'') return false;
  int units = 0;
  for (std::size_t i = 0; i < name.size();) {
    char32_t cp = 0;
    const int len = DecodeUtf8(name, i, cp);
    if (len == 0) return false;
    switch (cp) {
      case ':': case '\\': case '/': case '?': case '*': case '[': case ']': return false;
      default: break;
    }
    units += cp >= 0x10000 ? 2 : 1;
    if (units > kMaxSheetNameLength) return false;
    i += static_cast<std::size_t>(len);
  }
  return true;
}

}  // namespace nml::host
