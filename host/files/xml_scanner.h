// A pull scanner for the large parts of an xlsx workbook (worksheets and the
// shared strings), which would need several times their size as a document
// tree. It walks the text once, hands out start tags, end tags and text, and
// checks well-formedness on the way: tags nest and match, attributes are
// quoted, entity and character references are valid, the text is UTF-8 and
// there is exactly one root element. Document type declarations are refused,
// so no entity can expand. Anything else raises kMalformedXml naming the part
// and the line.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nml::host::files {

class XmlScanner {
 public:
  enum class Token { kStart, kEnd, kText, kEndOfDocument };

  /// context names the part in errors ("book.xlsx: xl/worksheets/sheet1.xml").
  /// text must outlive the scanner.
  XmlScanner(std::string_view text, std::string context);

  /// Moves to the next token. An empty element (<c/>) gives a start token
  /// followed by an end token.
  Token Next();

  /// Name of the current start or end tag without its namespace prefix.
  std::string_view LocalName() const { return local_; }
  /// Depth of the current element: 1 for the root (valid on start and end tokens).
  std::size_t Depth() const { return depth_; }

  /// Value of an attribute of the current start tag, by local name, with
  /// references decoded; valid until the next call to the scanner.
  std::optional<std::string_view> Attribute(std::string_view localName);
  /// The current text token, decoded; valid until the next call.
  std::string_view Text();

  /// On a start token: appends the decoded text of everything inside the
  /// element to out and moves to its end tag.
  void AppendElementText(std::string& out);
  /// On a start token: moves to its end tag, skipping everything inside.
  void SkipElement();

  /// Raises kMalformedXml for the current position with the reason given.
  [[noreturn]] void Fail(const std::string& reason) const;

 private:
  struct RawAttribute {
    std::string_view qname;
    std::string_view value;
  };

  void ParseStartTag();
  void ParseEndTag();
  std::string_view ParseName();
  void SkipSpace();
  std::string_view Decode(std::string_view raw, std::string& scratch);
  void CheckUtf8() const;

  std::string_view text_;
  std::string context_;
  std::size_t pos_ = 0;
  std::vector<std::string_view> open_;  // qualified names of the open elements
  std::vector<RawAttribute> attributes_;
  std::string_view qname_;
  std::string_view local_;
  std::string_view rawText_;
  bool textIsCdata_ = false;
  bool pendingEnd_ = false;
  bool sawRoot_ = false;
  std::size_t depth_ = 0;
  std::string scratch_;
  std::string textScratch_;
};

}  // namespace nml::host::files
