#include "host/files/xml_scanner.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "host/files/file_errors.h"
#include "common/utf8.h"

namespace nml::host::files {
namespace {

constexpr std::size_t kMaxDepth = 256;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool EndsName(char c) { return IsSpace(c) || c == '/' || c == '>' || c == '=' || c == '<' || c == '"' || c == '\''; }

std::string_view LocalPart(std::string_view qname) {
  const std::size_t colon = qname.rfind(':');
  return colon == std::string_view::npos ? qname : qname.substr(colon + 1);
}

bool IsXmlChar(char32_t cp) {
  return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) || (cp >= 0xE000 && cp <= 0xFFFD) ||
         (cp >= 0x10000 && cp <= 0x10FFFF);
}

}  // namespace

XmlScanner::XmlScanner(std::string_view text, std::string context) : text_(text), context_(std::move(context)) {
  if (text_.size() >= 3 && text_.substr(0, 3) == "\xEF\xBB\xBF") {
    pos_ = 3;
  } else if (text_.size() >= 2 && (text_.substr(0, 2) == "\xFF\xFE" || text_.substr(0, 2) == "\xFE\xFF")) {
    Fail("UTF-16 text is not supported");
  }
  CheckUtf8();
}

void XmlScanner::Fail(const std::string& reason) const {
  const std::size_t upTo = std::min(pos_, text_.size());
  const auto line = 1 + std::count(text_.begin(), text_.begin() + static_cast<std::ptrdiff_t>(upTo), '\n');
  RaiseFileError(kMalformedXml, context_ + ": malformed XML at line " + std::to_string(line) + ": " + reason);
}

void XmlScanner::CheckUtf8() const {
  const std::size_t n = text_.size();
  for (std::size_t i = pos_; i < n;) {
    if (static_cast<unsigned char>(text_[i]) < 0x80) {
      ++i;
      continue;
    }
    char32_t cp = 0;
    const int len = DecodeUtf8(text_, i, cp);
    if (len == 0) {
      const_cast<XmlScanner*>(this)->pos_ = i;
      Fail("bytes that are not UTF-8");
    }
    i += static_cast<std::size_t>(len);
  }
}

void XmlScanner::SkipSpace() {
  while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
}

std::string_view XmlScanner::ParseName() {
  const std::size_t start = pos_;
  while (pos_ < text_.size() && !EndsName(text_[pos_])) ++pos_;
  if (pos_ == start) Fail("a name is missing");
  return text_.substr(start, pos_ - start);
}

void XmlScanner::ParseStartTag() {
  ++pos_;  // '<'
  qname_ = ParseName();
  local_ = LocalPart(qname_);
  attributes_.clear();
  for (;;) {
    const std::size_t before = pos_;
    SkipSpace();
    if (pos_ >= text_.size()) Fail("the tag <" + std::string(qname_) + "> is not closed");
    const char c = text_[pos_];
    if (c == '>') {
      ++pos_;
      break;
    }
    if (c == '/') {
      if (pos_ + 1 >= text_.size() || text_[pos_ + 1] != '>') Fail("'/' inside a tag");
      pos_ += 2;
      pendingEnd_ = true;
      break;
    }
    if (pos_ == before) Fail("attributes must be separated by spaces");
    RawAttribute attribute;
    attribute.qname = ParseName();
    SkipSpace();
    if (pos_ >= text_.size() || text_[pos_] != '=') Fail("attribute without a value");
    ++pos_;
    SkipSpace();
    if (pos_ >= text_.size() || (text_[pos_] != '"' && text_[pos_] != '\'')) Fail("attribute value not quoted");
    const char quote = text_[pos_++];
    const std::size_t close = text_.find(quote, pos_);
    if (close == std::string_view::npos) Fail("attribute value not closed");
    attribute.value = text_.substr(pos_, close - pos_);
    if (attribute.value.find('<') != std::string_view::npos) Fail("'<' inside an attribute value");
    pos_ = close + 1;
    attributes_.push_back(attribute);
  }
  if (open_.empty() && sawRoot_) Fail("a second root element");
  if (open_.size() >= kMaxDepth) Fail("elements nested too deeply");
  sawRoot_ = true;
  open_.push_back(qname_);
  depth_ = open_.size();
}

void XmlScanner::ParseEndTag() {
  pos_ += 2;  // "</"
  qname_ = ParseName();
  local_ = LocalPart(qname_);
  SkipSpace();
  if (pos_ >= text_.size() || text_[pos_] != '>') Fail("the end tag </" + std::string(qname_) + "> is not closed");
  ++pos_;
  if (open_.empty() || open_.back() != qname_) {
    std::string reason = "the end tag </";
    reason.append(qname_).append("> does not match ");
    if (open_.empty()) {
      reason.append("any open element");
    } else {
      reason.append("<").append(open_.back()).append(">");
    }
    Fail(reason);
  }
  depth_ = open_.size();
  open_.pop_back();
}

XmlScanner::Token XmlScanner::Next() {
  if (pendingEnd_) {
    pendingEnd_ = false;
    depth_ = open_.size();
    open_.pop_back();
    return Token::kEnd;
  }
  for (;;) {
    if (pos_ >= text_.size()) {
      if (!open_.empty()) Fail("the document ends inside <" + std::string(open_.back()) + ">");
      if (!sawRoot_) Fail("no root element");
      return Token::kEndOfDocument;
    }
    if (text_[pos_] != '<') {
      const std::size_t lt = text_.find('<', pos_);
      const std::size_t end = lt == std::string_view::npos ? text_.size() : lt;
      const std::string_view raw = text_.substr(pos_, end - pos_);
      if (open_.empty()) {
        if (!std::all_of(raw.begin(), raw.end(), IsSpace)) Fail("text outside the root element");
        pos_ = end;
        continue;
      }
      pos_ = end;
      rawText_ = raw;
      textIsCdata_ = false;
      return Token::kText;
    }
    const std::string_view rest = text_.substr(pos_);
    if (rest.starts_with("<?")) {
      const std::size_t close = text_.find("?>", pos_ + 2);
      if (close == std::string_view::npos) Fail("processing instruction not closed");
      pos_ = close + 2;
      continue;
    }
    if (rest.starts_with("<!--")) {
      const std::size_t close = text_.find("-->", pos_ + 4);
      if (close == std::string_view::npos) Fail("comment not closed");
      pos_ = close + 3;
      continue;
    }
    if (rest.starts_with("<![CDATA[")) {
      if (open_.empty()) Fail("character data outside the root element");
      const std::size_t start = pos_ + 9;
      const std::size_t close = text_.find("]]>", start);
      if (close == std::string_view::npos) Fail("CDATA section not closed");
      rawText_ = text_.substr(start, close - start);
      textIsCdata_ = true;
      pos_ = close + 3;
      return Token::kText;
    }
    if (rest.starts_with("<!")) Fail("document type declarations are not allowed");
    if (rest.starts_with("</")) {
      ParseEndTag();
      return Token::kEnd;
    }
    ParseStartTag();
    return Token::kStart;
  }
}

std::string_view XmlScanner::Decode(std::string_view raw, std::string& scratch) {
  if (raw.find_first_of("&\r") == std::string_view::npos) return raw;
  scratch.clear();
  scratch.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (c == '\r') {  // line ends read as LF
      scratch.push_back('\n');
      if (i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
      continue;
    }
    if (c != '&') {
      scratch.push_back(c);
      continue;
    }
    const std::size_t semi = raw.find(';', i + 1);
    if (semi == std::string_view::npos || semi - i > 12) Fail("'&' without a valid reference");
    const std::string_view name = raw.substr(i + 1, semi - i - 1);
    if (name == "amp") {
      scratch.push_back('&');
    } else if (name == "lt") {
      scratch.push_back('<');
    } else if (name == "gt") {
      scratch.push_back('>');
    } else if (name == "quot") {
      scratch.push_back('"');
    } else if (name == "apos") {
      scratch.push_back('\'');
    } else if (name.size() >= 2 && name[0] == '#') {
      const bool hex = name[1] == 'x';
      const std::string_view digits = name.substr(hex ? 2 : 1);
      std::uint32_t cp = 0;
      const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
      if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || !IsXmlChar(cp))
        Fail("invalid character reference &" + std::string(name) + ";");
      AppendUtf8(scratch, cp);
    } else {
      Fail("unknown entity &" + std::string(name) + ";");
    }
    i = semi;
  }
  return scratch;
}

std::optional<std::string_view> XmlScanner::Attribute(std::string_view localName) {
  for (const RawAttribute& a : attributes_)
    if (LocalPart(a.qname) == localName) return Decode(a.value, scratch_);
  return std::nullopt;
}

std::string_view XmlScanner::Text() { return textIsCdata_ ? rawText_ : Decode(rawText_, textScratch_); }

void XmlScanner::AppendElementText(std::string& out) {
  const std::size_t depth = depth_;
  for (;;) {
    const Token t = Next();
    if (t == Token::kText) {
      out.append(Text());
    } else if (t == Token::kEnd && depth_ == depth) {
      return;
    } else if (t == Token::kEndOfDocument) {
      Fail("unexpected end of document");
    }
  }
}

void XmlScanner::SkipElement() {
  const std::size_t depth = depth_;
  for (;;) {
    const Token t = Next();
    if (t == Token::kEnd && depth_ == depth) return;
    if (t == Token::kEndOfDocument) Fail("unexpected end of document");
  }
}

}  // namespace nml::host::files
