// The type library text and the library's dispatch table must describe the
// same interface: the IDL is read here and compared, member by member, with
// what the library reports.
#include <cstdio>
#include <map>
#include <optional>
#include <regex>

#include "nmlcorrelation/method.h"
#include "server_fixture.h"

namespace nml::server::testing {
namespace {

// The IDL without its comments.
std::string Idl() {
  return std::regex_replace(ReadFile(NML_SERVER_IDL), std::regex(R"(//[^\n]*|/\*[\s\S]*?\*/)"), "");
}

// The argument of attribute name in a list such as "id(0x00000001), propput"
// ("" when it takes none), or nothing when the list lacks it.
std::optional<std::string> Attribute(const std::string& list, const std::string& name) {
  std::smatch m;
  if (!std::regex_search(list, m, std::regex(R"((?:^|,)\s*)" + name + R"(\s*(?:\(([^)]*)\))?\s*(?:,|$))")))
    return std::nullopt;
  return m[1].str();
}

std::string GuidText(const GUID& g) {
  char s[40];
  std::snprintf(s, sizeof s, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", static_cast<unsigned>(g.Data1),
                g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                g.Data4[7]);
  return s;
}

TEST(TypeLibrary, DeclarationsCarryTheIdentifiersOfTheLibrary) {
  const std::string idl = Idl();
  // The attributes of each "[...] library|enum|dispinterface|coclass name".
  std::map<std::string, std::string> attributes;
  const std::regex declaration(R"(\[([^\]]*)\]\s*(library|enum|dispinterface|coclass)\s+(\w+))");
  for (std::sregex_iterator it(idl.begin(), idl.end(), declaration), end; it != end; ++it)
    attributes.emplace((*it)[2].str() + " " + (*it)[3].str(), (*it)[1].str());
  const std::pair<const char*, const GUID*> expected[] = {
      {"library NMLCorrelation", &LIBID_NMLCorrelation},
      {"enum nmlCorrelationMethod", &GUID_nmlCorrelationMethod},
      {"dispinterface _clsCorrelation", &IID__clsCorrelation},
      {"coclass clsCorrelation", &CLSID_clsCorrelation},
  };
  for (const auto& [name, guid] : expected) {
    ASSERT_TRUE(attributes.contains(name)) << name;
    EXPECT_EQ(Attribute(attributes[name], "uuid"), GuidText(*guid)) << name;
    for (const auto& [other, otherGuid] : expected) {
      if (other != name) {
        EXPECT_FALSE(IsEqualGUID(guid, otherGuid)) << name << " and " << other;
      }
    }
  }
  const std::string& library = attributes["library NMLCorrelation"];
  EXPECT_EQ(Attribute(library, "version"),
            std::to_string(NMLCORRELATION_LIB_MAJOR) + "." + std::to_string(NMLCORRELATION_LIB_MINOR));
  EXPECT_EQ(Attribute(library, "helpstring"), "\"Numerolith Correlation Analysis\"");
  EXPECT_TRUE(std::regex_search(idl, std::regex(R"(coclass clsCorrelation\s*\{\s*\[default\]\s*)"
                                                R"(dispinterface _clsCorrelation\s*;\s*\})")));

  std::smatch body;
  ASSERT_TRUE(std::regex_search(idl, body, std::regex(R"(enum nmlCorrelationMethod\s*\{([^}]*)\})")));
  const std::string enumeration = body[1];
  std::vector<std::pair<std::string, long>> members;
  const std::regex member(R"((\w+)\s*=\s*(\d+))");
  for (std::sregex_iterator it(enumeration.begin(), enumeration.end(), member), end; it != end; ++it)
    members.emplace_back((*it)[1], std::stol((*it)[2]));
  const std::vector<std::pair<std::string, long>> methods{
      {"nmlCorrSimple", nml::nmlCorrSimple}, {"nmlCorrMultiple", nml::nmlCorrMultiple},
      {"nmlCorrPartial", nml::nmlCorrPartial}, {"nmlCorrCanonical", nml::nmlCorrCanonical}};
  EXPECT_EQ(members, methods);
  for (long k = 0; k < 4; ++k) EXPECT_EQ(methods[static_cast<std::size_t>(k)].second, k) << "the public numbering";
}

TEST(TypeLibrary, MembersAgreeWithTheDispatchTableInOrder) {
  const std::string idl = Idl();
  std::smatch body;
  ASSERT_TRUE(std::regex_search(idl, body, std::regex(R"(dispinterface _clsCorrelation\s*\{([^}]*)\})")));
  const std::string text = body[1];
  // "[attributes] void Name([attributes] Type* Param);"
  const std::regex declaration(R"(\[([^\]]*)\]\s*void\s+(\w+)\s*\(\s*\[([^\]]*)\]\s*(\w+)\s*(\*?)\s*(\w+)\s*\)\s*;)");
  EXPECT_EQ(std::regex_replace(std::regex_replace(text, declaration, ""), std::regex(R"(\s+)"), ""),
            "properties:methods:")
      << "the interface holds only members this test reads";

  std::vector<NmlMemberInfo> table;
  for (NmlMemberInfo row{}; NmlServerGetMember(static_cast<UINT>(table.size()), &row) == S_OK;) table.push_back(row);
  NmlMemberInfo row{};
  EXPECT_EQ(NmlServerGetMember(static_cast<UINT>(table.size()), &row), DISP_E_BADINDEX);
  EXPECT_EQ(NmlServerGetMember(0, nullptr), E_POINTER);

  const char* order[] = {"Headers", "Method", "Descriptives", "Standardised", "Raw",
                         "Plots",   "YRange", "XRange",       "OutputRange",  "Results"};
  ASSERT_EQ(table.size(), std::size(order));
  std::size_t k = 0;
  for (std::sregex_iterator it(text.begin(), text.end(), declaration), end; it != end; ++it, ++k) {
    const std::smatch& m = *it;
    SCOPED_TRACE(m[2].str());
    ASSERT_LT(k, table.size()) << "more members in the IDL than in the table";
    const NmlMemberInfo& row = table[k];
    const std::string attributes = m[1], paramAttributes = m[3], type = m[4];
    EXPECT_EQ(m[2].str(), order[k]);
    EXPECT_EQ(std::string(row.name), m[2].str());
    EXPECT_EQ(row.dispid, std::stol(Attribute(attributes, "id").value_or("-1"), nullptr, 0));
    const bool put = Attribute(attributes, "propput").has_value();
    EXPECT_EQ(put, k < 9) << "nine put-only properties, then Results";
    EXPECT_FALSE(Attribute(attributes, "propget").has_value());
    EXPECT_EQ(row.invokeKind, put ? DISPATCH_PROPERTYPUT : DISPATCH_METHOD);
    EXPECT_EQ(std::string(row.paramName), m[6].str());
    EXPECT_EQ(std::string(row.paramTypeName), type);
    EXPECT_EQ(row.paramType, type == "VARIANT_BOOL"           ? VT_BOOL
                             : type == "BSTR"                 ? VT_BSTR
                             : type == "nmlCorrelationMethod" ? VT_I4  // enumerations travel as 32-bit integers
                                                              : VT_EMPTY);
    EXPECT_TRUE(m[5] == "*" && Attribute(paramAttributes, "in") && Attribute(paramAttributes, "out"))
        << "passed by reference";
    EXPECT_EQ(row.paramOptional != 0, Attribute(paramAttributes, "optional").has_value());
    if (!put) {
      EXPECT_EQ(Attribute(paramAttributes, "defaultvalue"), "0") << "OverWrite is False when omitted";
    }
  }
  EXPECT_EQ(k, table.size());
}

}  // namespace
}  // namespace nml::server::testing
