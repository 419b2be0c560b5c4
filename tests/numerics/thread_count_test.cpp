// The large passes give the same bits with one thread as with several: rows
// are cut into chunks by the problem's size alone and the chunks' sums are
// added in a fixed order.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/numerics/matrix_ops.h"
#include "support/numerics/parallel.h"
#include "numerics_test_support.h"

namespace nml::support {
namespace {

TEST(ThreadCount, LargePassesGiveTheSameBitsWithOneAndTwoThreads) {
  // 100,000 cases: several row chunks, and far past the size up to which the
  // cross-products are accumulated element by element. Means far from 0 and
  // a trend make the centring matter.
  Matrix a = test::RandomMatrix(100000, 24, 7, 50.0, 3.0);
  for (std::int32_t i = 1; i <= a.Rows(); ++i) a(i, 3) += 1e-4 * i;
  const Matrix b = test::RandomMatrix(100000, 9, 8, -4.0, 0.5);
  const Matrix coeffs = test::RandomMatrix(24, 5, 9);
  const std::vector<std::pair<std::string, std::function<Matrix()>>> operations{
      {"CorrelationMatrix", [&] { return MatrixOps().CorrelationMatrix(a, 0); }},
      {"CrossProducts", [&] { return MatrixOps().CrossProducts(a, b); }},
      {"CrossCorrelations", [&] { return MatrixOps().CrossCorrelations(a, b); }},
      {"Multiply", [&] { return MatrixOps().Multiply(a, coeffs); }},
      {"ColumnDescriptives", [&] {
         Array<double> means, sds, ses, ns;
         MatrixOps().ColumnDescriptives(a, means, sds, ses, ns);
         std::vector<double> both(means.Data(), means.Data() + means.Size());
         both.insert(both.end(), sds.Data(), sds.Data() + sds.Size());
         return test::FromRows(2, a.Cols(), both);
       }},
  };
  for (const auto& [name, run] : operations) {
    detail::SetThreadLimit(1);
    const Matrix one = run();
    detail::SetThreadLimit(2);
    const Matrix two = run();
    detail::SetThreadLimit(0);
    EXPECT_EQ(one, two) << name;  // equal to the last bit
  }
}

}  // namespace
}  // namespace nml::support
