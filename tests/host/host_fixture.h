// Shared helpers of the host tests: an application with one user workbook
// whose first sheet is "Data", and the process's resident memory.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "host/application.h"
#include "host/workbook.h"
#include "host/worksheet.h"

namespace nml::host::testing {

/// Bytes of the process resident in memory now (from /proc/self/statm).
inline std::int64_t ResidentBytes() {
  std::int64_t pages = 0, resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return resident * 4096;
}

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override { data->SetName("Data"); }

  ApplicationRef app = Application::Create();
  WorkbookRef book = app->Workbooks()->Add("Book1");
  WorksheetRef data = book->SheetList().front();
};

}  // namespace nml::host::testing
