// The part a relationship of an .xlsx package points at.
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

}  // namespace nml::host::files
