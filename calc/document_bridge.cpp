#include "calc/document_bridge.h"

#include <chrono>
#include <cmath>
#include <map>
#include <mutex>
#include <set>
#include <tuple>
#include <vector>

#include <com/sun/star/awt/FontWeight.hpp>
#include <com/sun/star/awt/Point.hpp>
#include <com/sun/star/awt/Rectangle.hpp>
#include <com/sun/star/awt/Size.hpp>
#include <com/sun/star/awt/XWindow2.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/chart/XAxisXSupplier.hpp>
#include <com/sun/star/chart/XAxisYSupplier.hpp>
#include <com/sun/star/chart/XChartDocument.hpp>
#include <com/sun/star/chart/XDiagram.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/document/XEmbeddedObjectSupplier.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/lang/Locale.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/sheet/CellFlags.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XCellRangeFormula.hpp>
#include <com/sun/star/sheet/XSheetCellRangeContainer.hpp>
#include <com/sun/star/sheet/XSheetOperation.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <com/sun/star/table/BorderLine2.hpp>
#include <com/sun/star/table/BorderLineStyle.hpp>
#include <com/sun/star/table/CellHoriJustify.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/table/XTableChartsSupplier.hpp>
#include <com/sun/star/util/XNumberFormatsSupplier.hpp>
#include <com/sun/star/view/XSelectionSupplier.hpp>

#include "calc/reference_text.h"
#include "nmlcorrelation/correlation.h"
#include "nmlcorrelation/workbook.h"

namespace nml::calc {

namespace uno = css::uno;
using uno::Reference;
using uno::UNO_QUERY_THROW;

namespace {

// The component's host is one per process and the office may call from
// several threads (a macro and a remote client): one run at a time.
std::mutex& RunLock() {
  static std::mutex m;
  return m;
}

constexpr std::int32_t kOutputPastGrid = 6003;
constexpr std::int32_t kOutputNotEmpty = 6004;
constexpr std::int32_t kNotAvailable = 2042;  // #N/A

rtl::OUString U(const std::string& s) {
  return rtl::OUString(s.data(), static_cast<sal_Int32>(s.size()), RTL_TEXTENCODING_UTF8);
}
std::string S(const rtl::OUString& s) {
  rtl::OString o = rtl::OUStringToOString(s, RTL_TEXTENCODING_UTF8);
  return std::string(o.getStr(), static_cast<std::size_t>(o.getLength()));
}

[[noreturn]] void Fail(std::int32_t code, const std::string& description) {
  throw Error(ComponentError(code), description, "NMLCorrelation.Calc.Run");
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Points (the host's unit for charts) to Calc's 1/100 mm.
sal_Int32 PointsToHmm(double pt) { return static_cast<sal_Int32>(std::lround(pt * 2540.0 / 72.0)); }

// A width in characters of the default font, as the host keeps it, to
// 1/100 mm: seven pixels a character plus five pixels of padding at 96 dpi.
sal_Int32 CharsToHmm(double chars) { return static_cast<sal_Int32>(std::lround((chars * 7.0 + 5.0) * 2540.0 / 96.0)); }

class Sheets {
 public:
  explicit Sheets(const Reference<css::sheet::XSpreadsheetDocument>& doc)
      : index_(doc->getSheets(), UNO_QUERY_THROW) {}

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (sal_Int32 i = 0; i < index_->getCount(); ++i) names.push_back(S(Named(i)->getName()));
    return names;
  }
  // Index of a sheet by name, or -1.
  sal_Int16 Find(const std::string& name) const {
    const rtl::OUString n = U(name);
    for (sal_Int32 i = 0; i < index_->getCount(); ++i)
      if (Named(i)->getName() == n) return static_cast<sal_Int16>(i);
    return -1;
  }
  Reference<css::sheet::XSpreadsheet> At(sal_Int16 i) const {
    return Reference<css::sheet::XSpreadsheet>(index_->getByIndex(i), UNO_QUERY_THROW);
  }
  sal_Int32 Count() const { return index_->getCount(); }

 private:
  Reference<css::container::XNamed> Named(sal_Int32 i) const {
    return Reference<css::container::XNamed>(index_->getByIndex(i), UNO_QUERY_THROW);
  }
  Reference<css::container::XIndexAccess> index_;
};

Reference<css::table::XCellRange> Cells(const Reference<css::sheet::XSpreadsheet>& sheet, std::int32_t top,
                                        std::int32_t left, std::int32_t bottom, std::int32_t right) {
  return sheet->getCellRangeByPosition(left - 1, top - 1, right - 1, bottom - 1);
}

// A reference text resolved against the document, or the component's error
// for text it cannot read or a sheet the document lacks.
std::vector<SheetArea> Resolve(const std::string& text, const std::string& activeSheet, const Sheets& sheets,
                               std::int32_t badReference) {
  auto areas = ParseReferenceText(text, activeSheet);
  if (!areas) Fail(badReference, "'" + text + "' is not a reference to cells of this document");
  for (const SheetArea& a : *areas)
    if (sheets.Find(a.sheet) < 0) Fail(badReference, "the document has no sheet '" + a.sheet + "'");
  return *areas;
}

// Copies one area of the document into the host's workbook in one block.
void CopyArea(const Sheets& sheets, const SheetArea& a) {
  Reference<css::sheet::XCellRangeData> data(Cells(sheets.At(sheets.Find(a.sheet)), a.top, a.left, a.bottom, a.right),
                                             UNO_QUERY_THROW);
  const uno::Sequence<uno::Sequence<uno::Any>> rows = data->getDataArray();
  CellBlock block;
  block.top = a.top;
  block.left = a.left;
  block.rows = a.bottom - a.top + 1;
  block.columns = a.right - a.left + 1;
  block.values.reserve(static_cast<std::size_t>(block.rows) * block.columns);
  for (const uno::Sequence<uno::Any>& row : rows) {
    for (const uno::Any& cell : row) {
      double d;
      rtl::OUString text;
      if (cell >>= d) block.values.emplace_back(d);
      else if (cell >>= text) block.values.push_back(text.isEmpty() ? Variant() : Variant(S(text)));
      else block.values.push_back(Variant::ErrorValue(kNotAvailable));  // an error cell
    }
  }
  Host::PutValues(a.sheet, block);
}

// The style of a cell as one comparable key.
using StyleKey = std::tuple<std::string, bool, bool, double, std::int32_t, std::int32_t>;
StyleKey KeyOf(const CellStyle& s) {
  return {s.numberFormat, s.bold, s.border, s.fontSize, s.fillColor, static_cast<std::int32_t>(s.align)};
}
bool IsPlain(const CellStyle& s) {
  return (s.numberFormat == "General" || s.numberFormat.empty()) && !s.bold && !s.border && s.fontSize <= 0 &&
         s.fillColor < 0 && s.align == CellAlign::kGeneral;
}

// Cells of equal style gathered into rectangles: runs along each row, and a
// run continued down the rows while the row below has the same run.
std::map<StyleKey, std::vector<css::table::CellRangeAddress>> GroupStyles(const std::vector<CellStyle>& styles,
                                                                           std::int32_t rows, std::int32_t cols,
                                                                           sal_Int16 sheet, std::int32_t top,
                                                                           std::int32_t left) {
  std::map<StyleKey, std::vector<css::table::CellRangeAddress>> groups;
  // (key, first column, last column) -> index of the open rectangle in its group
  std::map<std::tuple<StyleKey, std::int32_t, std::int32_t>, std::size_t> open, next;
  for (std::int32_t r = 0; r < rows; ++r) {
    next.clear();
    for (std::int32_t c = 0; c < cols;) {
      const CellStyle& s = styles[static_cast<std::size_t>(r) * cols + c];
      std::int32_t end = c;
      while (end + 1 < cols && KeyOf(styles[static_cast<std::size_t>(r) * cols + end + 1]) == KeyOf(s)) ++end;
      if (!IsPlain(s)) {
        auto id = std::make_tuple(KeyOf(s), c, end);
        auto& list = groups[KeyOf(s)];
        if (auto it = open.find(id); it != open.end()) {
          list[it->second].EndRow = top - 1 + r;
          next[id] = it->second;
        } else {
          list.push_back({sheet, left - 1 + c, top - 1 + r, left - 1 + end, top - 1 + r});
          next[id] = list.size() - 1;
        }
      }
      c = end + 1;
    }
    open.swap(next);
  }
  return groups;
}

class ReportWriter {
 public:
  ReportWriter(const Reference<css::sheet::XSpreadsheetDocument>& doc, const Sheets& sheets)
      : doc_(doc), sheets_(sheets) {}

  void Values(const Reference<css::sheet::XSpreadsheet>& sheet, const CellBlock& block) {
    uno::Sequence<uno::Sequence<uno::Any>> rows(block.rows);
    auto* rowp = rows.getArray();
    for (std::int32_t r = 0; r < block.rows; ++r) {
      uno::Sequence<uno::Any> row(block.columns);
      auto* cellp = row.getArray();
      for (std::int32_t c = 0; c < block.columns; ++c) {
        const Variant& v = block.At(r, c);
        if (v.IsNumber()) cellp[c] <<= v.ToDouble();
        else if (v.Kind() == VarKind::kBoolean) cellp[c] <<= (v.AsBoolean() ? -1.0 : 0.0);
        else if (v.IsEmpty()) cellp[c] <<= rtl::OUString();  // clears the cell
        else cellp[c] <<= U(v.ToText());
      }
      rowp[r] = row;
    }
    auto range = Cells(sheet, block.top, block.left, block.top + block.rows - 1, block.left + block.columns - 1);
    // The place takes the report's look only: formats left from before go.
    Reference<css::sheet::XSheetOperation>(range, UNO_QUERY_THROW)
        ->clearContents(css::sheet::CellFlags::HARDATTR | css::sheet::CellFlags::EDITATTR);
    Reference<css::sheet::XCellRangeData>(range, UNO_QUERY_THROW)->setDataArray(rows);
  }

  void Styles(sal_Int16 sheetIndex, const std::vector<CellStyle>& styles, const CellBlock& block) {
    auto groups = GroupStyles(styles, block.rows, block.columns, sheetIndex, block.top, block.left);
    Reference<css::lang::XMultiServiceFactory> factory(doc_, UNO_QUERY_THROW);
    for (auto& [key, ranges] : groups) {
      Reference<css::sheet::XSheetCellRangeContainer> container(
          factory->createInstance("com.sun.star.sheet.SheetCellRanges"), UNO_QUERY_THROW);
      container->addRangeAddresses(uno::Sequence<css::table::CellRangeAddress>(ranges.data(),
                                                                               static_cast<sal_Int32>(ranges.size())),
                                   false);
      Reference<css::beans::XPropertySet> props(container, UNO_QUERY_THROW);
      const auto& [format, bold, border, size, fill, align] = key;
      if (!format.empty() && format != "General") props->setPropertyValue("NumberFormat", uno::Any(FormatKey(format)));
      if (bold) props->setPropertyValue("CharWeight", uno::Any(float(css::awt::FontWeight::BOLD)));
      if (size > 0) props->setPropertyValue("CharHeight", uno::Any(float(size)));
      if (fill >= 0) {
        props->setPropertyValue("CellBackColor", uno::Any(sal_Int32(fill)));
        props->setPropertyValue("IsCellBackgroundTransparent", uno::Any(false));
      }
      if (align != static_cast<std::int32_t>(CellAlign::kGeneral)) {
        css::table::CellHoriJustify j = css::table::CellHoriJustify_STANDARD;
        if (align == static_cast<std::int32_t>(CellAlign::kLeft)) j = css::table::CellHoriJustify_LEFT;
        if (align == static_cast<std::int32_t>(CellAlign::kCenter)) j = css::table::CellHoriJustify_CENTER;
        if (align == static_cast<std::int32_t>(CellAlign::kRight)) j = css::table::CellHoriJustify_RIGHT;
        props->setPropertyValue("HoriJustify", uno::Any(j));
      }
      if (border) {
        css::table::BorderLine2 line;
        line.Color = 0;
        line.OuterLineWidth = 26;  // a thin line, 0.75 pt
        line.LineWidth = 26;
        line.LineStyle = css::table::BorderLineStyle::SOLID;
        for (const char* side : {"TopBorder", "BottomBorder", "LeftBorder", "RightBorder"})
          props->setPropertyValue(rtl::OUString::createFromAscii(side), uno::Any(line));
      }
    }
  }

  void Chart(const Reference<css::sheet::XSpreadsheet>& sheet, const ChartInfo& info,
             const std::map<std::string, std::string>& sheetNames) {
    Reference<css::beans::XPropertySet> anchor(sheet->getCellByPosition(info.anchorColumn - 1, info.anchorRow - 1),
                                               UNO_QUERY_THROW);
    css::awt::Point at;
    anchor->getPropertyValue("Position") >>= at;
    css::awt::Rectangle rect(at.X + PointsToHmm(info.left), at.Y + PointsToHmm(info.top), PointsToHmm(info.width),
                             PointsToHmm(info.height));
    uno::Sequence<css::table::CellRangeAddress> series(2);
    series.getArray()[0] = SeriesAddress(info.xValues, sheetNames);
    series.getArray()[1] = SeriesAddress(info.yValues, sheetNames);

    Reference<css::table::XTableChartsSupplier> supplier(sheet, UNO_QUERY_THROW);
    auto charts = supplier->getCharts();
    const rtl::OUString name = FreeChartName();
    charts->addNewByName(name, rect, series, false, false);
    Reference<css::document::XEmbeddedObjectSupplier> embedded(charts->getByName(name), UNO_QUERY_THROW);
    Reference<css::chart::XChartDocument> chart(embedded->getEmbeddedObject(), UNO_QUERY_THROW);
    Reference<css::frame::XModel> model(chart, UNO_QUERY_THROW);
    model->lockControllers();
    Reference<css::lang::XMultiServiceFactory> factory(chart, UNO_QUERY_THROW);
    chart->setDiagram(Reference<css::chart::XDiagram>(factory->createInstance("com.sun.star.chart.XYDiagram"),
                                                      UNO_QUERY_THROW));
    Reference<css::beans::XPropertySet> chartProps(chart, UNO_QUERY_THROW);
    chartProps->setPropertyValue("HasLegend", uno::Any(false));
    chartProps->setPropertyValue("HasMainTitle", uno::Any(!info.title.empty()));
    if (!info.title.empty())
      Reference<css::beans::XPropertySet>(chart->getTitle(), UNO_QUERY_THROW)
          ->setPropertyValue("String", uno::Any(U(info.title)));
    Reference<css::beans::XPropertySet> diagram(chart->getDiagram(), UNO_QUERY_THROW);
    // Points only, small: a scatter of cases, not a line through them.
    diagram->setPropertyValue("Lines", uno::Any(false));
    diagram->setPropertyValue("SymbolSize", uno::Any(css::awt::Size(150, 150)));
    diagram->setPropertyValue("HasXAxisTitle", uno::Any(!info.xAxisTitle.empty()));
    diagram->setPropertyValue("HasYAxisTitle", uno::Any(!info.yAxisTitle.empty()));
    if (!info.xAxisTitle.empty())
      Reference<css::beans::XPropertySet>(
          Reference<css::chart::XAxisXSupplier>(diagram, UNO_QUERY_THROW)->getXAxisTitle(), UNO_QUERY_THROW)
          ->setPropertyValue("String", uno::Any(U(info.xAxisTitle)));
    if (!info.yAxisTitle.empty())
      Reference<css::beans::XPropertySet>(
          Reference<css::chart::XAxisYSupplier>(diagram, UNO_QUERY_THROW)->getYAxisTitle(), UNO_QUERY_THROW)
          ->setPropertyValue("String", uno::Any(U(info.yAxisTitle)));
    model->unlockControllers();
  }

 private:
  sal_Int32 FormatKey(const std::string& code) {
    if (auto it = formats_.find(code); it != formats_.end()) return it->second;
    Reference<css::util::XNumberFormatsSupplier> supplier(doc_, UNO_QUERY_THROW);
    auto formats = supplier->getNumberFormats();
    const css::lang::Locale english("en", "US", "");
    sal_Int32 key = formats->queryKey(U(code), english, false);
    if (key < 0) key = formats->addNew(U(code), english);
    return formats_[code] = key;
  }

  css::table::CellRangeAddress SeriesAddress(const std::string& text, const std::map<std::string, std::string>& names) {
    auto areas = ParseReferenceText(text, "");
    if (!areas || areas->size() != 1) Fail(6020, "a chart's series '" + text + "' is not one area");
    SheetArea a = areas->front();
    if (auto it = names.find(a.sheet); it != names.end()) a.sheet = it->second;
    const sal_Int16 index = sheets_.Find(a.sheet);
    if (index < 0) Fail(6020, "a chart's series lies on a sheet the document lacks: '" + a.sheet + "'");
    return {index, a.left - 1, a.top - 1, a.right - 1, a.bottom - 1};
  }

  // Chart names are unique across the document's sheets.
  rtl::OUString FreeChartName() {
    if (usedNames_.empty()) {
      for (sal_Int16 i = 0; i < sheets_.Count(); ++i) {
        Reference<css::table::XTableChartsSupplier> supplier(sheets_.At(i), UNO_QUERY_THROW);
        for (const rtl::OUString& n : supplier->getCharts()->getElementNames()) usedNames_.insert(S(n));
      }
      usedNames_.insert("");
    }
    std::string name;
    do name = "NMLCorrelation " + std::to_string(++chartCounter_);
    while (usedNames_.count(name) != 0);
    usedNames_.insert(name);
    return U(name);
  }

  Reference<css::sheet::XSpreadsheetDocument> doc_;
  const Sheets& sheets_;
  std::map<std::string, sal_Int32> formats_;
  std::set<std::string> usedNames_;
  int chartCounter_ = 0;
};

}  // namespace

DocumentBridge::DocumentBridge(Reference<css::sheet::XSpreadsheetDocument> doc) : doc_(std::move(doc)) {}

std::string DocumentBridge::ActiveSheet() const {
  Reference<css::frame::XModel> model(doc_, css::uno::UNO_QUERY);
  if (model.is()) {
    Reference<css::sheet::XSpreadsheetView> view(model->getCurrentController(), css::uno::UNO_QUERY);
    if (view.is())
      return S(Reference<css::container::XNamed>(view->getActiveSheet(), UNO_QUERY_THROW)->getName());
  }
  return Sheets(doc_).Names().front();
}

StageTimes DocumentBridge::Run(const Settings& settings, bool overWrite, std::string& reportSheet) {
  std::lock_guard<std::mutex> lock(RunLock());
  StageTimes times;
  auto clock = std::chrono::steady_clock::now();
  const Sheets sheets(doc_);
  const std::string active = ActiveSheet();

  // The texts the component resolves: always sheet-qualified and in its form.
  std::string xText, yText, outText;
  std::vector<SheetArea> inputs;
  if (!settings.xRange.empty()) {
    auto areas = Resolve(settings.xRange, active, sheets, 5010);
    xText = ToA1Text(areas);
    inputs.insert(inputs.end(), areas.begin(), areas.end());
  }
  if (!settings.yRange.empty()) {
    auto areas = Resolve(settings.yRange, active, sheets, 5009);
    yText = ToA1Text(areas);
    inputs.insert(inputs.end(), areas.begin(), areas.end());
  }
  bool newSheet = false;
  if (!settings.outputRange.empty()) {
    auto areas = Resolve(settings.outputRange, active, sheets, 5001);
    SheetArea& a = areas.front();
    a.bottom = a.top;
    a.right = a.left;
    outText = ToA1Text({a});
  } else if (!reportSheet.empty() && sheets.Find(reportSheet) >= 0) {
    outText = ToA1Text({SheetArea{reportSheet, 1, 1, 1, 1}});
  } else {
    newSheet = true;
  }

  // A workbook of the host with the document's sheets, holding the input cells.
  const std::vector<std::string> names = sheets.Names();
  Host::Reset();
  Host::Create(names.front());
  for (std::size_t i = 1; i < names.size(); ++i) Host::AddSheet(names[i]);
  for (const SheetArea& a : inputs) CopyArea(sheets, a);
  times.read = Seconds(clock);

  clock = std::chrono::steady_clock::now();
  clsCorrelation corr;
  corr.Method(settings.method);
  corr.Headers(settings.headers);
  corr.Descriptives(settings.descriptives);
  corr.Standardised(settings.standardised);
  corr.Raw(settings.raw);
  corr.Plots(settings.plots);
  if (!xText.empty()) corr.XRange(xText);
  if (!yText.empty()) corr.YRange(yText);
  if (!outText.empty()) corr.OutputRange(outText);
  // The host's copy holds only the input cells; whether the place is free is
  // decided below against the document itself.
  corr.Results(true);

  auto where = ParseReferenceText(Host::ReportRange(), "");
  if (!where || where->size() != 1) Fail(6020, "the report's place '" + Host::ReportRange() + "' cannot be read");
  const SheetArea report = where->front();
  const CellBlock values = Host::Values(Host::ReportRange());
  const std::vector<CellStyle> styles =
      Host::Styles(report.sheet, report.top, report.left, values.rows, values.columns);
  const std::vector<ChartInfo> charts = Host::Charts(report.sheet);
  std::vector<double> widths;
  const std::int32_t spareColumn = std::min<std::int32_t>(report.right + 40, 16384);
  const double defaultWidth = Host::ColumnWidth(report.sheet, spareColumn);
  for (std::int32_t c = report.left; c <= report.right; ++c) widths.push_back(Host::ColumnWidth(report.sheet, c));
  times.compute = Seconds(clock);

  // Checks against the document, before anything in it changes.
  if (report.bottom > kCalcRows || report.right > kCalcColumns)
    Fail(kOutputPastGrid, "a report of " + std::to_string(values.rows) + " rows and " +
                              std::to_string(values.columns) + " columns would run past the edge of the sheet");
  std::string calcSheet = report.sheet;
  if (newSheet) {
    for (int n = static_cast<int>(names.size()) + 1; sheets.Find(calcSheet) >= 0; ++n)
      calcSheet = "Sheet" + std::to_string(n);
  } else if (!overWrite) {
    // Read in one block; Calc 7.4's queryContentCells reports wrong columns
    // for a range that does not start in column A.
    auto target = Cells(sheets.At(sheets.Find(calcSheet)), report.top, report.left, report.bottom, report.right);
    const auto formulas = Reference<css::sheet::XCellRangeFormula>(target, UNO_QUERY_THROW)->getFormulaArray();
    for (sal_Int32 r = 0; r < formulas.getLength(); ++r)
      for (sal_Int32 c = 0; c < formulas[r].getLength(); ++c)
        if (!formulas[r][c].isEmpty())
          Fail(kOutputNotEmpty, "the output place already holds data (" + calcSheet + "." +
                                    AbsoluteCells(report.top + r, report.left + c, report.top + r, report.left + c) +
                                    "); call Results with OverWrite set to replace it");
  }

  clock = std::chrono::steady_clock::now();
  if (newSheet) {
    doc_->getSheets()->insertNewByName(U(calcSheet), static_cast<sal_Int16>(sheets.Count()));
    reportSheet = calcSheet;
  }
  const sal_Int16 sheetIndex = sheets.Find(calcSheet);
  const auto sheet = sheets.At(sheetIndex);
  ReportWriter writer(doc_, sheets);
  writer.Values(sheet, values);
  writer.Styles(sheetIndex, styles, values);
  Reference<css::container::XIndexAccess> columns(
      Reference<css::table::XColumnRowRange>(sheet, UNO_QUERY_THROW)->getColumns(), UNO_QUERY_THROW);
  for (std::size_t i = 0; i < widths.size(); ++i) {
    if (std::fabs(widths[i] - defaultWidth) < 1e-9) continue;
    Reference<css::beans::XPropertySet>(columns->getByIndex(report.left - 1 + static_cast<sal_Int32>(i)),
                                        UNO_QUERY_THROW)
        ->setPropertyValue("Width", uno::Any(CharsToHmm(widths[i])));
  }
  times.write = Seconds(clock);

  clock = std::chrono::steady_clock::now();
  const std::map<std::string, std::string> sheetNames{{report.sheet, calcSheet}};
  for (const ChartInfo& info : charts) writer.Chart(sheet, info, sheetNames);
  times.charts = Seconds(clock);

  // Show the report with its first cell selected, as after a paste. Only in a
  // view someone sees: switching the sheet of a hidden view renders every
  // chart on it for nothing (minutes for a large scatter matrix).
  Reference<css::frame::XModel> model(doc_, css::uno::UNO_QUERY);
  Reference<css::frame::XController> controller = model.is() ? model->getCurrentController() : nullptr;
  if (controller.is() && controller->getFrame().is()) {
    Reference<css::awt::XWindow2> window(controller->getFrame()->getContainerWindow(), css::uno::UNO_QUERY);
    Reference<css::sheet::XSpreadsheetView> view(controller, css::uno::UNO_QUERY);
    Reference<css::view::XSelectionSupplier> select(controller, css::uno::UNO_QUERY);
    if (window.is() && window->isVisible() && view.is() && select.is()) {
      view->setActiveSheet(sheet);
      select->select(uno::Any(sheet->getCellByPosition(report.left - 1, report.top - 1)));
    }
  }
  Host::Reset();
  return times;
}

}  // namespace nml::calc
