#include "host/files/sheet_names.h"

#include "common/ascii_text.h"
#include "common/utf8.h"
#include "host/sheet_name.h"

namespace nml::host::files {
namespace {

bool Forbidden(char32_t cp) {
  switch (cp) {
    case ':': case '\\': case '/': case '?': case '*': case '[': case ']': return true;
    default: return false;
  }
}

/// Cuts text (valid UTF-8) to at most max UTF-16 code units at a character boundary.
std::string CutToUnits(const std::string& text, int max) {
  int units = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    char32_t cp = 0;
    const int len = DecodeUtf8(text, i, cp);
    const int need = cp >= 0x10000 ? 2 : 1;
    if (units + need > max) break;
    units += need;
    i += static_cast<std::size_t>(len);
  }
  return text.substr(0, i);
}

}  // namespace

bool SheetNamer::Taken(const std::string& name) const { return taken_.count(AsciiLowerCopy(name)) != 0; }

std::string SheetNamer::Take(std::string_view raw, std::string_view fallback) {
  std::string clean;
  clean.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size();) {
    char32_t cp = 0;
    const int len = DecodeUtf8(raw, i, cp);
    if (len == 0) {
      clean.push_back('_');
      ++i;
      continue;
    }
    // Control characters cannot be typed into a sheet tab either.
    if (Forbidden(cp) || cp < 0x20) {
      clean.push_back('_');
    } else {
      clean.append(raw.substr(i, static_cast<std::size_t>(len)));
    }
    i += static_cast<std::size_t>(len);
  }
  clean = CutToUnits(clean, host::kMaxSheetNameLength);
  if (!clean.empty() && clean.front() == '\'') clean.front() = '_';
  if (!clean.empty() && clean.back() == '\'') clean.back() = '_';
  if (clean.empty()) clean = std::string(fallback);
  if (!Taken(clean)) {
    taken_.insert(AsciiLowerCopy(clean));
    return clean;
  }
  // Numbering resumes where it stopped for this name, so that many copies of
  // one name cost no more than one lookup each.
  int& n = nextSuffix_.try_emplace(AsciiLowerCopy(clean), 2).first->second;
  for (;; ++n) {
    const std::string suffix = " (" + std::to_string(n) + ")";
    std::string candidate = CutToUnits(clean, host::kMaxSheetNameLength - static_cast<int>(suffix.size()));
    if (!candidate.empty() && candidate.back() == '\'') candidate.back() = '_';
    candidate += suffix;
    if (!Taken(candidate)) {
      taken_.insert(AsciiLowerCopy(candidate));
      ++n;
      return candidate;
    }
  }
}

}  // namespace nml::host::files
