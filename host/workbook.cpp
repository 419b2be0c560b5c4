#include "host/workbook.h"

#include <algorithm>

#include "common/ascii_text.h"
#include "host/application.h"
#include "host/reference_parser.h"

namespace nml::host {

std::int32_t Worksheets::Count() const { return static_cast<std::int32_t>(book_->SheetList().size()); }

WorksheetRef Worksheets::Item(std::int32_t index) const {
  const auto& list = book_->SheetList();
  if (index < 1 || index > static_cast<std::int32_t>(list.size())) Raise(rt::kSubscriptOutOfRange);
  return list[static_cast<std::size_t>(index - 1)];
}

WorksheetRef Worksheets::Item(std::string_view name) const {
  for (const auto& s : book_->SheetList())
    if (EqualsIgnoringCase(s->Name(), name)) return s;
  Raise(rt::kSubscriptOutOfRange);
}

WorksheetRef Worksheets::Add() {
  auto& list = book_->SheetList();
  std::string name;
  for (std::size_t n = list.size() + 1;; ++n) {
    name = "Sheet" + std::to_string(n);
    if (std::none_of(list.begin(), list.end(), [&](const WorksheetRef& s) { return EqualsIgnoringCase(s->Name(), name); }))
      break;
  }
  auto sheet = std::make_shared<Worksheet>(book_, name);
  auto active = list.empty() ? list.end() : std::find(list.begin(), list.end(), book_->ActiveSheet());
  list.insert(active, sheet);
  if (!book_->IsAddin()) {
    sheet->Activate();
  } else {
    book_->SetActiveSheet(sheet);
  }
  return sheet;
}

Workbook::Workbook(std::shared_ptr<Application> parent, std::string name, bool isAddin)
    : parent_(std::move(parent)), name_(std::move(name)), isAddin_(isAddin) {}

std::shared_ptr<Application> Workbook::Parent() const {
  auto app = parent_.lock();
  if (!app) Raise(rt::kObjectNotSet);
  return app;
}

std::shared_ptr<Worksheets> Workbook::Worksheets() {
  return std::make_shared<nml::host::Worksheets>(shared_from_this());
}

void Workbook::Activate() {
  if (isAddin_) Raise(rt::kApplicationDefined, "Activate method of Workbook class failed");
  Parent()->SetActiveWorkbook(shared_from_this());
}

WorksheetRef Workbook::ActiveSheet() const {
  if (auto sheet = active_.lock())
    if (std::find(sheets_.begin(), sheets_.end(), sheet) != sheets_.end()) return sheet;
  if (sheets_.empty()) Raise(rt::kObjectNotSet);
  return sheets_.front();
}

WorksheetRef Workbook::AppendSheet(std::string name) {
  auto sheet = std::make_shared<Worksheet>(shared_from_this(), std::string("~"));
  sheets_.push_back(sheet);
  try {
    sheet->SetName(std::move(name));
  } catch (...) {
    sheets_.pop_back();
    throw;
  }
  if (!active_.lock()) active_ = sheet;
  return sheet;
}

void Workbook::SetActiveSheet(const WorksheetRef& sheet) {
  if (!sheet || std::find(sheets_.begin(), sheets_.end(), sheet) == sheets_.end())
    Raise(rt::kApplicationDefined, "Activate method of Worksheet class failed");
  active_ = sheet;
}

}  // namespace nml::host
