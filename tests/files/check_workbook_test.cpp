// The openpyxl check of a written workbook (scripts/check-workbook.py): it
// must accept the workbook the writer makes and catch a wrong expectation.
// Skipped where /usr/bin/python3 with openpyxl is not installed.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "files_test_support.h"
#include "host/application.h"
#include "host/chart_maker.h"
#include "host/files/xlsx_writer.h"

namespace nml::files {
namespace {

int RunCommand(const std::string& command) {
  const int status = std::system((command + " > /dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(CheckWorkbookScript, ConfirmsWhatTheWriterWrote) {
  if (RunCommand("/usr/bin/python3 -c 'import openpyxl'") != 0) GTEST_SKIP() << "no /usr/bin/python3 with openpyxl";
  const std::string script = std::string(NML_TEST_DATA) + "/../../scripts/check-workbook.py";

  auto app = host::Application::Create();
  auto book = app->Workbooks()->Add("checked.xlsx");
  auto data = book->SheetList()[0];
  data->SetName("My data");
  for (int r = 1; r <= 10; ++r) {
    data->Store().SetDouble(r, 1, r);
    data->Store().SetDouble(r, 2, r * 0.5);
  }
  auto report = book->AppendSheet("Report");
  report->Store().Set(1, 1, Variant("Pearson Correlation Coefficients"));
  report->Store().SetDouble(3, 2, 0.987654321);
  report->Store().Set(3, 3, Variant("-"));
  report->Store().Set(4, 2, Variant::Boolean(true));
  for (int i = 0; i < 3; ++i) {
    support::ChartMaker maker;
    maker.Anchor = report->Cells(1, 5);
    maker.Left = 150 * i;
    maker.FirstSeries = data->GetRange("A1:A10");
    maker.SecondSeries = data->GetRange("B1:B10");
    maker.Build();
  }
  testing::ScratchDir dir;
  const std::string file = dir.File("checked.xlsx");
  SaveWorkbook(*book, file);

  const std::string base = "/usr/bin/python3 '" + script + "' '" + file + "'";
  EXPECT_EQ(RunCommand(base + " --sheets 'My data,Report' --cell 'Report!A1=Pearson Correlation Coefficients'"
                       " --cell 'Report!B3=0.987654321' --cell 'Report!C3=-' --cell 'Report!B4=TRUE'"
                       " --cell \"'My data'!B10=5\" --cell 'Report!A2=' --charts Report=3 --charts 'My data=0'"),
            0);
  testing::WriteFile(dir.File("expect.json"),
                     R"({"sheets": ["My data", "Report"], "cells": {"Report!B3": 0.987654321, "Report!B4": true},
                         "charts": {"Report": 3}})");
  EXPECT_EQ(RunCommand(base + " --json '" + dir.File("expect.json") + "'"), 0);

  // Each wrong expectation fails the check.
  EXPECT_EQ(RunCommand(base + " --sheets 'Report,My data'"), 1);
  EXPECT_EQ(RunCommand(base + " --cell 'Report!B3=0.98765'"), 1);
  EXPECT_EQ(RunCommand(base + " --cell 'Report!C3=0'"), 1);
  EXPECT_EQ(RunCommand(base + " --charts Report=2"), 1);
  EXPECT_EQ(RunCommand(base + " --cell 'Nowhere!A1=1'"), 1);
  testing::WriteFile(dir.File("broken.xlsx"), "not a workbook");
  EXPECT_EQ(RunCommand("/usr/bin/python3 '" + script + "' '" + dir.File("broken.xlsx") + "'"), 2);
}

}  // namespace
}  // namespace nml::files
