#include "nmlcorrelation/variant.h"
#include "support/error_catch.h"

#include <gtest/gtest.h>

namespace nml {
namespace {

TEST(Variant, IsCompact) { EXPECT_LE(sizeof(Variant), 16u); }

// The exact accessors do not coerce; the marker 0 and the Double 0 are
// different values.
TEST(Variant, KindsAndExactAccessors) {
  EXPECT_THROW(Variant("1").AsDouble(), Error);
  EXPECT_NML_ERROR((void)Variant(1.0).Text(), rt::kTypeMismatch);
  EXPECT_FALSE(Variant::Integer(0) == Variant(0.0));
}

TEST(Variant, CopiesAreIndependent) {
  auto a = Array<double>::Matrix(2, 2);
  a(1, 2) = 3;
  Variant v(a);
  Variant w = v;
  w.Doubles()(1, 2) = 4;
  EXPECT_EQ(v.Doubles()(1, 2), 3);
  EXPECT_EQ(w.Doubles()(1, 2), 4);

  Array<Variant> nested = Array<Variant>::Vector(2);
  nested(1) = Variant("x");
  nested(2) = Variant(a);
  Variant n(nested);
  Variant m = n;
  m.Variants()(2).Doubles()(1, 2) = 9;
  EXPECT_EQ(n.Variants()(2).Doubles()(1, 2), 3);
}

TEST(Variant, Coercions) {
  EXPECT_EQ(Variant::Boolean(true).ToDouble(), -1);
  EXPECT_EQ(Variant().ToDouble(), 0);
  EXPECT_EQ(Variant::Boolean(false).ToText(), "False");
  EXPECT_EQ(Variant::Integer(-3).ToText(), "-3");
}

TEST(Array, OneBasedBoundsChecked) {
  auto v = Array<double>::Vector(3);
  EXPECT_THROW(v(0), Error);
  EXPECT_THROW(v(4), Error);
  EXPECT_THROW(v.UBound(2), Error);
  Array<double> none;
  EXPECT_FALSE(none.Allocated());
  EXPECT_THROW(none.UBound(1), Error);
}

TEST(Array, RedimPreserveKeepsContents) {
  auto m = Array<double>::Matrix(3, 3);
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) m(i, j) = 10 * i + j;
  m.RedimPreserve(3, 2);
  EXPECT_EQ(m.UBound(2), 2);
  EXPECT_EQ(m(3, 2), 32);
  m.RedimPreserve(2, 2);
  EXPECT_EQ(m(2, 1), 21);
  EXPECT_EQ(m(1, 2), 12);
  auto v = Array<double>::Vector(3);
  v(2) = 5;
  v.RedimPreserve(2);
  EXPECT_EQ(v(2), 5);
  EXPECT_EQ(v.UBound(), 2);
}

}  // namespace
}  // namespace nml
