#include "host/files/relationship_target.h"

#include <gtest/gtest.h>

namespace nml::host::files {
namespace {

TEST(RelationshipTarget, ResolvesAgainstTheSourceFolderOrTheRoot) {
  struct Case {
    const char* dir;
    const char* target;
    const char* part;
  } const cases[] = {
      {"xl/", "worksheets/sheet1.xml", "xl/worksheets/sheet1.xml"},
      {"xl/worksheets/", "../drawings/drawing1.xml", "xl/drawings/drawing1.xml"},
      {"xl/worksheets/", "/xl/media/a.png", "xl/media/a.png"},
      {"", "./xl//workbook.xml", "xl/workbook.xml"},
      {"xl/", "../../../docProps/app.xml", "docProps/app.xml"},  // never above the root
      {"xl/charts/", "..", "xl"},
  };
  for (const Case& c : cases) EXPECT_EQ(ResolveRelationshipTarget(c.dir, c.target), c.part) << c.dir << c.target;
}

}  // namespace
}  // namespace nml::host::files
