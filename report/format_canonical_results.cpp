#include <memory>
#include <string>

#include "common/checked.h"
#include "common/handlers.h"
#include "engine/cls_correlation_bo.h"
#include "support/numerics/matrix_ops.h"
#include "report/cls_correlation_output.h"
#include "report/layout_frame.h"
#include "report/layouts.h"

namespace nml::report {

namespace {

Array<std::string> Texts(std::initializer_list<const char*> texts) {
  Array<std::string> a = Array<std::string>::Vector(static_cast<std::int32_t>(texts.size()));
  std::int32_t i = 1;
  for (const char* t : texts) a(i++) = t;
  return a;
}

/// The getters of one section of the report: raw or standardised.
struct SectionData {
  Matrix coeffsX, coeffsY, loadingsX, loadingsCrossX, loadingsY, loadingsCrossY, scoresX, scoresY;
};

SectionData RawSection(const clsCorrelationBO& e) {
  return {e.CanCoeffsRawX(),   e.CanCoeffsRawY(),        e.CanLoadingsRawX(), e.CanLoadingsCrossRawX(),
          e.CanLoadingsRawY(), e.CanLoadingsCrossRawY(), e.CanVarRawX(),      e.CanVarRawY()};
}

SectionData StdSection(const clsCorrelationBO& e) {
  return {e.CanCoeffsStdX(),   e.CanCoeffsStdY(),        e.CanLoadingsStdX(), e.CanLoadingsCrossStdX(),
          e.CanLoadingsStdY(), e.CanLoadingsCrossStdY(), e.CanVarStdX(),      e.CanVarStdY()};
}

/// The eleven tables of one section, from the coefficients to the variate
/// scores, whose position goes into scoreCoords.
void WriteSection(clsCorrelationOutput& out, const support::MatrixOps& matrixOps, SectionData d,
                  const Array<std::string>& XNames, const Array<std::string>& YNames,
                  const Array<std::string>& variateEnumeration, const Array<std::string>& VariateNames,
                  Variant& scoreCoords) {
  out.OutputMatrix(variateEnumeration, XNames, Variant(std::move(d.coeffsX)), "Canonical Coefficients for Set 1");
  out.InsertBlankLines(1);
  out.OutputMatrix(variateEnumeration, YNames, Variant(std::move(d.coeffsY)), "Canonical Coefficients for Set 2");
  out.InsertBlankLines(2);
  out.OutputMatrix(variateEnumeration, XNames, Variant(d.loadingsX), "Canonical Loadings for Set 1");
  out.InsertBlankLines(1);
  out.OutputMatrix(variateEnumeration, XNames, Variant(d.loadingsCrossX), "Canonical Cross Loadings for Set 1");
  out.InsertBlankLines(1);
  out.OutputMatrix(variateEnumeration, YNames, Variant(d.loadingsY), "Canonical Loadings for Set 2");
  out.InsertBlankLines(1);
  out.OutputMatrix(variateEnumeration, YNames, Variant(d.loadingsCrossY), "Canonical Cross Loadings for Set 2");
  out.InsertBlankLines(2);

  out.OutputComment("EXPLAINED VARIANCE", 0, kVFalse);
  out.OutputExplained(XNames, d.loadingsX, "Proportion in Set 1 explained by it's Variates");
  out.InsertBlankLines(1);
  out.OutputExplained(XNames, d.loadingsCrossX, "Proportion in Set 1 explained by Set 2's Variates");
  out.InsertBlankLines(1);
  out.OutputExplained(YNames, d.loadingsY, "Proportion in Set 2 explained by it's Variates");
  out.InsertBlankLines(1);
  out.OutputExplained(YNames, d.loadingsCrossY, "Proportion in Set 2 explained by Set 1's Variates");
  out.InsertBlankLines(2);

  // Set-1 scores in the left half of the block, set-2 scores in the right.
  Matrix scores = matrixOps.AppendColumns(d.scoresX, d.scoresY);
  d.scoresX.Erase();
  d.scoresY.Erase();
  const Array<std::string> caseEnumeration = Texts({"Enumerate", "Case", ""});
  out.OutputMatrix(VariateNames, caseEnumeration, Variant(std::move(scores)), "Canonical Variates", &scoreCoords);
}

}  // namespace

host::RangeRef FormatCanonicalResults(const LayoutInput& in, const Array<std::string>& XNames,
                                      const Array<std::string>& YNames, Variant& RawScoreCoords,
                                      Variant& StdScoreCoords) {
  return Trail({"clsCorrelation", "FormatCanonicalResults"}, [&] {
    const clsCorrelationBO& engine = EngineOf(in);
    // Created at entry, released at exit (also on failure): the writer wipes
    // the scratch sheet as it is created.
    clsCorrelationOutput out;
    auto matrixOps = std::make_unique<support::MatrixOps>();

    // X names first, as the engine orders its combined results.
    const std::int32_t k = XNames.UBound(1);
    const std::int32_t q = YNames.UBound(1);
    Array<std::string> AllNames = Array<std::string>::Vector(AddLong(k, q));
    for (std::int32_t i = 1; i <= k; ++i) AllNames(i) = XNames(i);
    for (std::int32_t i = 1; i <= q; ++i) AllNames(k + i) = YNames(i);

    const bool raw = IsTrue(in.raw);
    const std::int32_t m = (raw ? engine.CanVarRawX() : engine.CanVarStdX()).UBound(2);
    Array<std::string> VariateNames = Array<std::string>::Vector(MulLong(m, 2));
    for (std::int32_t i = 1; i <= m; ++i) {
      VariateNames(i) = "CVS1 " + std::to_string(i);
      VariateNames(m + i) = "CVS2 " + std::to_string(i);
    }
    const Array<std::string> correlationColumns = Texts({"R", "Wilks Lambda", "Chi-Sq", "DF", "P"});
    const Array<std::string> variateEnumeration = Texts({"Enumerate", "Variate", "CV "});

    out.Method(in.method);
    out.OutputHeader(RangeText(in.xRangeCells), Variant(RangeText(in.yRangeCells)), Variant(""));
    out.InsertBlankLines(1);

    if (IsTrue(in.descriptives)) {
      out.OutputDescriptives(AllNames, engine.Means(), engine.SDs(), engine.SEs(), engine.Ns());
      out.InsertBlankLines(2);
    }

    out.OutputMatrix(AllNames, AllNames, engine.R(), "Correlation Matrix (r)");
    out.InsertBlankLines(1);
    out.OutputMatrix(AllNames, AllNames, engine.P(), "Correlation Significance (P)");
    out.InsertBlankLines(2);

    Variant table = matrixOps->ToColumn(Variant(engine.CanCorrelations()));
    table = matrixOps->JoinColumns(table, matrixOps->ToColumn(Variant(engine.CanCorrLambda())));
    table = matrixOps->JoinColumns(table, matrixOps->ToColumn(Variant(engine.CanCorrChiSq())));
    table = matrixOps->JoinColumns(table, matrixOps->ToColumn(Variant(engine.CanCorrDF())));
    table = matrixOps->JoinColumns(table, matrixOps->ToColumn(engine.CanCorrP()));
    out.OutputMatrix(correlationColumns, variateEnumeration, table, "Canonical Correlations");

    if (raw) {
      out.InsertBlankLines(2);
      out.OutputComment("Raw Results", 1, kVTrue);
      WriteSection(out, *matrixOps, RawSection(engine), XNames, YNames, variateEnumeration, VariateNames,
                   RawScoreCoords);
    }
    if (IsTrue(in.standardised) || !raw) {
      out.InsertBlankLines(2);
      out.OutputComment("Standardised Results", 1, kVTrue);
      WriteSection(out, *matrixOps, StdSection(engine), XNames, YNames, variateEnumeration, VariateNames,
                   StdScoreCoords);
    }

    out.InsertBlankLines(1);
    return out.Results();
  });
}

}  // namespace nml::report
