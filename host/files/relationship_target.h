// Part names of an .xlsx package: the part a relationship points at, a
// part's folder and the part holding its relationships.
#pragma once

#include <string>
#include <string_view>

namespace nml::host::files {

/// A relationship's target made a part name (an archive entry name, without a
/// leading slash): an absolute target starts at the package root, a relative
/// one at sourceDir (the folder of the part the relationship belongs to, with
/// its trailing slash, or empty for the root); "." segments are dropped and
/// ".." removes the segment before it (never climbing above the root).
std::string ResolveRelationshipTarget(std::string_view sourceDir, std::string_view target);

/// The folder of a part, with its trailing slash ("xl/" for
/// "xl/workbook.xml"), or empty for a part at the root.
std::string PartFolder(std::string_view part);

/// The part holding a part's relationships ("xl/_rels/workbook.xml.rels").
std::string RelationshipsPartOf(std::string_view part);

}  // namespace nml::host::files
