// Shared test support for the report writer and layouts: a fresh host
// application per test, whole-sheet grid comparison against hand-written
// expected cells, cell formats, and the example data sets.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/application.h"
#include "host/cell_format.h"
#include "host/format_table.h"
#include "host/host_link.h"
#include "host/workbook.h"
#include "host/worksheet.h"
#include "nmlcorrelation/array.h"
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
};
inline Cell UpToSign(double d) {
  Cell c(d);
  c.kind = Cell::kUpToSign;
  return c;
}

using Row = std::vector<Cell>;
using Grid = std::vector<Row>;

inline std::string Describe(const Variant& v) {
  if (v.IsEmpty()) return "<empty>";
  if (v.IsText()) return "\"" + v.Text() + "\"";
  if (v.IsNumber()) return FormatNumber15(v.ToDouble());
  return "<kind " + std::to_string(static_cast<int>(v.Kind())) + ">";
}

inline bool Matches(const Cell& want, const Variant& got, double tol) {
  switch (want.kind) {
    case Cell::kEmpty: return got.IsEmpty();
    case Cell::kText: return got.IsText() && got.Text() == want.text;
    case Cell::kNumber:
    case Cell::kUpToSign: {
      if (!got.IsNumber()) return false;
      double a = got.ToDouble(), b = want.number;
      if (want.kind == Cell::kUpToSign) a = std::fabs(a), b = std::fabs(b);
      // Relative, so that probabilities of 1e-65 are checked as closely as
      // correlations; an expected 0 must be exactly 0.
      return a == b || std::fabs(a - b) <= tol * std::fabs(b);
    }
  }
  return false;
}

/// Compares every cell of rows 1..grid.size() + margin and columns
/// 1..width + margin with the grid (cells beyond a row's list are empty).
inline void ExpectGrid(const host::Worksheet& sheet, const Grid& grid, std::int32_t width, double tol = 1e-9,
                       std::int32_t margin = 3) {
  const std::int32_t rows = static_cast<std::int32_t>(grid.size()) + margin;
  int failures = 0;
  for (std::int32_t r = 1; r <= rows; ++r) {
    for (std::int32_t c = 1; c <= width + margin; ++c) {
      Cell want;
      if (r <= static_cast<std::int32_t>(grid.size()) && c <= static_cast<std::int32_t>(grid[r - 1].size()))
        want = grid[r - 1][c - 1];
      const Variant got = sheet.Store().Get(r, c);
      if (!Matches(want, got, tol) && ++failures <= 25) {
        std::string w = want.kind == Cell::kEmpty  ? "<empty>"
                        : want.kind == Cell::kText ? "\"" + want.text + "\""
                                                   : FormatNumber15(want.number);
        ADD_FAILURE() << "cell (" << r << ", " << c << "): expected " << w << ", got " << Describe(got);
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

/// Numeric columns of a CSV file with a quoted name row.
struct DataSet {
  std::vector<std::string> names;
  std::vector<std::vector<double>> columns;

  Matrix Columns(const std::vector<std::string>& wanted) const {
    Matrix m = Matrix::Matrix(static_cast<std::int32_t>(columns.at(0).size()),
                              static_cast<std::int32_t>(wanted.size()));
    for (std::size_t j = 0; j < wanted.size(); ++j) {
      std::size_t k = 0;
      while (k < names.size() && names[k] != wanted[j]) ++k;
      const auto& col = columns.at(k);
      for (std::size_t i = 0; i < col.size(); ++i)
        m(static_cast<std::int32_t>(i + 1), static_cast<std::int32_t>(j + 1)) = col[i];
    }
    return m;
  }
};

inline DataSet LoadCsv(const std::string& file) {
  std::ifstream in(std::string(NML_TEST_DATA) + "/" + file);
  DataSet d;
  std::string line;
  auto split = [](const std::string& s) {
    std::vector<std::string> out;
    std::stringstream ss(s);
    std::string f;
    while (std::getline(ss, f, ',')) {
      if (!f.empty() && f.back() == '\r') f.pop_back();
      if (f.size() >= 2 && f.front() == '"') f = f.substr(1, f.size() - 2);
      out.push_back(f);
    }
    return out;
  };
  std::getline(in, line);
  d.names = split(line);
  d.columns.resize(d.names.size());
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    auto fields = split(line);
    for (std::size_t j = 0; j < fields.size(); ++j) {
      char* end = nullptr;
      const double v = std::strtod(fields[j].c_str(), &end);
      d.columns[j].push_back(end != fields[j].c_str() ? v : NAN);
    }
  }
  return d;
}

inline nlohmann::json LoadCase(const std::string& file, const std::string& method, std::size_t nth = 0) {
  std::ifstream in(std::string(NML_TEST_DATA) + "/" + file);
  const nlohmann::json doc = nlohmann::json::parse(in);
  for (const auto& c : doc["cases"])
    if (c["method"] == method && nth-- == 0) return c;
  ADD_FAILURE() << "no " << method << " case in " << file;
  return {};
}

/// A reference value, or the text it holds ("-").
inline Cell RefCell(const nlohmann::json& v) {
  if (v.is_string()) return Cell(v.get<std::string>());
  return Cell(v.get<double>());
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
    return app->Workbooks()->Item("nml2007.xlam")->Worksheets()->Item("Results");
  }
  /// A user sheet named Data, for the ranges a header names.
  host::WorksheetRef DataSheet() {
    if (!data_) {
      data_ = app->Workbooks()->Add("Book1")->Worksheets()->Item(1);
      data_->SetName("Data");
    }
    return data_;
  }
  host::RangeRef DataRange(const char* address) { return DataSheet()->GetRange(address); }

  host::ApplicationRef app;

 private:
  host::WorksheetRef data_;
};

}  // namespace nml::report::testing
