#include "host/files/sheet_names.h"

#include "host/files/utf8.h"

namespace nml::files {
namespace {

bool Forbidden(char32_t cp) {
  switch (cp) {
    case ':': case '\\': case '/': case '?': case '*': case '[': case ']': return true;
    default: return false;
  }
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

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

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

}  // namespace

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

bool IsValidSheetName(std::string_view name) {
  if (name.empty() || name.front() == '\'' || name.back() == '\'') return false;
  int units = 0;
  for (std::size_t i = 0; i < name.size();) {
    char32_t cp = 0;
    const int len = DecodeUtf8(name, i, cp);
    if (len == 0 || Forbidden(cp)) return false;
    units += cp >= 0x10000 ? 2 : 1;
    i += static_cast<std::size_t>(len);
  }
  return units <= kMaxSheetNameLength;
}

bool SheetNamer::Taken(const std::string& name) const { return taken_.count(Lower(name)) != 0; }

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
  clean = CutToUnits(clean, kMaxSheetNameLength);
  if (!clean.empty() && clean.front() == '\'') clean.front() = '_';
  if (!clean.empty() && clean.back() == '\'') clean.back() = '_';
  if (clean.empty()) clean = std::string(fallback);
  if (!Taken(clean)) {
    taken_.insert(Lower(clean));
    return clean;
  }
  // Numbering resumes where it stopped for this name, so that many copies of
  // one name cost no more than one lookup each.
  int& n = nextSuffix_.try_emplace(Lower(clean), 2).first->second;
  for (;; ++n) {
    const std::string suffix = " (" + std::to_string(n) + ")";
    std::string candidate = CutToUnits(clean, kMaxSheetNameLength - static_cast<int>(suffix.size()));
    if (!candidate.empty() && candidate.back() == '\'') candidate.back() = '_';
    candidate += suffix;
    if (!Taken(candidate)) {
      taken_.insert(Lower(candidate));
      ++n;
      return candidate;
    }
  }
}

}  // namespace nml::files
