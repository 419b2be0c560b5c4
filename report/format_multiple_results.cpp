#include <memory>
#include <string>

#include "common/handlers.h"
#include "engine/cls_correlation_bo.h"
#include "support/numerics/matrix_ops.h"
#include "report/layout_frame.h"
#include "report/layouts.h"

namespace nml::report {

host::RangeRef FormatMultipleResults(const LayoutInput& in, const Array<std::string>& Headers) {
  return Trail({"clsCorrelation", "FormatMultipleResults"}, [&] {
    // The results hold one value per dependent variable; each becomes a
    // one-column table with one row per Y name under a one-letter caption.
    std::unique_ptr<support::MatrixOps> matrixOps;
    Array<std::string> ColumnCaption = Array<std::string>::Vector(1);
    return FormatTableReport(in, Headers, true, [&](clsCorrelationOutput& out) {
      const clsCorrelationBO& engine = EngineOf(in);
      if (!matrixOps) matrixOps = std::make_unique<support::MatrixOps>();
      // Whole strings, not literals: GCC 12 warns falsely (-Wrestrict) on
      // assigning a literal to an element here.
      ColumnCaption(1) = std::string(1, 'R');
      out.OutputMatrix(ColumnCaption, Headers, matrixOps->ToColumn(engine.R()), "Correlation Matrix");
      out.InsertBlankLines(1);
      ColumnCaption(1) = std::string(1, 'F');
      out.OutputMatrix(ColumnCaption, Headers, matrixOps->ToColumn(engine.TestStat()), "F Statistic");
      out.InsertBlankLines(1);
      ColumnCaption(1) = std::string(1, 'P');
      out.OutputMatrix(ColumnCaption, Headers, matrixOps->ToColumn(engine.P()), "Correlation Significance");
      out.InsertBlankLines(1);
    });
  });
}

}  // namespace nml::report
