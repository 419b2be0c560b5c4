#include "host/files/formula_shift.h"

#include <gtest/gtest.h>

namespace nml::files {
namespace {

struct Case {
  const char* formula;
  int rows;
  int cols;
  const char* expected;
};

TEST(ShiftFormula, MovesRelativeReferencesOnly) {
  for (const Case& c : {
           Case{"A1*$B$1+SUM(C1:C3)", 2, 1, "B3*$B$1+SUM(D3:D5)"},
           Case{"A1+$A1+A$1+$A$1", 1, 1, "B2+$A2+B$1+$A$1"},
           Case{"Sheet2!A1+'My sheet'!B2", 1, 0, "Sheet2!A2+'My sheet'!B3"},
           Case{"SUM(A:A)+SUM($B:C)+SUM(1:3)+SUM($1:3)", 2, 1, "SUM(B:B)+SUM($B:D)+SUM(3:5)+SUM($1:5)"},
           Case{"LOG10(A1)+ATAN2(B1,C1)", 3, 0, "LOG10(A4)+ATAN2(B4,C4)"},
           Case{"a1+xfc1", 0, 1, "B1+XFD1"},
       }) {
    EXPECT_EQ(ShiftFormula(c.formula, c.rows, c.cols), c.expected) << c.formula;
  }
}

TEST(ShiftFormula, LeavesTextNamesNumbersAndErrorsAlone) {
  for (const Case& c : {
           Case{"\"A1\"&A1&\"say \"\"B2\"\"\"", 1, 0, "\"A1\"&A2&\"say \"\"B2\"\"\""},
           Case{"IF(A1>1E+5,TRUE,2.5)", 1, 0, "IF(A2>1E+5,TRUE,2.5)"},
           Case{"Table1[[#This Row],[A1]]*A1", 1, 0, "Table1[[#This Row],[A1]]*A2"},
           Case{"IFERROR(A1,#N/A)+#REF!", 1, 0, "IFERROR(A2,#N/A)+#REF!"},
           Case{"XFE1+Rate_2024+ABCD1", 5, 5, "XFE1+Rate_2024+ABCD1"},
           Case{"'It''s A1'!C3", 0, 1, "'It''s A1'!D3"},
       }) {
    EXPECT_EQ(ShiftFormula(c.formula, c.rows, c.cols), c.expected) << c.formula;
  }
}

TEST(ShiftFormula, ReferencesMovedOffTheGridBecomeRefErrors) {
  EXPECT_EQ(ShiftFormula("A1+B2", -1, 0), "#REF!+B1");
  EXPECT_EQ(ShiftFormula("XFD1*2", 0, 1), "#REF!*2");
  EXPECT_EQ(ShiftFormula("SUM(A1048575:A1048576)", 1, 0), "SUM(#REF!)");
  EXPECT_EQ(ShiftFormula("$A$1048576", 5, 5), "$A$1048576");
}

}  // namespace
}  // namespace nml::files
