// Application: the spreadsheet program as the component sees it. It holds the
// open workbooks (the add-in workbook "nml2007.xlam" with its "Results" sheet
// is opened at start-up and kept out of the user's workbooks), the active
// workbook and sheet, the clipboard, the selection, the screen-updating flag,
// the worksheet functions and the format table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/format_table.h"
#include "host/range.h"
#include "host/workbook.h"
#include "host/worksheet_function.h"
#include "nmlcorrelation/variant.h"

namespace nml::host {

class Application;

/// The open workbooks. Add-in workbooks can be reached by name but are not
/// counted or enumerated.
class Workbooks final : public Object {
 public:
  explicit Workbooks(std::shared_ptr<Application> app) : app_(std::move(app)) {}
  std::int32_t Count() const;
  WorkbookRef Item(std::int32_t index) const;     // 1-based over user workbooks; else 9
  WorkbookRef Item(std::string_view name) const;  // any open workbook, ignoring case; else 9
  /// A new workbook with one empty sheet "Sheet1", made active. An empty name
  /// gives "Book1", "Book2", ...
  WorkbookRef Add(std::string name = {});
  /// Opens an add-in workbook (not activated, not counted).
  WorkbookRef AddAddin(std::string name);
  /// Closes a workbook (no-op when it is not open).
  void Close(const WorkbookRef& book);

 private:
  std::shared_ptr<Application> app_;
};

class Application final : public Object, public std::enable_shared_from_this<Application> {
 public:
  /// A running application with the add-in workbook "nml2007.xlam" (holding
  /// an empty sheet "Results") open and no user workbook.
  static std::shared_ptr<Application> Create();
  /// The same without any add-in workbook.
  static std::shared_ptr<Application> CreateBare();
  /// Drops the charts of every open sheet: a chart refers to ranges of its
  /// own sheet, a cycle that would otherwise outlive the application.
  ~Application() override;

  std::shared_ptr<nml::host::Workbooks> Workbooks();
  /// The active user workbook; none raises 91.
  WorkbookRef ActiveWorkbook() const;
  WorksheetRef ActiveSheet() const;
  /// The active workbook's sheets.
  std::shared_ptr<nml::host::Worksheets> Worksheets();

  /// A reference as a user types it: "A1", "B2:C9", "$A$1:$C$21", "C:C",
  /// "3:5", "'My data'!A1:B9", "Data!A1:B20,Data!D1:D20", any case. Unqualified
  /// references are on the active sheet, qualified ones on the named sheet of
  /// the active workbook; all areas must be on one sheet. Anything else (bad
  /// text, an unknown sheet, no active workbook) raises 1004 "Method 'Range'
  /// of object '_Global' failed".
  RangeRef GetRange(std::string_view reference);
  /// The rectangle between two cells of one sheet (cells of two sheets raise 1004).
  RangeRef GetRange(const Range& cell1, const Range& cell2);

  bool ScreenUpdating() const { return screenUpdating_; }
  void SetScreenUpdating(bool on) { screenUpdating_ = on; }

  const nml::host::WorksheetFunction& WorksheetFunction() const { return worksheetFunction_; }

  FormatTable& Formats() { return formats_; }
  const FormatTable& Formats() const { return formats_; }

  // State behind Copy / PasteSpecial / Select / Activate.
  RangeRef Clipboard() const { return clipboard_; }
  void SetClipboard(RangeRef r) { clipboard_ = std::move(r); }
  RangeRef Selection() const { return selection_; }
  void SetSelection(RangeRef r) { selection_ = std::move(r); }
  void SetActiveWorkbook(const WorkbookRef& book) { active_ = book; }

  std::vector<WorkbookRef>& BookList() { return books_; }
  const std::vector<WorkbookRef>& BookList() const { return books_; }

 private:
  Application() = default;
  std::vector<WorkbookRef> books_;  // user workbooks and add-ins, in opening order
  std::weak_ptr<Workbook> active_;
  RangeRef clipboard_;
  RangeRef selection_;
  bool screenUpdating_ = true;
  nml::host::WorksheetFunction worksheetFunction_;
  FormatTable formats_;
};

using ApplicationRef = std::shared_ptr<Application>;

}  // namespace nml::host
