#include "cli/hints.h"

#include <cctype>
#include <filesystem>
#include <fstream>

#include "cli/data_preparation.h"
#include "nmlcorrelation/workbook.h"

namespace nml::cli {

namespace {

namespace fs = std::filesystem;

std::string Code(const Error& e) {
  const std::int32_t code = e.Number() - kObjectErrorBase;
  return e.Number() < 0 && code >= 0 && code <= 0xFFFF ? std::to_string(code) : std::string();
}

std::string Joined(const std::vector<std::string>& names) {
  std::string s;
  for (const std::string& n : names) {
    if (!s.empty()) s += ", ";
    s += n;
  }
  return s;
}

// The sheet part of each area of a reference as typed ("My data" for
// "My data!A1:B3"), with whether it was quoted.
std::vector<std::pair<std::string, bool>> TypedSheets(const std::string& reference) {
  std::vector<std::pair<std::string, bool>> out;
  bool quoted = false;
  std::size_t start = 0;
  for (std::size_t i = 0; i < reference.size(); ++i) {
    if (reference[i] == '\'') quoted = !quoted;
    if (quoted) continue;
    if (reference[i] == ',') start = i + 1;
    if (reference[i] == '!') {
      std::string name = reference.substr(start, i - start);
      while (!name.empty() && name.front() == ' ') name.erase(0, 1);
      const bool q = name.size() >= 2 && name.front() == '\'' && name.back() == '\'';
      out.emplace_back(q ? name.substr(1, name.size() - 2) : name, q);
    }
  }
  return out;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool FirstLineHasSemicolons(const std::string& path) {
  const std::string ext = fs::path(path).extension().string();
  if (ext != ".csv" && ext != ".CSV") return false;
  std::ifstream f(path, std::ios::binary);
  std::string line;
  if (!f || !std::getline(f, line)) return false;
  return line.find(';') != std::string::npos && line.find(',') == std::string::npos;
}

}  // namespace

std::string Hint(const Error& e, const Options& o, const HintFacts& f) {
  const std::string code = Code(e);
  if (f.semicolons && !code.empty() && code != "6140")
    return "the file separates its fields with ';'; nmlcorr reads comma-separated files: save it with ',' as the "
           "delimiter";
  if (code == "5028")
    return "the X range has " + WithThousands(f.xRows) + " rows and the Y range " + WithThousands(f.yRows) +
           "; give both the same rows";
  if (code == "6004")
    return "add --overwrite to replace what is there, or choose another place with --output-range";
  if (code == "5001" || code == "5009" || code == "5010") {
    if (!f.unquotedSheet.empty())
      return "quote a sheet name that holds spaces: \"'" + f.unquotedSheet + "'!A1:B9\"";
    if (!f.unknownSheet.empty()) return "there is no sheet '" + f.unknownSheet + "'; the sheets are: " + Joined(f.sheets);
    if (f.rangeOnTwoSheets)
      return "the areas of one range must lie on one sheet";
  }
  if (code == "6001" || code == "6002") {
    if (f.onNameRow && !o.headers) return "the first row holds names: add --headers";
    if (f.missing && (f.missing->missingCells > 0 || f.missing->nonNumericCells > 0)) {
      const prep::MissingSummary& m = *f.missing;
      std::string s = "the ranges hold ";
      if (m.missingCells > 0) s += WithThousands(m.missingCells) + " missing";
      if (m.missingCells > 0 && m.nonNumericCells > 0) s += " and ";
      if (m.nonNumericCells > 0) s += WithThousands(m.nonNumericCells) + " other non-numeric";
      s += m.missingCells + m.nonNumericCells == 1 ? " cell" : " cells";
      if (m.missingCells > 0 && o.missing != MissingValues::kListwise) {
        s += "; --missing listwise leaves out the cases with missing values";
        if (m.incompleteCases > 0) s += " (" + WithThousands(m.incompleteCases) + ")";
      }
      return s;
    }
  }
  if (code == "6003" || (e.Number() == 1004 && e.Source().find("OutputMatrix") != std::string::npos))
    return "the report would run past the last row of the sheet (1,048,576): ask for one section only (--raw or "
           "--standardised), or analyse fewer cases";
  if (!f.missingFolder.empty()) return "the folder " + f.missingFolder + " does not exist";
  return {};
}

HintFacts GatherHintFacts(const Error& e, const Options& o, bool workbookOpen) {
  HintFacts f;
  const std::string code = Code(e);
  std::error_code ec;
  const fs::path folder = fs::absolute(fs::path(o.output), ec).parent_path();
  if (!o.output.empty() && !ec && !fs::is_directory(folder, ec)) f.missingFolder = folder.string();
  f.semicolons = FirstLineHasSemicolons(o.data);
  if (!workbookOpen) return f;
  f.sheets = Host::Sheets();
  for (const std::string* ref : {&o.xRange, &o.yRange, &o.outputRange})
    for (const auto& [name, quoted] : TypedSheets(*ref)) {
      bool known = false;
      for (const std::string& s : f.sheets) known = known || Lower(s) == Lower(name);
      if (!quoted && name.find(' ') != std::string::npos && f.unquotedSheet.empty()) f.unquotedSheet = name;
      if (!known && f.unknownSheet.empty()) f.unknownSheet = name;
    }
  auto x = ResolvedAreas(o.xRange);
  auto y = o.yRange.empty() ? std::optional<std::vector<prep::Area>>() : ResolvedAreas(o.yRange);
  for (const auto* areas : {&x, &y})
    if (*areas)
      for (const prep::Area& a : **areas) f.rangeOnTwoSheets = f.rangeOnTwoSheets || a.sheet != (*areas)->front().sheet;
  if (x && !x->empty()) f.xRows = x->front().Rows();
  if (y && !y->empty()) f.yRows = y->front().Rows();
  if ((code == "6001" || code == "6002") && x) {
    std::vector<prep::Area> all = *x;
    if (y) all.insert(all.end(), y->begin(), y->end());
    std::vector<CellBlock> blocks;
    prep::MissingSummary sum;
    bool sameRows = true;
    for (const prep::Area& a : all) {
      if (a.wholeColumns) return f;
      sameRows = sameRows && a.Rows() == all.front().Rows();
      // The cell the error names, as "!$C$1 " in its description.
      for (std::int32_t c = a.left; c <= a.right; ++c) {
        const std::string cell = "!$" + prep::ColumnName(c) + "$" + std::to_string(a.top) + " ";
        if (e.Description().find(cell) != std::string::npos) f.onNameRow = true;
      }
      blocks.push_back(Host::Values(prep::FormatArea(a, true)));
      const prep::MissingSummary one = prep::SummariseMissing({blocks.back()}, o.headers);
      sum.missingCells += one.missingCells;
      sum.nonNumericCells += one.nonNumericCells;
    }
    // Cases are counted only when the areas line up row by row.
    if (sameRows) sum.incompleteCases = prep::SummariseMissing(blocks, o.headers).incompleteCases;
    f.missing = sum;
  }
  return f;
}

}  // namespace nml::cli
