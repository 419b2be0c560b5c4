// The public host facade, used as a program would: every error numbered and
// sourced, blocks in and out unchanged, and a report found, saved and read back.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <string>

#include "nmlcorrelation/correlation.h"
#include "nmlcorrelation/workbook.h"
#include "support/error_catch.h"
#include "support/temp_folder.h"

namespace nml::testing {
namespace {

namespace fs = std::filesystem;
using test::ErrorOf;
using test::TempFolder;

class HostFacade : public ::testing::Test {
 protected:
  void SetUp() override { Host::Reset(); }
  void TearDown() override { Host::Reset(); }
};

TEST_F(HostFacade, EveryFailureIsNumberedDescribedAndSourced) {
  struct Case {
    const char* what;
    bool withWorkbook;
    std::function<void()> call;
    std::int32_t number;
    const char* source;
  };
  const CellBlock ragged{1, 1, 2, 2, {Variant(1.0), Variant(2.0), Variant(3.0)}};
  const CellBlock offGrid{1048576, 1, 2, 1, {Variant(1.0), Variant(2.0)}};
  const Case cases[] = {
      {"no workbook yet", false, [] { Host::Sheets(); }, rt::kObjectNotSet, "NMLCorrelation.Host.Sheets"},
      {"missing file", false, [] { Host::Open("/nonexistent/data.csv"); }, ComponentError(6100), "NMLCorrelation.Host.Open"},
      {"unknown file type", false, [] { Host::Open("data.ods"); }, ComponentError(6101), "NMLCorrelation.Host.Open"},
      {"bad sheet name", false, [] { Host::Create("a/b"); }, rt::kApplicationDefined, "NMLCorrelation.Host.Create"},
      {"values and shape disagree", true, [&] { Host::PutValues("Data", ragged); }, rt::kInvalidCall, "NMLCorrelation.Host.PutValues"},
      {"block past the last row", true, [&] { Host::PutValues("Data", offGrid); }, rt::kInvalidCall, "NMLCorrelation.Host.PutValues"},
      {"unknown sheet", true, [] { Host::UsedValues("Nowhere"); }, rt::kSubscriptOutOfRange, "NMLCorrelation.Host.UsedValues"},
      {"bad reference", true, [] { Host::Values("Data!A0"); }, rt::kApplicationDefined, "NMLCorrelation.Host.Values"},
      {"two areas", true, [] { Host::Values("A1,C1"); }, rt::kInvalidCall, "NMLCorrelation.Host.Values"},
      {"column zero", true, [] { Host::ColumnWidth("Data", 0); }, rt::kInvalidCall, "NMLCorrelation.Host.ColumnWidth"},
      {"empty style rectangle", true, [] { Host::Styles("Data", 1, 1, 0, 1); }, rt::kInvalidCall, "NMLCorrelation.Host.Styles"},
  };
  for (const Case& c : cases) {
    Host::Reset();
    if (c.withWorkbook) Host::Create("Data");
    const Error e = ErrorOf(c.call);
    EXPECT_EQ(e.Number(), c.number) << c.what;
    EXPECT_EQ(e.Source(), c.source) << c.what;
    EXPECT_NE(e.Description(), "Application-defined or object-defined error") << c.what;
    EXPECT_FALSE(e.Description().empty()) << c.what;
  }
}

TEST_F(HostFacade, BlocksGoInAndComeBackUnchanged) {
  EXPECT_EQ(Host::Create("Data"), "Book1");
  const CellBlock in{2, 3, 2, 3,
                     {Variant(1.5), Variant("text"), Variant(true),  //
                      Variant(), Variant::ErrorValue(2042), Variant(-0.0625)}};
  Host::PutValues("data", in);  // sheet names ignore case
  EXPECT_EQ(Host::AddSheet("DATA"), "Sheet2");
  EXPECT_EQ(Host::AddSheet("Notes"), "Notes");
  EXPECT_EQ(Host::Sheets(), (std::vector<std::string>{"Data", "Sheet2", "Notes"}));

  const CellBlock used = Host::UsedValues("Data");
  ASSERT_EQ(used.rows, 3);
  ASSERT_EQ(used.columns, 5);
  // Variants compare equal only when of one kind as well.
  for (std::int32_t r = 0; r < in.rows; ++r)
    for (std::int32_t c = 0; c < in.columns; ++c) EXPECT_EQ(used.At(in.top - 1 + r, in.left - 1 + c), in.At(r, c));
  EXPECT_TRUE(used.At(0, 0).IsEmpty());
  EXPECT_EQ(Host::UsedValues("Notes").rows, 0);
  const CellBlock one = Host::Values("Data!D2:D3");
  EXPECT_EQ(one.top, 2);
  EXPECT_EQ(one.left, 4);
  EXPECT_EQ(one.At(0, 0), Variant("text"));
  EXPECT_EQ(one.At(1, 0).AsErrorValue(), 2042);
}

TEST_F(HostFacade, CanonicalReportIsFoundSavedAndReadBack) {
  const TempFolder folder;
  const fs::path& dir = folder.Path();
  const std::string data = (dir / "savings.csv").string();
  fs::copy_file(std::string(NML_TEST_DATA) + "/savings.csv", data, fs::copy_options::overwrite_existing);

  EXPECT_EQ(Host::ReportRange(), "");
  Host::Open(data);
  clsCorrelation corr;
  corr.Method(nmlCorrCanonical);
  corr.XRange("savings!C1:D51");
  corr.YRange("savings!B1:B51,savings!E1:F51");
  corr.Headers(true);
  corr.Results();

  const std::string where = Host::ReportRange();
  ASSERT_EQ(where.rfind("Sheet2!$A$1:", 0), 0u) << where;
  const CellBlock report = Host::Values(where);
  // The first canonical correlation, from an independent statistics system.
  bool found = false;
  for (const Variant& v : report.values) found = found || (v.IsNumber() && std::fabs(v.ToDouble() - 0.82479661124741621) < 1e-9);
  EXPECT_TRUE(found);

  const Error own = ErrorOf([&] { Host::Save(data); });  // over its own source
  EXPECT_EQ(own.Number(), ComponentError(6140));
  EXPECT_EQ(own.Source(), "NMLCorrelation.Host.Save");
  for (const char* wrongType : {"report.csv", "report.xlsm", "report"}) {
    EXPECT_NML_ERROR(Host::Save((dir / wrongType).string()), ComponentError(6101)) << wrongType;
    EXPECT_FALSE(fs::exists(dir / wrongType));
  }
  const std::string saved = (dir / "report.xlsx").string();
  Host::Save(saved);

  Host::Reset();
  Host::Open(saved);
  EXPECT_EQ(Host::Sheets(), (std::vector<std::string>{"savings", "Sheet2"}));
  // Every value comes back exactly (the file's digits are the shortest exact
  // ones; how each kind of cell is written is the file tests' concern).
  EXPECT_TRUE(Host::Values(where).values == report.values);
  // After the file's round trip the report header is a main title, bold in a
  // larger font, and "Correlation Matrix (r)" in row 5 a table title in the default one.
  const std::vector<CellStyle> titles = Host::Styles("Sheet2", 1, 1, 5, 1);
  EXPECT_TRUE(titles[0].bold && titles[0].fontSize == 14);
  EXPECT_TRUE(titles[4].bold && titles[4].fontSize == 0);

  // Saved again with a sheet added, the workbook keeps its file's parts
  // unless a sheet read from it, or the file itself, changed since.
  struct Case {
    const char* what;
    std::function<void()> change;
    const char* note;  // in SaveNote; empty for none
  };
  const Case cases[] = {
      {"untouched", [] {}, ""},
      {"a cell of a read sheet", [] { Host::PutValues("savings", CellBlock{60, 1, 1, 1, {Variant(1.0)}}); },
       "the sheet \"savings\" was changed"},
      {"the file rewritten", [&] { fs::last_write_time(saved, fs::last_write_time(saved) + std::chrono::seconds(5)); },
       "changed or removed since it was read"},
  };
  for (const Case& c : cases) {
    Host::Reset();
    Host::Open(saved);
    Host::AddSheet("Extra");
    c.change();
    Host::Save((dir / "again.xlsx").string());
    const std::string note = Host::SaveNote();
    EXPECT_EQ(note.empty(), std::string(c.note).empty()) << c.what << ": " << note;
    EXPECT_NE(note.find(c.note), std::string::npos) << c.what << ": " << note;
    Host::Reset();
    Host::Open((dir / "again.xlsx").string());
    EXPECT_EQ(Host::Sheets(), (std::vector<std::string>{"savings", "Sheet2", "Extra"})) << c.what;
  }
}

}  // namespace
}  // namespace nml::testing
