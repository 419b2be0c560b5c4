// A running host with one user workbook "Book1" whose first sheet "Data" holds
// numbers, attached as the application the component talks to.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>

#include "host/application.h"
#include "support/host_link.h"
#include "host/workbook.h"
#include "host/worksheet.h"
#include "nmlcorrelation/correlation.h"
#include "support/error_catch.h"

namespace nml::testing {

class HostFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    app = host::Application::Create();
    support::TheHostLink().Attach(app);
    book = app->Workbooks()->Add("Book1");
    data = book->Worksheets()->Item(1);
    data->SetName("Data");
  }
  void TearDown() override { support::TheHostLink().Detach(); }

  void Put(std::int32_t row, std::int32_t col, const Variant& v) { data->Cells(row, col)->SetValue(v); }
  /// Fills rows first..last of columns first..last with f(row, col).
  void Fill(std::int32_t firstRow, std::int32_t lastRow, std::int32_t firstCol, std::int32_t lastCol,
            const std::function<double(std::int32_t, std::int32_t)>& f) {
    for (std::int32_t r = firstRow; r <= lastRow; ++r)
      for (std::int32_t c = firstCol; c <= lastCol; ++c) Put(r, c, Variant(f(r, c)));
  }
  /// Some non-degenerate numbers: no two columns perfectly related.
  static double Noise(std::int32_t r, std::int32_t c) {
    return std::fmod(std::fabs(std::sin(r * 12.9898 + c * 78.233)) * 43758.5453, 100.0) + r * 0.5 * c;
  }

  host::ApplicationRef app;
  host::WorkbookRef book;
  host::WorksheetRef data;
};

using test::ErrorNumberOf;

}  // namespace nml::testing
