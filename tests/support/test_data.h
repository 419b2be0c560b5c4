// The example data sets of tests/data: their numeric columns read from the
// CSV files, and the reference values kept beside them as JSON.
#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "nmlcorrelation/array.h"

namespace nml::test {

using nlohmann::json;

inline std::string DataPath(const std::string& file) { return std::string(NML_TEST_DATA) + "/" + file; }

inline std::ifstream OpenData(const std::string& file) {
  std::ifstream in(DataPath(file));
  if (!in) throw std::runtime_error("cannot open " + file);
  return in;
}

/// The named columns of tests/data/<file> (a header row of names, then one
/// case a row; the files quote no commas) side by side, rows = cases.
inline Matrix CsvColumns(const std::string& file, const std::vector<std::string>& names) {
  std::ifstream in = OpenData(file);
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(in, line);) {
    std::erase(line, '"');
    std::erase(line, '\r');
    if (line.empty()) continue;
    std::istringstream fields(line);
    rows.emplace_back();
    for (std::string field; std::getline(fields, field, ',');) rows.back().push_back(field);
  }
  if (rows.size() < 2) throw std::runtime_error("no data in " + file);
  Matrix m = Array<double>::Matrix(static_cast<std::int32_t>(rows.size() - 1), static_cast<std::int32_t>(names.size()));
  for (std::int32_t j = 1; j <= m.Cols(); ++j) {
    const auto at = std::find(rows[0].begin(), rows[0].end(), names[j - 1]);
    if (at == rows[0].end()) throw std::runtime_error("no column " + names[j - 1] + " in " + file);
    for (std::int32_t i = 1; i <= m.Rows(); ++i) m(i, j) = std::stod(rows[i].at(at - rows[0].begin()));
  }
  return m;
}

/// tests/data/<name> parsed; ".json" is added when the name lacks it.
inline json LoadReference(std::string name) {
  if (!name.ends_with(".json")) name += ".json";
  return json::parse(OpenData(name));
}

/// The first reference case of a method ("simple", "multiple", ...) in a
/// reference file.
inline json FindCase(const std::string& file, const std::string& method) {
  const json ref = LoadReference(file);
  for (const auto& c : ref.at("cases"))
    if (c.at("method") == method) return c;
  throw std::runtime_error("no " + method + " case in " + file);
}

}  // namespace nml::test
