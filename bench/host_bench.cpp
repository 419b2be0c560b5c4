// Block transfers through the worksheet host: a 1,000,000 x 10 block written
// and read through Range.SetValue / Range.Value, and a 100,000 x 20 block
// copied and pasted to another workbook.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include "host/addin_workbook.h"
#include "host/application.h"
#include "host/cell_format.h"
#include "support/range_checker.h"
#include "host/workbook.h"
#include "host/worksheet.h"

namespace {

using namespace nml;
using namespace nml::host;

Array<Variant> NumberBlock(std::int32_t rows, std::int32_t cols) {
  auto a = Array<Variant>::Matrix(rows, cols);
  Variant* d = a.Data();
  for (std::size_t i = 0; i < a.Size(); ++i) d[i] = Variant(static_cast<double>(i % 9973) * 0.5);
  return a;
}

// Heap bytes in use (glibc).
double HeapBytes() { return static_cast<double>(mallinfo2().uordblks); }

void BM_SetValue_1Mx10(benchmark::State& state) {
  auto app = Application::Create();
  auto sheet = app->Workbooks()->Add()->SheetList().front();
  const Variant block(NumberBlock(1'000'000, 10));
  auto range = sheet->GetRange("A1:J1000000");
  const double before = HeapBytes();
  range->SetValue(block);
  // What the sheet holds per number stored (a Double alone is 8 bytes).
  state.counters["store_bytes_per_cell"] = (HeapBytes() - before) / 10'000'000.0;
  for (auto _ : state) range->SetValue(block);
  state.SetItemsProcessed(state.iterations() * 10'000'000);
}
BENCHMARK(BM_SetValue_1Mx10)->Unit(benchmark::kMillisecond);

void BM_Value_1Mx10(benchmark::State& state) {
  auto app = Application::Create();
  auto sheet = app->Workbooks()->Add()->SheetList().front();
  auto range = sheet->GetRange("A1:J1000000");
  range->SetValue(Variant(NumberBlock(1'000'000, 10)));
  for (auto _ : state) {
    Variant v = range->Value();
    benchmark::DoNotOptimize(v);
  }
  state.SetItemsProcessed(state.iterations() * 10'000'000);
}
BENCHMARK(BM_Value_1Mx10)->Unit(benchmark::kMillisecond);

void BM_CheckXArea_100000x50(benchmark::State& state) {
  auto app = Application::Create();
  auto sheet = app->Workbooks()->Add()->SheetList().front();
  auto range = sheet->GetRange("A1:AX100000");
  range->SetValue(Variant(NumberBlock(100'000, 50)));
  for (auto _ : state) {
    std::int32_t a = 0, b = 0, c = 0;
    support::TheRangeChecker().CheckXArea(*range, kVFalse, a, b, c);
  }
  state.SetItemsProcessed(state.iterations() * 5'000'000);
}
BENCHMARK(BM_CheckXArea_100000x50)->Unit(benchmark::kMillisecond);

void BM_CopyPaste_100000x20(benchmark::State& state) {
  auto app = Application::Create();
  auto source = app->Workbooks()->Add("Source")->SheetList().front();
  auto target = app->Workbooks()->Add("Target")->SheetList().front();
  auto range = source->GetRange("A1:T100000");
  range->SetValue(Variant(NumberBlock(100'000, 20)));
  range->SetNumberFormat("0.0000");
  source->GetRange("A1:T1")->SetBold(true);
  for (auto _ : state) {
    range->Copy();
    target->Cells(3, 2)->PasteSpecial(kPasteAll);
  }
  state.SetItemsProcessed(state.iterations() * 2'000'000);
}
BENCHMARK(BM_CopyPaste_100000x20)->Unit(benchmark::kMillisecond);

void BM_WholeSheetClearAndFill(benchmark::State& state) {
  auto app = Application::Create();
  auto sheet = app->Workbooks()->Item(host::kAddinWorkbookName)->Worksheets()->Item(host::kScratchSheetName);
  for (auto _ : state) {
    sheet->GetRange("A1:F60")->SetValue(Variant(1.0));
    sheet->Cells()->Clear();
    sheet->Cells()->SetInteriorColorIndex(2);
  }
}
BENCHMARK(BM_WholeSheetClearAndFill)->Unit(benchmark::kMicrosecond);

}  // namespace
