#include "host/formula_shift.h"

#include <gtest/gtest.h>

#include <string>

namespace nml::host {
namespace {

// A formula, the rows and columns it moves, and the formula moved.
TEST(ShiftFormula, MovesRelativeReferencesOnly) {
  for (const auto& [formula, rows, cols, expected] : std::vector<std::tuple<const char*, int, int, std::string>>{
           {"A1*$B$1+SUM(C1:C3)", 2, 1, "B3*$B$1+SUM(D3:D5)"},
           {"A1+$A1+A$1+$A$1", 1, 1, "B2+$A2+B$1+$A$1"},
           {"Sheet2!A1+'My sheet'!B2", 1, 0, "Sheet2!A2+'My sheet'!B3"},
           {"SUM(A:A)+SUM($B:C)+SUM(1:3)+SUM($1:3)", 2, 1, "SUM(B:B)+SUM($B:D)+SUM(3:5)+SUM($1:5)"},
           {"LOG10(A1)+ATAN2(B1,C1)", 3, 0, "LOG10(A4)+ATAN2(B4,C4)"}, {"a1+xfc1", 0, 1, "B1+XFD1"},
           // Text, names, numbers, structured references and errors stay.
           {"\"A1\"&A1&\"say \"\"B2\"\"\"", 1, 0, "\"A1\"&A2&\"say \"\"B2\"\"\""},
           {"IF(A1>1E+5,TRUE,2.5E+3)", 1, 0, "IF(A2>1E+5,TRUE,2.5E+3)"},
           {"Table1[[#This Row],[A1]]*A1", 1, 0, "Table1[[#This Row],[A1]]*A2"},
           {"IFERROR(A1,#N/A)+#REF!+#DIV/0!", 1, 0, "IFERROR(A2,#N/A)+#REF!+#DIV/0!"},
           {"XFE1+Rate_2024+ABCD1+B2\xC3\xA9", 5, 5, "XFE1+Rate_2024+ABCD1+B2\xC3\xA9"},
           {"'It''s A1'!C3", 0, 1, "'It''s A1'!D3"},
           // Off the grid: a reference, or a whole range, becomes #REF!.
           {"A1+B2", -1, 0, "#REF!+B1"}, {"XFD1*2", 0, 1, "#REF!*2"}, {"SUM(A:B)", 0, -1, "SUM(#REF!)"},
           {"SUM(A1048575:A1048576)", 1, 0, "SUM(#REF!)"}, {"$A$1048576", 5, 5, "$A$1048576"}}) {
    EXPECT_EQ(ShiftFormula(formula, rows, cols), expected) << formula;
  }
}

}  // namespace
}  // namespace nml::host
