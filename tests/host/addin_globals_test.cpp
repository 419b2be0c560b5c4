#include "host/addin_globals.h"

#include <gtest/gtest.h>

#include "host/cell_format.h"

namespace nml::support {
namespace {

TEST(AddinGlobals, PastesEverythingAndAlignsLabelsLeft) {
  EXPECT_EQ(TheAddinGlobals().PasteType(), -4104);
  EXPECT_EQ(TheAddinGlobals().LabelAlignment(), -4131);
  EXPECT_EQ(&TheAddinGlobals(), &TheAddinGlobals());
}

}  // namespace
}  // namespace nml::support
