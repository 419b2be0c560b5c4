// Text made fit for the XML parts of a workbook. XML 1.0 cannot hold most
// control characters (U+0001 to U+001F but tab, line feed and carriage
// return) nor U+FFFE and U+FFFF at all.
#pragma once

#include <string>
#include <string_view>

namespace nml::host::files {

/// Text for a cell, which the format lets escape any character as _xHHHH_:
/// U+FFFE and U+FFFF become _xFFFE_ and _xFFFF_, and text that already reads
/// as such an escape ("_x0041_") gets its underscore escaped (_x005F_), so
/// that a reader gets back exactly the text written. Control characters are
/// left to libxlsxwriter, which escapes them the same way.
std::string CellText(std::string_view text);

/// Text for places that have no escapes (sheet names, chart titles, cached
/// formula results): the characters XML cannot hold become U+FFFD.
std::string PlainXmlText(std::string_view text);

/// True when the text holds a character below U+0020 other than tab and line
/// feed: one XML cannot hold, or (carriage return) one a reader would turn
/// into a line feed, so that the cell needs the _xHHHH_ escape.
bool HasControlCharacter(std::string_view text);

/// Appends text as XML element content (&, < and > escaped).
void AppendEscapedXml(std::string& out, std::string_view text);

/// White space that an XML reader drops at the edges of a text element
/// unless it is marked to be kept.
constexpr bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

/// True when an XML document ends with the end tag of its root element (or
/// its root is an empty-element tag), as a whole part does and a part cut
/// short does not.
bool XmlPartComplete(std::string_view xml);

}  // namespace nml::host::files
