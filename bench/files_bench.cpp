// Benchmarks of the file layer on a sheet of 100,000 rows by 20 columns of
// numbers with a header row: reading it as CSV and as xlsx, and saving a
// workbook that holds it plus a report sheet with the 190 scatter charts of
// every pair of its columns (series over the 100,000 rows), in both writing
// modes. Files go to the system's temporary folder.
//
//   build-bench/bench/files_bench
//   build-bench/bench/files_bench --benchmark_filter=Save
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "host/application.h"
#include "support/chart_maker.h"
#include "host/files/csv_reader.h"
#include "host/files/xlsx_reader.h"
#include "host/files/xlsx_writer.h"

namespace {

namespace files = nml::host::files;
namespace host = nml::host;

constexpr std::int32_t kRows = 100000;
constexpr std::int32_t kColumns = 20;

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("nml-files-bench-" + name)).string();
}

/// The data: a header row and kRows rows of numbers, either measured values
/// with two decimals (as data files mostly hold) or full-precision doubles,
/// whose 17 significant digits barely compress (the worst case).
void FillData(host::Worksheet& sheet, bool fullPrecision = false) {
  std::mt19937_64 rng(2024);
  std::normal_distribution<double> normal(50.0, 15.0);
  host::CellStore& store = sheet.Store();
  for (std::int32_t c = 1; c <= kColumns; ++c) store.Set(1, c, nml::Variant("Var" + std::to_string(c)));
  for (std::int32_t r = 2; r <= kRows + 1; ++r)
    for (std::int32_t c = 1; c <= kColumns; ++c) {
      const double x = normal(rng);
      store.SetDouble(r, c, fullPrecision ? x : std::round(x * 100.0) / 100.0);
    }
}

/// A workbook of the data sheet and a report sheet with 190 charts laid out
/// as the scatter-plot matrix lays them out.
host::WorkbookRef MakeBook(host::Application& app, bool fullPrecision) {
  host::WorkbookRef book = app.Workbooks()->Add("bench.xlsx");
  host::WorksheetRef data = book->SheetList().front();
  data->SetName("Data");
  FillData(*data, fullPrecision);
  host::WorksheetRef report = book->AppendSheet("Report");
  report->Store().Set(1, 1, nml::Variant("Pearson Correlation Coefficients"));
  report->GetRange("A1")->SetBold(true);
  auto body = report->GetRange("B3:U22");
  body->SetValue(nml::Variant(0.5));
  body->SetNumberFormat("0.0000");
  report->GetRange("A2:U2")->SetBold(true);
  for (std::int32_t i = 1; i < kColumns; ++i) {
    for (std::int32_t j = i + 1; j <= kColumns; ++j) {
      nml::support::ChartMaker maker;
      maker.Anchor = report->Cells(1, 23);
      maker.Left = 130 * (j - 2);
      maker.Top = 130 * (i - 1);
      maker.Width = 130;
      maker.Height = 130;
      maker.FirstSeries = data->GetRange(host::Range(data, {{2, i, kRows + 1, i}}).Address());
      maker.SecondSeries = data->GetRange(host::Range(data, {{2, j, kRows + 1, j}}).Address());
      maker.Build();
    }
  }
  return book;
}

void WriteCsv(const std::string& path) {
  auto app = host::Application::Create();
  auto book = app->Workbooks()->Add("csv");
  FillData(*book->SheetList().front());
  std::ofstream out(path);
  char buffer[32];
  const host::CellStore& store = book->SheetList().front()->Store();
  for (std::int32_t r = 1; r <= kRows + 1; ++r) {
    for (std::int32_t c = 1; c <= kColumns; ++c) {
      const nml::Variant v = store.Get(r, c);
      if (c > 1) out << ',';
      if (v.IsText()) {
        out << v.Text();
      } else {
        std::snprintf(buffer, sizeof buffer, "%.17g", v.AsDouble());
        out << buffer;
      }
    }
    out << '\n';
  }
}

void BM_ReadCsv(benchmark::State& state) {
  const std::string path = TempPath("data.csv");
  WriteCsv(path);
  for (auto _ : state) {
    auto app = host::Application::Create();
    auto book = files::ReadCsv(*app, path);
    benchmark::DoNotOptimize(book);
  }
  state.counters["MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
  std::filesystem::remove(path);
}
BENCHMARK(BM_ReadCsv)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ReadXlsx(benchmark::State& state) {
  const std::string path = TempPath("data.xlsx");
  {
    auto app = host::Application::Create();
    auto book = app->Workbooks()->Add("data.xlsx");
    FillData(*book->SheetList().front());
    files::SaveWorkbook(*book, path);
  }
  for (auto _ : state) {
    auto app = host::Application::Create();
    auto book = files::ReadXlsx(*app, path);
    benchmark::DoNotOptimize(book);
  }
  state.counters["MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
  std::filesystem::remove(path);
}
BENCHMARK(BM_ReadXlsx)->Unit(benchmark::kMillisecond)->Iterations(3);

/// Arguments: streaming rows (1) or rows in memory (0); two-decimal data (0)
/// or full-precision data (1).
void BM_SaveWorkbookWith190Charts(benchmark::State& state) {
  auto app = host::Application::Create();
  const bool fullPrecision = state.range(1) != 0;
  host::WorkbookRef book = MakeBook(*app, fullPrecision);
  const std::string path = TempPath("report.xlsx");
  files::SaveOptions options;
  options.constantMemory = state.range(0) != 0;
  for (auto _ : state) files::SaveWorkbook(*book, path, options);
  state.counters["MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
  state.SetLabel(std::string(options.constantMemory ? "streaming rows" : "rows in memory") +
                 (fullPrecision ? ", 17-digit data" : ", 2-decimal data"));
  std::filesystem::remove(path);
}
BENCHMARK(BM_SaveWorkbookWith190Charts)
    ->Args({1, 0})
    ->Args({0, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
