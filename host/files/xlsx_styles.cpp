#include "host/files/xlsx_styles.h"

#include <pugixml.hpp>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <algorithm>
#include <unordered_map>

#include "host/cell_format.h"
#include "host/files/file_errors.h"

namespace nml::host::files {
namespace {

std::string_view LocalName(const char* qname) {
  const char* colon = std::strrchr(qname, ':');
  return colon ? std::string_view(colon + 1) : std::string_view(qname);
}

/// Children of node with the given local name (namespace prefixes vary between writers).
template <class Fn>
void ForEachChild(const pugi::xml_node& node, std::string_view local, Fn&& fn) {
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
    if (child.type() == pugi::node_element && LocalName(child.name()) == local) fn(child);
}

pugi::xml_node Child(const pugi::xml_node& node, std::string_view local) {
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
    if (child.type() == pugi::node_element && LocalName(child.name()) == local) return child;
  return {};
}

pugi::xml_attribute Attr(const pugi::xml_node& node, std::string_view local) {
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
    if (LocalName(a.name()) == local) return a;
  return {};
}

std::int64_t IntAttr(const pugi::xml_node& node, std::string_view local, std::int64_t fallback) {
  const pugi::xml_attribute a = Attr(node, local);
  if (!a) return fallback;
  const std::string_view v = a.value();
  std::int64_t out = 0;
  const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), out);
  return (ec == std::errc() && end == v.data() + v.size()) ? out : fallback;
}

/// A boolean property element such as <b/>, <b val="1"/> or <b val="false"/>.
bool FlagElement(const pugi::xml_node& node) {
  if (!node) return false;
  const pugi::xml_attribute val = Attr(node, "val");
  if (!val) return true;
  const std::string_view v = val.value();
  return v == "1" || v == "true";
}

std::uint32_t Tint(std::uint32_t rgb, double tint) {
  if (!std::isfinite(tint) || tint == 0) return rgb;
  tint = std::max(-1.0, std::min(1.0, tint));
  std::uint32_t out = 0;
  for (int shift = 16; shift >= 0; shift -= 8) {
    double c = static_cast<double>((rgb >> shift) & 0xFFu);
    c = tint < 0 ? c * (1 + tint) : c + (255 - c) * tint;
    out |= static_cast<std::uint32_t>(std::lround(c)) << shift;
  }
  return out;
}

/// RGB of a colour element (rgb, indexed or theme with tint); std::nullopt for
/// automatic or unknown colours.
std::optional<std::uint32_t> ColorOf(const pugi::xml_node& color) {
  if (!color) return std::nullopt;
  if (const pugi::xml_attribute rgb = Attr(color, "rgb")) {
    std::string_view v = rgb.value();
    if (v.size() == 8) v.remove_prefix(2);  // alpha first
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value, 16);
    if (v.size() == 6 && ec == std::errc() && end == v.data() + v.size()) return value;
    return std::nullopt;
  }
  if (Attr(color, "indexed")) {
    static constexpr std::uint32_t kFixed[8] = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00,
                                                0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF};
    const std::int64_t i = IntAttr(color, "indexed", -1);
    if (i >= 0 && i < 8) return kFixed[i];
    if (i >= 8 && i <= 63) return host::PaletteColor(static_cast<std::int32_t>(i - 7));
    return std::nullopt;
  }
  if (Attr(color, "theme")) {
    // The default Office theme; a workbook's own theme is not read.
    static constexpr std::uint32_t kTheme[12] = {0xFFFFFF, 0x000000, 0xE7E6E6, 0x44546A, 0x4472C4, 0xED7D31,
                                                 0xA5A5A5, 0xFFC000, 0x5B9BD5, 0x70AD47, 0x0563C1, 0x954F72};
    const std::int64_t i = IntAttr(color, "theme", -1);
    if (i < 0 || i >= 12) return std::nullopt;
    return Tint(kTheme[i], Attr(color, "tint").as_double(0.0));
  }
  return std::nullopt;
}

}  // namespace

bool IsDateFormat(std::string_view code) {
  std::size_t monthRun = 0;
  for (std::size_t i = 0; i < code.size(); ++i) {
    const char c = static_cast<char>(code[i] | 0x20);  // ASCII letters in lower case
    if (code[i] == '"') {
      const std::size_t close = code.find('"', i + 1);
      if (close == std::string_view::npos) return false;
      i = close;
    } else if (code[i] == '[') {
      const std::size_t close = code.find(']', i + 1);
      if (close == std::string_view::npos) return false;
      i = close;
    } else if (code[i] == '\\' || code[i] == '_' || code[i] == '*') {
      ++i;  // the next character is shown (or padded) literally
    } else if (c == 'd' || c == 'y') {
      return true;
    } else if (c == 'm') {
      if (++monthRun >= 3) return true;
      continue;
    }
    monthRun = 0;
  }
  return false;
}

std::string BuiltinNumberFormat(std::int32_t id) {
  switch (id) {
    case 1: return "0";
    case 2: return "0.00";
    case 3: return "#,##0";
    case 4: return "#,##0.00";
    case 9: return "0%";
    case 10: return "0.00%";
    case 11: return "0.00E+00";
    case 12: return "# ?/?";
    case 13: return "# ?\?/?\?";
    case 14: return "mm-dd-yy";
    case 15: return "d-mmm-yy";
    case 16: return "d-mmm";
    case 17: return "mmm-yy";
    case 18: return "h:mm AM/PM";
    case 19: return "h:mm:ss AM/PM";
    case 20: return "h:mm";
    case 21: return "h:mm:ss";
    case 22: return "m/d/yy h:mm";
    case 37: return "#,##0 ;(#,##0)";
    case 38: return "#,##0 ;[Red](#,##0)";
    case 39: return "#,##0.00;(#,##0.00)";
    case 40: return "#,##0.00;[Red](#,##0.00)";
    case 45: return "mm:ss";
    case 46: return "[h]:mm:ss";
    case 47: return "mmss.0";
    case 48: return "##0.0E+0";
    case 49: return "@";
    default: return "General";
  }
}

std::int32_t NearestPaletteIndex(std::uint32_t rgb) {
  std::int32_t best = 1;
  long bestDistance = std::numeric_limits<long>::max();
  for (std::int32_t i = 1; i <= 56; ++i) {
    const std::uint32_t p = host::PaletteColor(i);
    long d = 0;
    for (int shift = 16; shift >= 0; shift -= 8) {
      const long delta = static_cast<long>((p >> shift) & 0xFFu) - static_cast<long>((rgb >> shift) & 0xFFu);
      d += delta * delta;
    }
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return best;
}

std::vector<std::uint32_t> ReadCellFormats(std::string_view stylesXml, host::FormatTable& formats,
                                           const std::string& context) {
  pugi::xml_document doc;
  const pugi::xml_parse_result parsed = doc.load_buffer(stylesXml.data(), stylesXml.size(),
                                                        pugi::parse_default, pugi::encoding_utf8);
  if (!parsed) {
    RaiseFileError(kMalformedXml, context + ": malformed XML at byte " + std::to_string(parsed.offset) + ": " +
                                      parsed.description());
  }
  const pugi::xml_node root = doc.document_element();

  std::unordered_map<std::int64_t, std::string> numberFormats;
  ForEachChild(Child(root, "numFmts"), "numFmt", [&](const pugi::xml_node& n) {
    numberFormats[IntAttr(n, "numFmtId", -1)] = Attr(n, "formatCode").value();
  });

  std::vector<bool> bold;
  ForEachChild(Child(root, "fonts"), "font", [&](const pugi::xml_node& n) { bold.push_back(FlagElement(Child(n, "b"))); });

  std::vector<std::int32_t> fills;
  ForEachChild(Child(root, "fills"), "fill", [&](const pugi::xml_node& n) {
    std::int32_t index = host::kColorIndexNone;
    const pugi::xml_node pattern = Child(n, "patternFill");
    if (pattern && std::string_view(Attr(pattern, "patternType").value()) == "solid") {
      std::optional<std::uint32_t> rgb = ColorOf(Child(pattern, "fgColor"));
      if (!rgb) rgb = ColorOf(Child(pattern, "bgColor"));
      if (rgb) index = NearestPaletteIndex(*rgb);
    }
    fills.push_back(index);
  });

  std::vector<bool> borders;
  ForEachChild(Child(root, "borders"), "border", [&](const pugi::xml_node& n) {
    bool all = true;
    for (const char* side : {"left", "right", "top", "bottom"}) {
      const std::string_view style = Attr(Child(n, side), "style").value();
      all = all && !style.empty() && style != "none";
    }
    borders.push_back(all);
  });

  std::vector<std::uint32_t> ids;
  ForEachChild(Child(root, "cellXfs"), "xf", [&](const pugi::xml_node& xf) {
    host::CellFormat format;
    const std::int64_t numFmtId = IntAttr(xf, "numFmtId", 0);
    const auto custom = numberFormats.find(numFmtId);
    if (custom != numberFormats.end() && !custom->second.empty()) {
      format.numberFormat = custom->second;
    } else if (numFmtId >= 0 && numFmtId < 1000) {
      format.numberFormat = BuiltinNumberFormat(static_cast<std::int32_t>(numFmtId));
    }
    const std::int64_t font = IntAttr(xf, "fontId", 0);
    if (font >= 0 && static_cast<std::size_t>(font) < bold.size()) format.bold = bold[static_cast<std::size_t>(font)];
    const std::int64_t fill = IntAttr(xf, "fillId", 0);
    if (fill >= 0 && static_cast<std::size_t>(fill) < fills.size())
      format.fillColorIndex = fills[static_cast<std::size_t>(fill)];
    const std::int64_t border = IntAttr(xf, "borderId", 0);
    if (border >= 0 && static_cast<std::size_t>(border) < borders.size())
      format.border = borders[static_cast<std::size_t>(border)];
    const std::string_view align = Attr(Child(xf, "alignment"), "horizontal").value();
    if (align == "left") {
      format.horizontalAlignment = host::kAlignLeft;
    } else if (align == "center" || align == "centerContinuous") {
      format.horizontalAlignment = host::kAlignCenter;
    } else if (align == "right") {
      format.horizontalAlignment = host::kAlignRight;
    }
    ids.push_back(formats.Intern(format));
  });
  return ids;
}

}  // namespace nml::host::files
