// nml::Host: the worksheet host as a program sees it, built on the host model,
// the file readers and writer and the HostLink the component reaches it by.
#include <dlfcn.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/ascii_text.h"
#include "host/application.h"
#include "host/cell_format.h"
#include "host/cell_rect.h"
#include "host/files/file_errors.h"
#include "host/files/open_workbook.h"
#include "host/files/xlsx_writer.h"
#include "host/reference_parser.h"
#include "host/workbook.h"
#include "host/worksheet.h"
#include "nmlcorrelation/workbook.h"
#include "support/host_link.h"

namespace nml {

namespace {

namespace fs = std::filesystem;

// The files the open workbooks came from, so that Save never writes a
// workbook over its own source.
struct OpenedFile {
  std::weak_ptr<host::Workbook> book;
  fs::path path;
};

std::vector<OpenedFile>& OpenedFiles() {
  static std::vector<OpenedFile> files;
  return files;
}

// Runs one facade call. Every error leaves with a source naming the call; an
// error raised without a description of its own gets one naming the call.
template <class Body>
decltype(auto) HostCall(std::string_view name, Body&& body) {
  const std::string source = "NMLCorrelation.Host." + std::string(name);
  try {
    return body();
  } catch (Error& e) {
    if (e.Source().empty()) e.SetSource(source);
    throw;
  } catch (const std::bad_alloc&) {
    throw Error(rt::kOutOfMemory, {}, source);
  } catch (const std::exception& ex) {
    throw Error(rt::kInternalError, std::string(StandardDescription(rt::kInternalError)) + ": " + ex.what(), source);
  }
}

host::ApplicationRef App() { return support::TheHostLink().Application(); }

host::WorkbookRef ActiveBook() {
  auto app = App();
  for (const auto& b : app->BookList())
    if (!b->IsAddin()) return app->ActiveWorkbook();
  Raise(rt::kObjectNotSet, "no workbook is open: call Host::Open or Host::Create first");
}

host::WorksheetRef SheetNamed(const std::string& name) {
  auto book = ActiveBook();
  for (const auto& s : book->SheetList())
    if (EqualsIgnoringCase(s->Name(), name)) return s;
  Raise(rt::kSubscriptOutOfRange, "the workbook " + book->Name() + " has no sheet named \"" + name + "\"");
}

CellBlock BlockOf(const host::Worksheet& sheet, const host::CellRect& rect) {
  if (host::CellCount(rect) > 64LL * 1024 * 1024) Raise(rt::kOutOfMemory, "the block is too large to read at once");
  CellBlock block;
  block.top = rect.top;
  block.left = rect.left;
  block.rows = rect.Rows();
  block.columns = rect.Columns();
  Array<Variant> values;
  sheet.Store().Read(rect, values);
  block.values.reserve(static_cast<std::size_t>(block.rows) * static_cast<std::size_t>(block.columns));
  for (std::int32_t r = 1; r <= block.rows; ++r)
    for (std::int32_t c = 1; c <= block.columns; ++c) block.values.push_back(values(r, c));
  return block;
}

CellAlign AlignOf(std::int32_t code) {
  switch (code) {
    case host::kAlignLeft: return CellAlign::kLeft;
    case host::kAlignCenter: return CellAlign::kCenter;
    case host::kAlignRight: return CellAlign::kRight;
    default: return CellAlign::kGeneral;
  }
}

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  if (fs::exists(a, ec) && fs::exists(b, ec)) return fs::equivalent(a, b, ec);
  return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}

}  // namespace

void Host::Reset() {
  HostCall("Reset", [] {
    support::TheHostLink().Detach();
    OpenedFiles().clear();
  });
}

std::string Host::Open(const std::string& path) {
  return HostCall("Open", [&] {
    auto book = host::files::OpenWorkbook(*App(), path);
    auto& opened = OpenedFiles();
    std::erase_if(opened, [](const OpenedFile& f) { return f.book.expired(); });
    opened.push_back({book, fs::path(path)});
    return book->Name();
  });
}

std::string Host::Create(const std::string& sheetName) {
  return HostCall("Create", [&] {
    auto app = App();
    auto book = app->Workbooks()->Add();
    try {
      book->SheetList().front()->SetName(sheetName);
    } catch (...) {
      app->Workbooks()->Close(book);
      Raise(rt::kApplicationDefined, "\"" + sheetName + "\" is not a valid sheet name");
    }
    return book->Name();
  });
}

std::vector<std::string> Host::Sheets() {
  return HostCall("Sheets", [] {
    std::vector<std::string> names;
    for (const auto& s : ActiveBook()->SheetList()) names.push_back(s->Name());
    return names;
  });
}

std::string Host::ActiveSheet() {
  return HostCall("ActiveSheet", [] { return ActiveBook()->ActiveSheet()->Name(); });
}

std::string Host::AddSheet(const std::string& name) {
  return HostCall("AddSheet", [&] {
    auto book = ActiveBook();
    const auto& list = book->SheetList();
    auto taken = [&](const std::string& n) {
      for (const auto& s : list)
        if (EqualsIgnoringCase(s->Name(), n)) return true;
      return false;
    };
    std::string given = name;
    if (given.empty() || taken(given)) {
      for (std::size_t n = list.size() + 1;; ++n) {
        given = "Sheet" + std::to_string(n);
        if (!taken(given)) break;
      }
    }
    return book->AppendSheet(given)->Name();
  });
}

void Host::PutValues(const std::string& sheet, const CellBlock& block) {
  HostCall("PutValues", [&] {
    if (block.rows <= 0 || block.columns <= 0) Raise(rt::kInvalidCall, "the block has no rows or no columns");
    if (block.values.size() != static_cast<std::size_t>(block.rows) * static_cast<std::size_t>(block.columns))
      Raise(rt::kInvalidCall, "the block holds " + std::to_string(block.values.size()) + " values for " +
                                  std::to_string(block.rows) + " rows of " + std::to_string(block.columns) +
                                  " columns");
    const std::int64_t bottom = static_cast<std::int64_t>(block.top) + block.rows - 1;
    const std::int64_t right = static_cast<std::int64_t>(block.left) + block.columns - 1;
    if (block.top < 1 || block.left < 1 || bottom > host::kMaxRows || right > host::kMaxColumns)
      Raise(rt::kInvalidCall, "the block does not fit the sheet's 1,048,576 rows and 16,384 columns");
    const host::CellRect rect{block.top, block.left, static_cast<std::int32_t>(bottom), static_cast<std::int32_t>(right)};
    auto target = SheetNamed(sheet);
    Array<Variant> values = Array<Variant>::Matrix(block.rows, block.columns);
    for (std::int32_t r = 0; r < block.rows; ++r)
      for (std::int32_t c = 0; c < block.columns; ++c) {
        const Variant& v = block.At(r, c);
        if (!(v.IsEmpty() || v.IsNumber() || v.IsText() || v.Kind() == VarKind::kBoolean ||
              v.Kind() == VarKind::kErrorValue))
          Raise(rt::kTypeMismatch, "the value at row " + std::to_string(r + 1) + ", column " + std::to_string(c + 1) +
                                       " of the block is not Empty, a number, text, a Boolean or an error value");
        values(r + 1, c + 1) = v;
      }
    target->Store().Write(rect, values);
    target->Store().ClearFormulas(rect);
  });
}

CellBlock Host::UsedValues(const std::string& sheet) {
  return HostCall("UsedValues", [&] {
    auto s = SheetNamed(sheet);
    const auto used = s->Store().UsedRect();
    if (!used) return CellBlock{};
    // From A1, so that positions in the block are the sheet's own.
    return BlockOf(*s, host::CellRect{1, 1, used->bottom, used->right});
  });
}

CellBlock Host::Values(const std::string& reference) {
  return HostCall("Values", [&] {
    ActiveBook();
    auto range = App()->GetRange(reference);
    if (range->AreaCount() != 1) Raise(rt::kInvalidCall, "\"" + reference + "\" is not one rectangle of cells");
    return BlockOf(*range->Worksheet(), range->Rects().front());
  });
}

std::vector<CellStyle> Host::Styles(const std::string& sheet, std::int32_t top, std::int32_t left, std::int32_t rows,
                                    std::int32_t columns) {
  return HostCall("Styles", [&] {
    if (rows <= 0 || columns <= 0) Raise(rt::kInvalidCall, "the rectangle has no rows or no columns");
    const std::int64_t bottom = static_cast<std::int64_t>(top) + rows - 1;
    const std::int64_t right = static_cast<std::int64_t>(left) + columns - 1;
    if (top < 1 || left < 1 || bottom > host::kMaxRows || right > host::kMaxColumns)
      Raise(rt::kInvalidCall, "the rectangle does not fit the sheet's 1,048,576 rows and 16,384 columns");
    if (static_cast<std::int64_t>(rows) * columns > 64LL * 1024 * 1024)
      Raise(rt::kOutOfMemory, "the rectangle is too large to read at once");
    auto s = SheetNamed(sheet);
    std::vector<CellStyle> styles;
    styles.reserve(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns));
    for (std::int32_t r = top; r <= bottom; ++r)
      for (std::int32_t c = left; c <= right; ++c) {
        const host::CellFormat f = s->FormatAt(r, c);
        CellStyle style;
        style.numberFormat = f.numberFormat;
        style.bold = f.bold;
        style.border = f.border;
        if (f.fillColorIndex != host::kColorIndexNone)
          style.fillColor = static_cast<std::int32_t>(host::PaletteColor(f.fillColorIndex));
        style.align = AlignOf(f.horizontalAlignment);
        styles.push_back(std::move(style));
      }
    return styles;
  });
}

double Host::ColumnWidth(const std::string& sheet, std::int32_t column) {
  return HostCall("ColumnWidth", [&] {
    if (column < 1 || column > host::kMaxColumns)
      Raise(rt::kInvalidCall, "column " + std::to_string(column) + " lies outside the sheet's 16,384 columns");
    return SheetNamed(sheet)->ColumnWidth(column);
  });
}

std::vector<ChartInfo> Host::Charts(const std::string& sheet) {
  return HostCall("Charts", [&] {
    auto s = SheetNamed(sheet);
    std::vector<ChartInfo> charts;
    for (const auto& c : s->Charts()) {
      ChartInfo info;
      info.sheet = s->Name();
      if (c.anchor) {
        info.anchorRow = c.anchor->Rects().front().top;
        info.anchorColumn = c.anchor->Rects().front().left;
      }
      info.left = c.left;
      info.top = c.top;
      info.width = c.width;
      info.height = c.height;
      info.title = c.title;
      info.xAxisTitle = c.firstAxisTitle;
      info.yAxisTitle = c.secondAxisTitle;
      auto qualified = [](const std::shared_ptr<host::Range>& r) {
        return r ? host::SheetPrefix(r->Worksheet()->Name()) + r->Address() : std::string();
      };
      info.xValues = qualified(c.firstSeries);
      info.yValues = qualified(c.secondSeries);
      charts.push_back(std::move(info));
    }
    return charts;
  });
}

std::string Host::ReportRange() {
  return HostCall("ReportRange", [] {
    const auto report = support::TheHostLink().LastReport();
    if (!report) return std::string();
    return host::SheetPrefix(report->Worksheet()->Name()) + report->Address();
  });
}

std::string Host::ExampleFile() {
  return HostCall("ExampleFile", [] {
    // The file that holds this code: the shared library, or a program the
    // component is linked into. The example lies at the installed data folder
    // relative to the library folder or the program folder.
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&Host::ExampleFile), &info) || !info.dli_fname) return std::string();
    std::error_code ec;
    const fs::path self = fs::weakly_canonical(fs::path(info.dli_fname), ec);
    if (ec) return std::string();
    for (const char* relative : {NML_EXAMPLE_FROM_LIBDIR, NML_EXAMPLE_FROM_BINDIR}) {
      const fs::path candidate = (self.parent_path() / relative / "savings.csv").lexically_normal();
      if (fs::is_regular_file(candidate, ec)) return candidate.string();
    }
    return std::string();
  });
}

void Host::Save(const std::string& path) {
  HostCall("Save", [&] {
    auto book = ActiveBook();
    for (const auto& f : OpenedFiles())
      if (f.book.lock() == book && SameFile(f.path, path))
        host::files::RaiseFileError(host::files::kWriteFailed, host::files::FileNameOf(path) +
                                                       ": the workbook was opened from this file; save it under "
                                                       "another name");
    host::files::SaveWorkbook(*book, path);
  });
}

}  // namespace nml
