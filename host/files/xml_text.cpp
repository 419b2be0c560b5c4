#include "host/files/xml_text.h"

#include <cctype>
#include <cstdio>

#include "common/utf8.h"

namespace nml::host::files {
namespace {

bool IsNonCharacter(char32_t cp) { return cp == 0xFFFE || cp == 0xFFFF; }
bool IsXmlControl(char32_t cp) { return cp < 0x20 && cp != '\t' && cp != '\n' && cp != '\r'; }

/// True when s[i] starts an escape a reader would decode: _x, four hex digits, _.
bool LooksLikeEscape(std::string_view s, std::size_t i) {
  if (i + 7 > s.size() || s[i] != '_' || s[i + 1] != 'x' || s[i + 6] != '_') return false;
  for (std::size_t k = i + 2; k < i + 6; ++k)
    if (!std::isxdigit(static_cast<unsigned char>(s[k]))) return false;
  return true;
}

/// The text with each character that replace handles (it appends its
/// replacement to out and returns true) replaced.
template <class Replace>
std::string Rewrite(std::string_view text, Replace&& replace) {
  std::string out;
  out.reserve(text.size() + 16);
  for (std::size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    int len = DecodeUtf8(text, i, cp);
    if (len == 0) {  // a byte that is not UTF-8 goes on as it is
      cp = 0xFFFD;
      len = 1;
    }
    const std::size_t n = static_cast<std::size_t>(len);
    if (!replace(text, i, cp, out)) out.append(text.substr(i, n));
    i += n;
  }
  return out;
}

}  // namespace

std::string CellText(std::string_view text) {
  if (text.find('_') == std::string_view::npos && text.find("\xEF\xBF") == std::string_view::npos)
    return std::string(text);
  return Rewrite(text, [](std::string_view s, std::size_t i, char32_t cp, std::string& out) {
    if (IsNonCharacter(cp)) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "_x%04X_", static_cast<unsigned>(cp));
      out += escape;
      return true;
    }
    if (cp == '_' && LooksLikeEscape(s, i)) {
      out += "_x005F_";
      return true;
    }
    return false;
  });
}

std::string PlainXmlText(std::string_view text) {
  return Rewrite(text, [](std::string_view, std::size_t, char32_t cp, std::string& out) {
    if (!IsNonCharacter(cp) && !IsXmlControl(cp)) return false;
    AppendUtf8(out, 0xFFFD);
    return true;
  });
}

bool HasControlCharacter(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') return true;
  return false;
}

void AppendEscapedXml(std::string& out, std::string_view text) {
  std::size_t from = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char* entity = text[i] == '&' ? "&amp;" : text[i] == '<' ? "&lt;" : text[i] == '>' ? "&gt;" : nullptr;
    if (!entity) continue;
    out.append(text.substr(from, i - from)).append(entity);
    from = i + 1;
  }
  out.append(text.substr(from));
}

bool XmlPartComplete(std::string_view xml) {
  std::size_t at = 0;
  for (;;) {
    at = xml.find('<', at);
    if (at == std::string_view::npos || at + 1 >= xml.size()) return false;
    if (xml[at + 1] != '?' && xml[at + 1] != '!') break;
    at = xml.find('>', at);
    if (at == std::string_view::npos) return false;
  }
  const std::size_t nameEnd = xml.find_first_of(" \t\r\n/>", at + 1);
  if (nameEnd == std::string_view::npos) return false;
  const std::string_view name = xml.substr(at + 1, nameEnd - at - 1);
  const std::size_t last = xml.find_last_not_of(" \t\r\n");
  const std::string_view body = xml.substr(0, last + 1);
  const std::size_t startEnd = xml.find('>', nameEnd);
  if (startEnd != std::string_view::npos && xml[startEnd - 1] == '/' && startEnd == last) return true;
  const std::string endTag = "</" + std::string(name) + ">";
  return body.size() >= endTag.size() && body.substr(body.size() - endTag.size()) == endTag;
}

}  // namespace nml::host::files
