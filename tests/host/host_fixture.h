// Shared helpers of the host tests: an application with one user workbook
// whose first sheet is "Data", and the process's resident memory.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "host/application.h"
#include "host/workbook.h"
#include "host/worksheet.h"

namespace nml::host::testing {

/// Bytes of the process resident in memory now (from /proc/self/statm).
inline std::int64_t ResidentBytes() {
  long pages = 0, resident = 0;
  if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<std::int64_t>(resident) * 4096;
}

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app = Application::Create();
    book = app->Workbooks()->Add("Book1");
    data = book->SheetList().front();
    data->SetName("Data");
  }

  ApplicationRef app;
  WorkbookRef book;
  WorksheetRef data;
};

}  // namespace nml::host::testing
