// Workbook and its Worksheets collection.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/worksheet.h"
#include "nmlcorrelation/variant.h"

namespace nml::host {

class Application;
class Workbook;

/// The sheets of one workbook, in tab order.
class Worksheets final : public Object {
 public:
  explicit Worksheets(std::shared_ptr<Workbook> book) : book_(std::move(book)) {}
  std::int32_t Count() const;
  /// 1-based; out of range raises 9.
  WorksheetRef Item(std::int32_t index) const;
  /// By name, ignoring case; unknown raises 9.
  WorksheetRef Item(std::string_view name) const;
  /// A new empty sheet with a unique name ("Sheet4"), inserted before the
  /// active sheet as the spreadsheet does, and made active.
  WorksheetRef Add();

 private:
  std::shared_ptr<Workbook> book_;
};

class Workbook final : public Object, public std::enable_shared_from_this<Workbook> {
 public:
  Workbook(std::shared_ptr<Application> parent, std::string name, bool isAddin);

  const std::string& Name() const { return name_; }
  bool IsAddin() const { return isAddin_; }
  std::shared_ptr<Application> Parent() const;
  std::shared_ptr<nml::host::Worksheets> Worksheets();
  /// Makes this the active workbook (an add-in cannot be activated: 1004).
  void Activate();
  WorksheetRef ActiveSheet() const;

  // Sheet list management, used by Worksheets, Worksheet::Move and the file readers.
  std::vector<WorksheetRef>& SheetList() { return sheets_; }
  const std::vector<WorksheetRef>& SheetList() const { return sheets_; }
  /// Appends a sheet with the given name (unique, valid) and returns it.
  WorksheetRef AppendSheet(std::string name);
  void SetActiveSheet(const WorksheetRef& sheet);

 private:
  std::weak_ptr<Application> parent_;
  std::string name_;
  bool isAddin_;
  std::vector<WorksheetRef> sheets_;
  std::weak_ptr<Worksheet> active_;
};

using WorkbookRef = std::shared_ptr<Workbook>;

}  // namespace nml::host
