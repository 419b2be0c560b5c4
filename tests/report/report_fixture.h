// Shared test support for the report writer and layouts: a fresh host
// application per test, whole-sheet grid comparison against hand-written
// expected cells, cell formats, errors, and the example data sets.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <functional>
#include <sstream>
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

namespace nml::report::testing {

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
  Cell(double d) : kind(kNumber), number(d) {}
  Cell(int d) : kind(kNumber), number(d) {}
  /// A reference value, or the text it holds ("-").
  static Cell Ref(const nlohmann::json& v) {
    return v.is_string() ? Cell(v.get<std::string>()) : Cell(v.get<double>());
  }
};
inline Cell UpToSign(double d) {
  Cell c(d);
  c.kind = Cell::kUpToSign;
  return c;
}

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

/// The error f raises (number 0 and a failure when none).
inline Error Caught(const std::function<void()>& f) {
  try {
    f();
  } catch (const Error& e) {
    return e;
  }
  ADD_FAILURE() << "no error raised";
  return Error(0, "none");
}

inline bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

/// The named numeric columns of a CSV file with a quoted name row.
inline Matrix CsvColumns(const std::string& file, const std::vector<std::string>& wanted) {
  std::ifstream in(std::string(NML_TEST_DATA) + "/" + file);
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::stringstream ss(line);
    rows.emplace_back();
    for (std::string f; std::getline(ss, f, ',');) rows.back().push_back(f);
  }
  Matrix m = Matrix::Matrix(static_cast<std::int32_t>(rows.size() - 1), static_cast<std::int32_t>(wanted.size()));
  for (std::size_t j = 0; j < wanted.size(); ++j) {
    std::size_t k = 0;
    while (k < rows[0].size() && rows[0][k] != "\"" + wanted[j] + "\"") ++k;
    for (std::size_t i = 1; i < rows.size(); ++i)
      m(static_cast<std::int32_t>(i), static_cast<std::int32_t>(j + 1)) = std::stod(rows[i].at(k));
  }
  return m;
}

inline nlohmann::json LoadCase(const std::string& file, const std::string& method) {
  std::ifstream in(std::string(NML_TEST_DATA) + "/" + file);
  const nlohmann::json doc = nlohmann::json::parse(in);
  for (const auto& c : doc["cases"])
    if (c["method"] == method) return c;
  ADD_FAILURE() << "no " << method << " case in " << file;
  return {};
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
