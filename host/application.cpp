#include "host/application.h"

#include <algorithm>

#include "host/addin_workbook.h"
#include "common/ascii_text.h"
#include "host/reference_parser.h"

namespace nml::host {

namespace {

[[noreturn]] void GlobalRangeFailed() { Raise(rt::kApplicationDefined, "Method 'Range' of object '_Global' failed"); }

bool IsOpen(const std::vector<WorkbookRef>& books, std::string_view name) {
  return std::any_of(books.begin(), books.end(), [&](const WorkbookRef& b) { return EqualsIgnoringCase(b->Name(), name); });
}

}  // namespace

std::int32_t Workbooks::Count() const {
  const auto& books = app_->BookList();
  return static_cast<std::int32_t>(std::count_if(books.begin(), books.end(), [](const WorkbookRef& b) { return !b->IsAddin(); }));
}

WorkbookRef Workbooks::Item(std::int32_t index) const {
  std::int32_t n = 0;
  if (index >= 1)
    for (const auto& b : app_->BookList())
      if (!b->IsAddin() && ++n == index) return b;
  Raise(rt::kSubscriptOutOfRange);
}

WorkbookRef Workbooks::Item(std::string_view name) const {
  for (const auto& b : app_->BookList())
    if (EqualsIgnoringCase(b->Name(), name)) return b;
  Raise(rt::kSubscriptOutOfRange);
}

WorkbookRef Workbooks::Add(std::string name) {
  auto& books = app_->BookList();
  if (name.empty()) {
    for (int n = 1;; ++n) {
      name = "Book" + std::to_string(n);
      if (!IsOpen(books, name)) break;
    }
  } else if (IsOpen(books, name)) {
    Raise(rt::kApplicationDefined, "Add method of Workbooks class failed");
  }
  auto book = std::make_shared<Workbook>(app_, std::move(name), false);
  books.push_back(book);
  book->AppendSheet("Sheet1");
  book->Activate();
  return book;
}

WorkbookRef Workbooks::AddAddin(std::string name) {
  auto& books = app_->BookList();
  if (name.empty() || IsOpen(books, name)) Raise(rt::kApplicationDefined, "Open method of Workbooks class failed");
  auto book = std::make_shared<Workbook>(app_, std::move(name), true);
  books.push_back(book);
  return book;
}

void Workbooks::Close(const WorkbookRef& book) {
  auto& books = app_->BookList();
  auto it = std::find(books.begin(), books.end(), book);
  if (it == books.end()) return;
  books.erase(it);
  bool wasActive = false;
  try {
    wasActive = app_->ActiveWorkbook() == book;
  } catch (const Error&) {
    wasActive = true;
  }
  if (!wasActive) return;
  app_->SetActiveWorkbook(nullptr);
  for (auto r = books.rbegin(); r != books.rend(); ++r)
    if (!(*r)->IsAddin()) {
      app_->SetActiveWorkbook(*r);
      break;
    }
}

std::shared_ptr<Application> Application::Create() {
  auto app = CreateBare();
  auto addin = app->Workbooks()->AddAddin(std::string(kAddinWorkbookName));
  addin->AppendSheet(std::string(kScratchSheetName));
  return app;
}

std::shared_ptr<Application> Application::CreateBare() { return std::shared_ptr<Application>(new Application()); }

Application::~Application() {
  for (const auto& book : books_)
    for (const auto& sheet : book->SheetList()) sheet->Charts().clear();
}

std::shared_ptr<nml::host::Workbooks> Application::Workbooks() {
  return std::make_shared<nml::host::Workbooks>(shared_from_this());
}

WorkbookRef Application::ActiveWorkbook() const {
  auto book = active_.lock();
  if (!book || std::find(books_.begin(), books_.end(), book) == books_.end()) Raise(rt::kObjectNotSet);
  return book;
}

WorksheetRef Application::ActiveSheet() const { return ActiveWorkbook()->ActiveSheet(); }

std::shared_ptr<nml::host::Worksheets> Application::Worksheets() { return ActiveWorkbook()->Worksheets(); }

RangeRef Application::GetRange(std::string_view reference) {
  auto parsed = ParseReference(reference);
  if (!parsed) GlobalRangeFailed();
  WorkbookRef book;
  try {
    book = ActiveWorkbook();
  } catch (const Error&) {
    GlobalRangeFailed();
  }
  WorksheetRef sheet;
  std::vector<CellRect> rects;
  rects.reserve(parsed->size());
  for (const auto& area : *parsed) {
    WorksheetRef on;
    if (area.sheet) {
      for (const auto& s : book->SheetList())
        if (EqualsIgnoringCase(s->Name(), *area.sheet)) on = s;
    } else if (!book->SheetList().empty()) {
      on = book->ActiveSheet();
    }
    if (!on || (sheet && on != sheet)) GlobalRangeFailed();
    sheet = on;
    rects.push_back(area.rect);
  }
  return std::make_shared<Range>(sheet, std::move(rects));
}

RangeRef Application::GetRange(const Range& cell1, const Range& cell2) {
  if (cell1.Worksheet() != cell2.Worksheet()) GlobalRangeFailed();
  CellRect box = cell1.Rects().front();
  for (const auto& a : cell1.Rects()) box = BoundingRect(box, a);
  for (const auto& a : cell2.Rects()) box = BoundingRect(box, a);
  return std::make_shared<Range>(cell1.Worksheet(), std::vector<CellRect>{box});
}

}  // namespace nml::host
