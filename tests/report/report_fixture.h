// Shared test support for the report writer and layouts: a fresh host
// application per test, whole-sheet grid comparison against hand-written
// expected cells, cell formats and the names of the example data sets.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/addin_workbook.h"
#include "host/application.h"
#include "host/cell_format.h"
#include "host/format_table.h"
#include "support/host_link.h"
#include "host/workbook.h"
#include "host/worksheet.h"
#include "nmlcorrelation/array.h"
#include "nmlcorrelation/error.h"
#include "nmlcorrelation/variant.h"
#include "support/error_catch.h"
#include "support/test_data.h"

namespace nml::report::testing {

using test::CsvColumns;
using test::ErrorOf;
using test::FindCase;

/// One expected cell: empty, an exact text, a number within a relative
/// tolerance, or a number known only up to its sign (canonical results).
struct Cell {
  enum Kind { kEmpty, kText, kNumber, kUpToSign };
  Kind kind = kEmpty;
  std::string text;
  double number = 0;

  Cell() = default;
  Cell(const char* t) : kind(*t ? kText : kEmpty), text(t) {}
  Cell(std::string t) : kind(t.empty() ? kEmpty : kText), text(std::move(t)) {}
  Cell(double d, Kind k = kNumber) : kind(k), number(d) {}
  Cell(int d) : kind(kNumber), number(d) {}
  /// A reference value, or the text it holds ("-").
  static Cell Ref(const nlohmann::json& v) {
    return v.is_string() ? Cell(v.get<std::string>()) : Cell(v.get<double>());
  }
};

using Row = std::vector<Cell>;
using Grid = std::vector<Row>;

inline bool Matches(const Cell& want, const Variant& got, double tol) {
  switch (want.kind) {
    case Cell::kEmpty: return got.IsEmpty();
    case Cell::kText: return got.IsText() && got.Text() == want.text;
    default: {
      if (!got.IsNumber()) return false;
      double a = got.ToDouble(), b = want.number;
      if (want.kind == Cell::kUpToSign) a = std::fabs(a), b = std::fabs(b);
      // Relative, so that probabilities of 1e-65 are checked as closely as
      // correlations; an expected 0 must be exactly 0.
      return a == b || std::fabs(a - b) <= tol * std::fabs(b);
    }
  }
}

/// Compares every cell of rows 1..grid.size() + margin and columns
/// 1..width + margin with the grid (cells beyond a row's list are empty).
inline void ExpectGrid(const host::Worksheet& sheet, const Grid& grid, std::int32_t width, double tol = 1e-9,
                       std::int32_t margin = 3) {
  int failures = 0;
  for (std::int32_t r = 1; r <= static_cast<std::int32_t>(grid.size()) + margin; ++r) {
    for (std::int32_t c = 1; c <= width + margin; ++c) {
      Cell want;
      if (r <= static_cast<std::int32_t>(grid.size()) && c <= static_cast<std::int32_t>(grid[r - 1].size()))
        want = grid[r - 1][c - 1];
      const Variant got = sheet.Store().Get(r, c);
      if (!Matches(want, got, tol) && ++failures <= 25) {
        ADD_FAILURE() << "cell (" << r << ", " << c << "): expected "
                      << (want.kind == Cell::kEmpty ? "<empty>"
                          : want.kind == Cell::kText ? "\"" + want.text + "\""
                                                     : FormatNumber15(want.number))
                      << ", got " << (got.IsEmpty() ? "<empty>" : got.ToText());
      }
    }
  }
  EXPECT_EQ(failures, 0) << "cells differing from the expected grid";
}

/// The format a cell shows (its own, or the sheet's).
inline host::CellFormat FormatAt(const host::Application& app, const host::Worksheet& sheet, std::int32_t row,
                                 std::int32_t col) {
  return app.Formats().Get(host::EffectiveFormatId(sheet.Store().FormatId(row, col), sheet.DefaultFormatId()));
}

inline Array<std::string> Names(const std::vector<std::string>& names) {
  Array<std::string> a = Array<std::string>::Vector(static_cast<std::int32_t>(names.size()));
  for (std::size_t i = 0; i < names.size(); ++i) a(static_cast<std::int32_t>(i + 1)) = names[i];
  return a;
}

/// A fresh application with the add-in workbook attached as the running one.
class ReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app = host::Application::Create();
    support::TheHostLink().Attach(app);
  }
  void TearDown() override { support::TheHostLink().Detach(); }

  host::WorksheetRef ResultsSheet() const {
    return app->Workbooks()->Item(host::kAddinWorkbookName)->Worksheets()->Item(host::kScratchSheetName);
  }
  /// A range of a user sheet named Data, for the ranges a header names.
  host::RangeRef DataRange(const char* address) {
    if (!data_) {
      data_ = app->Workbooks()->Add("Book1")->Worksheets()->Item(1);
      data_->SetName("Data");
    }
    return data_->GetRange(address);
  }

  host::ApplicationRef app;

 private:
  host::WorksheetRef data_;
};

}  // namespace nml::report::testing
