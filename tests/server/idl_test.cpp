// The type library text and the library's dispatch table must describe the
// same interface: the IDL is parsed here and compared, member by member, with
// what the library reports and with how it answers GetIDsOfNames.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "nmlcorrelation/method.h"
#include "server_fixture.h"

namespace nml::server::testing {
namespace {

// ---- A reader for the subset of IDL the file uses ------------------------

struct Token {
  enum Kind { kWord, kNumber, kString, kPunct, kRaw, kEnd } kind;
  std::string text;
};

class Lexer {
 public:
  explicit Lexer(std::string text) : s_(std::move(text)) {}

  // Raw text up to the next ')', for uuid(...) whose contents are not tokens.
  std::string RawUntilParen() {
    const std::size_t end = s_.find(')', pos_);
    if (end == std::string::npos) throw std::runtime_error("unclosed (");
    std::string raw = s_.substr(pos_, end - pos_);
    pos_ = end;
    return raw;
  }

  Token Next() {
    SkipSpaceAndComments();
    if (pos_ >= s_.size()) return {Token::kEnd, {}};
    const char c = s_[pos_];
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      const std::size_t start = pos_;
      while (pos_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '_')) ++pos_;
      return {Token::kWord, s_.substr(start, pos_ - start)};
    }
    if (std::isdigit(static_cast<unsigned char>(c))) {
      const std::size_t start = pos_;
      while (pos_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '.')) ++pos_;
      return {Token::kNumber, s_.substr(start, pos_ - start)};
    }
    if (c == '"') {
      const std::size_t end = s_.find('"', pos_ + 1);
      if (end == std::string::npos) throw std::runtime_error("unclosed string");
      std::string text = s_.substr(pos_ + 1, end - pos_ - 1);
      pos_ = end + 1;
      return {Token::kString, text};
    }
    ++pos_;
    return {Token::kPunct, std::string(1, c)};
  }

 private:
  void SkipSpaceAndComments() {
    for (;;) {
      while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
      if (s_.compare(pos_, 2, "//") == 0) {
        pos_ = s_.find('\n', pos_);
        if (pos_ == std::string::npos) pos_ = s_.size();
      } else if (s_.compare(pos_, 2, "/*") == 0) {
        pos_ = s_.find("*/", pos_);
        pos_ = pos_ == std::string::npos ? s_.size() : pos_ + 2;
      } else {
        return;
      }
    }
  }

  std::string s_;
  std::size_t pos_ = 0;
};

using Attributes = std::map<std::string, std::string>;  // name -> argument text ("" when none)

struct Parameter {
  Attributes attributes;
  std::string type;
  bool pointer = false;
  std::string name;
};

struct IdlMethod {
  Attributes attributes;
  std::string name;
  std::vector<Parameter> params;
};

struct IdlLibrary {
  Attributes attributes;
  std::string name;
  Attributes enumAttributes;
  std::string enumName;
  std::vector<std::pair<std::string, long>> enumMembers;
  Attributes interfaceAttributes;
  std::string interfaceName;
  std::vector<IdlMethod> methods;
  Attributes classAttributes;
  std::string className;
  Attributes classInterfaceAttributes;
  std::string classInterface;
};

class Parser {
 public:
  explicit Parser(std::string text) : lex_(std::move(text)) { Advance(); }

  IdlLibrary Library() {
    IdlLibrary lib;
    lib.attributes = AttributesIfAny();
    ExpectWord("library");
    lib.name = Word();
    Expect("{");
    while (!Is("}")) {
      Attributes attrs = AttributesIfAny();
      const std::string keyword = Word();
      if (keyword == "importlib") {
        Expect("(");
        Take(Token::kString);
        Expect(")");
        Expect(";");
      } else if (keyword == "typedef") {
        lib.enumAttributes = AttributesIfAny();
        ExpectWord("enum");
        if (tok_.kind == Token::kWord) Advance();  // the tag
        Expect("{");
        while (!Is("}")) {
          const std::string member = Word();
          Expect("=");
          const long value = std::stol(Take(Token::kNumber), nullptr, 0);
          lib.enumMembers.emplace_back(member, value);
          if (Is(",")) Advance();
        }
        Expect("}");
        lib.enumName = Word();
        Expect(";");
      } else if (keyword == "dispinterface") {
        const std::string name = Word();
        if (Is(";")) {  // forward declaration
          Advance();
          continue;
        }
        lib.interfaceAttributes = attrs;
        lib.interfaceName = name;
        Expect("{");
        ExpectWord("properties");
        Expect(":");
        ExpectWord("methods");
        Expect(":");
        while (!Is("}")) lib.methods.push_back(Method());
        Expect("}");
        Expect(";");
      } else if (keyword == "coclass") {
        lib.classAttributes = attrs;
        lib.className = Word();
        Expect("{");
        lib.classInterfaceAttributes = AttributesIfAny();
        ExpectWord("dispinterface");
        lib.classInterface = Word();
        Expect(";");
        Expect("}");
        Expect(";");
      } else {
        throw std::runtime_error("unexpected " + keyword);
      }
    }
    Expect("}");
    if (Is(";")) Advance();
    if (tok_.kind != Token::kEnd) throw std::runtime_error("text after the library: " + tok_.text);
    return lib;
  }

 private:
  IdlMethod Method() {
    IdlMethod m;
    m.attributes = AttributesIfAny();
    ExpectWord("void");
    m.name = Word();
    Expect("(");
    while (!Is(")")) {
      Parameter p;
      p.attributes = AttributesIfAny();
      p.type = Word();
      if (Is("*")) {
        p.pointer = true;
        Advance();
      }
      p.name = Word();
      m.params.push_back(p);
      if (Is(",")) Advance();
    }
    Expect(")");
    Expect(";");
    return m;
  }

  Attributes AttributesIfAny() {
    Attributes attrs;
    if (!Is("[")) return attrs;
    Advance();
    while (!Is("]")) {
      const std::string name = Word();
      std::string arg;
      if (Is("(")) {
        if (name == "uuid") {
          arg = lex_.RawUntilParen();
          Advance();
        } else {
          Advance();
          arg = tok_.text;
          Advance();
        }
        Expect(")");
      }
      attrs[name] = arg;
      if (Is(",")) Advance();
    }
    Expect("]");
    return attrs;
  }

  bool Is(const char* punct) const { return tok_.kind == Token::kPunct && tok_.text == punct; }
  void Advance() { tok_ = lex_.Next(); }
  void Expect(const char* punct) {
    if (!Is(punct)) throw std::runtime_error(std::string("expected ") + punct + " at " + tok_.text);
    Advance();
  }
  void ExpectWord(const char* word) {
    if (Word() != word) throw std::runtime_error(std::string("expected ") + word);
  }
  std::string Word() { return Take(Token::kWord); }
  std::string Take(Token::Kind kind) {
    if (tok_.kind != kind) throw std::runtime_error("unexpected token " + tok_.text);
    std::string text = tok_.text;
    Advance();
    return text;
  }

  Lexer lex_;
  Token tok_{Token::kEnd, {}};
};

std::optional<GUID> ParseGuid(const std::string& text) {
  GUID g{};
  unsigned d[11];
  char tail = 0;
  if (std::sscanf(text.c_str(), "%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x%c", &d[0], &d[1], &d[2], &d[3], &d[4], &d[5],
                  &d[6], &d[7], &d[8], &d[9], &d[10], &tail) != 11 ||
      text.size() != 36)
    return std::nullopt;
  g.Data1 = d[0];
  g.Data2 = static_cast<std::uint16_t>(d[1]);
  g.Data3 = static_cast<std::uint16_t>(d[2]);
  for (int k = 0; k < 8; ++k) g.Data4[k] = static_cast<std::uint8_t>(d[3 + k]);
  return g;
}

// The type each IDL spelling is passed as.
VARTYPE TypeOf(const std::string& idlType, const IdlLibrary& lib) {
  if (idlType == "VARIANT_BOOL") return VT_BOOL;
  if (idlType == "BSTR") return VT_BSTR;
  if (idlType == "long") return VT_I4;
  if (idlType == lib.enumName) return VT_I4;  // enumerations travel as 32-bit integers
  return VT_EMPTY;
}

std::vector<NmlMemberInfo> LibraryMembers() {
  std::vector<NmlMemberInfo> members;
  NmlMemberInfo info{};
  for (UINT k = 0; NmlServerGetMember(k, &info) == S_OK; ++k) members.push_back(info);
  return members;
}

class TypeLibrary : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { idl_ = new IdlLibrary(Parser(ReadFile(NML_SERVER_IDL)).Library()); }
  static void TearDownTestSuite() {
    delete idl_;
    idl_ = nullptr;
  }
  static const IdlLibrary& Idl() { return *idl_; }

 private:
  static IdlLibrary* idl_;
};

IdlLibrary* TypeLibrary::idl_ = nullptr;

void ExpectGuid(const Attributes& attrs, const GUID& expected, const char* what) {
  ASSERT_TRUE(attrs.contains("uuid")) << what;
  const auto g = ParseGuid(attrs.at("uuid"));
  ASSERT_TRUE(g.has_value()) << what << ": " << attrs.at("uuid");
  EXPECT_TRUE(IsEqualGUID(&*g, &expected)) << what << ": " << attrs.at("uuid");
}

TEST_F(TypeLibrary, LibraryNameHelpStringVersionAndIdentifier) {
  EXPECT_EQ(Idl().name, "NMLCorrelation");
  EXPECT_EQ(Idl().attributes.at("helpstring"), "Numerolith Correlation Analysis");
  EXPECT_EQ(Idl().attributes.at("version"),
            std::to_string(NMLCORRELATION_LIB_MAJOR) + "." + std::to_string(NMLCORRELATION_LIB_MINOR));
  ExpectGuid(Idl().attributes, LIBID_NMLCorrelation, "library");
}

TEST_F(TypeLibrary, EnumerationMatchesTheComponentsMethods) {
  EXPECT_EQ(Idl().enumName, "nmlCorrelationMethod");
  ExpectGuid(Idl().enumAttributes, GUID_nmlCorrelationMethod, "enumeration");
  const std::vector<std::pair<std::string, long>> expected{
      {"nmlCorrSimple", nml::nmlCorrSimple},
      {"nmlCorrMultiple", nml::nmlCorrMultiple},
      {"nmlCorrPartial", nml::nmlCorrPartial},
      {"nmlCorrCanonical", nml::nmlCorrCanonical},
  };
  EXPECT_EQ(Idl().enumMembers, expected);
  // And the values themselves, as the public table gives them.
  ASSERT_EQ(Idl().enumMembers.size(), 4u);
  for (long k = 0; k < 4; ++k) EXPECT_EQ(Idl().enumMembers[static_cast<std::size_t>(k)].second, k);
}

TEST_F(TypeLibrary, CreatableClassWithItsDefaultDispatchInterface) {
  EXPECT_EQ(Idl().className, "clsCorrelation");
  ExpectGuid(Idl().classAttributes, CLSID_clsCorrelation, "class");
  EXPECT_TRUE(Idl().classInterfaceAttributes.contains("default"));
  EXPECT_EQ(Idl().classInterface, "_clsCorrelation");
  EXPECT_EQ(Idl().interfaceName, "_clsCorrelation");
  ExpectGuid(Idl().interfaceAttributes, IID__clsCorrelation, "interface");
}

TEST_F(TypeLibrary, IdentifiersAreDistinct) {
  const GUID ids[] = {LIBID_NMLCorrelation, GUID_nmlCorrelationMethod, IID__clsCorrelation, CLSID_clsCorrelation,
                      IID_IUnknown, IID_IDispatch, IID_IClassFactory};
  for (std::size_t a = 0; a < std::size(ids); ++a)
    for (std::size_t b = a + 1; b < std::size(ids); ++b) EXPECT_FALSE(IsEqualGUID(&ids[a], &ids[b])) << a << " " << b;
}

TEST_F(TypeLibrary, MembersAgreeWithTheDispatchTableInOrder) {
  const std::vector<NmlMemberInfo> table = LibraryMembers();
  ASSERT_EQ(Idl().methods.size(), 10u);
  ASSERT_EQ(table.size(), Idl().methods.size());
  const char* order[] = {"Headers", "Method", "Descriptives", "Standardised", "Raw",
                         "Plots",   "YRange", "XRange",       "OutputRange",  "Results"};
  for (std::size_t k = 0; k < table.size(); ++k) {
    SCOPED_TRACE(order[k]);
    const IdlMethod& m = Idl().methods[k];
    const NmlMemberInfo& row = table[k];
    EXPECT_EQ(m.name, order[k]);
    EXPECT_EQ(std::string(row.name), m.name);
    EXPECT_EQ(row.dispid, std::stol(m.attributes.at("id"), nullptr, 0));
    const bool put = m.attributes.contains("propput");
    EXPECT_EQ(put, k < 9) << "nine put-only properties, then Results";
    EXPECT_FALSE(m.attributes.contains("propget"));
    EXPECT_EQ(row.invokeKind, put ? DISPATCH_PROPERTYPUT : DISPATCH_METHOD);
    ASSERT_EQ(m.params.size(), 1u);
    const Parameter& p = m.params[0];
    EXPECT_EQ(std::string(row.paramName), p.name);
    EXPECT_EQ(std::string(row.paramTypeName), p.type);
    EXPECT_EQ(row.paramType, TypeOf(p.type, Idl()));
    EXPECT_TRUE(p.pointer && p.attributes.contains("in") && p.attributes.contains("out")) << "passed by reference";
    EXPECT_EQ(row.paramOptional != 0, p.attributes.contains("optional"));
  }
  EXPECT_TRUE(Idl().methods[9].params[0].attributes.contains("defaultvalue"));
  EXPECT_EQ(Idl().methods[9].params[0].attributes.at("defaultvalue"), "0") << "OverWrite is False when omitted";
  NmlMemberInfo past{};
  EXPECT_EQ(NmlServerGetMember(10, &past), DISP_E_BADINDEX);
  EXPECT_EQ(NmlServerGetMember(0, nullptr), E_POINTER);
}

class TypeLibraryNames : public ServerTest {};

TEST_F(TypeLibraryNames, GetIDsOfNamesAnswersTheIdlIdentifiersInAnyCase) {
  const IdlLibrary lib = Parser(ReadFile(NML_SERVER_IDL)).Library();
  for (const IdlMethod& m : lib.methods) {
    const long id = std::stol(m.attributes.at("id"), nullptr, 0);
    std::string upper = m.name, lower = m.name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(Id(m.name), id) << m.name;
    EXPECT_EQ(Id(upper), id) << upper;
    EXPECT_EQ(Id(lower), id) << lower;
  }
}

}  // namespace
}  // namespace nml::server::testing
