#include "host/files/xml_text.h"

#include <gtest/gtest.h>

#include <string>

namespace nml::host::files {
namespace {

// A part is whole when it ends with its root's end tag; a part cut short by a
// full disk (anywhere, even right after a complete inner element) is not.
TEST(XmlPartComplete, WholePartsAndPartsCutShort) {
  const std::string decl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
  const std::string sheet = decl + "<worksheet xmlns=\"m\"><sheetData><row r=\"1\"/></sheetData></worksheet>";
  for (const std::string& whole : {sheet, sheet + "\n", decl + "<sst count=\"0\"/>", std::string("<Types></Types>")})
    EXPECT_TRUE(XmlPartComplete(whole)) << whole;
  for (std::size_t cut : {std::size_t{0}, decl.size(), decl.size() + 10, sheet.size() - 12, sheet.size() - 1})
    EXPECT_FALSE(XmlPartComplete(sheet.substr(0, cut))) << cut;
  EXPECT_FALSE(XmlPartComplete(decl + "<a><b></b>"));
  EXPECT_FALSE(XmlPartComplete(decl + "<a/><b>"));
}

}  // namespace
}  // namespace nml::host::files
