// Saving a workbook into the package it was read from: every part of that
// package is carried over byte for byte (charts, images, comments, pivot
// tables, VBA, parts of unknown kind), and only the sheets the save adds come
// from the newly written package, renamed where their names would collide.
// The parts that must list the new sheets (content types, the workbook part
// and its relationships) and the styles, which gain the new sheets' cell
// formats appended after the source's own, are merged.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "host/files/zip_archive.h"
#include "host/files/zip_package_writer.h"

namespace nml::host::files {

class PackageMerge {
 public:
  /// Plans the merge of ours (a package written from the whole workbook, one
  /// sheet part per sheet) into source: the sheets of ours whose names the
  /// source does not have are the new ones. Returns std::nullopt, with the
  /// reason in why, for a source whose workbook, sheet list or styles cannot
  /// be found or read.
  static std::optional<PackageMerge> Plan(ZipArchive& source, ZipArchive& ours, std::string& why);

  /// True when the source is a macro-enabled workbook (its file must be named .xlsm).
  bool MacroEnabled() const { return macroEnabled_; }

  /// The name a part of ours gets in the merged package; nullptr for a part
  /// left out (it is the source's part that is kept).
  const std::string* NewName(const std::string& ourPart) const;
  /// True for the sheet part of a new sheet, whose cell formats are shifted.
  bool IsNewSheet(const std::string& ourPart) const { return newSheets_.count(ourPart) != 0; }
  /// A part of ours as it goes into the merged package: a new sheet with its
  /// cell formats shifted, relationships pointing at the renamed parts.
  std::string Rewrite(const std::string& ourPart, std::string xml) const;
  /// Sheet XML, whole tags only, with the format indices of its cells, rows
  /// and columns shifted past the source's formats.
  std::string ShiftStyles(std::string_view xml) const;

  /// Writes every part of source: unchanged, except the merged parts and the
  /// source sheets that lose their selected tab to the new active sheet.
  void WriteSource(ZipArchive& source, ZipPackageWriter& out) const;

  /// Exposed for tests: the source's styles with ours appended, and the
  /// offset that our cell format indices get.
  static std::optional<std::string> MergeStyles(const std::string& source, const std::string& ours,
                                                std::uint32_t& xfOffset);

 private:
  PackageMerge() = default;

  std::map<std::string, std::string> newNames_;  // our part -> merged name
  std::set<std::string> newSheets_;
  std::uint32_t xfOffset_ = 0;
  bool macroEnabled_ = false;
  // Lower-cased source part names and what they become.
  std::map<std::string, std::string> mergedParts_;
  std::set<std::string> deselect_;  // lower-cased source sheets whose tab is no longer the selected one
};

}  // namespace nml::host::files
