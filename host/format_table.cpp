#include "host/format_table.h"

#include <tuple>

#include "nmlcorrelation/error.h"

namespace nml::host {

bool FormatTable::Less::operator()(const CellFormat& a, const CellFormat& b) const {
  return std::tie(a.bold, a.border, a.fillColorIndex, a.horizontalAlignment, a.numberFormat, a.fontSize) <
         std::tie(b.bold, b.border, b.fillColorIndex, b.horizontalAlignment, b.numberFormat, b.fontSize);
}

FormatTable::FormatTable() {
  formats_.push_back(CellFormat{});  // id 0
  formats_.push_back(CellFormat{});  // kPlainId, never handed out by Intern
  index_.emplace(CellFormat{}, 0);
}

std::uint32_t FormatTable::Intern(const CellFormat& format) {
  auto it = index_.find(format);
  if (it != index_.end()) return it->second;
  const auto id = static_cast<std::uint32_t>(formats_.size());
  formats_.push_back(format);
  index_.emplace(format, id);
  return id;
}

const CellFormat& FormatTable::Get(std::uint32_t id) const {
  if (id >= formats_.size()) Raise(rt::kSubscriptOutOfRange);
  return formats_[id];
}

}  // namespace nml::host

namespace nml::host {

std::uint32_t EffectiveFormatId(std::uint32_t own, std::uint32_t sheetDefault) {
  const std::uint32_t id = own != 0 ? own : sheetDefault;
  return id == FormatTable::kPlainId ? 0 : id;
}

std::uint32_t OwnFormatId(std::uint32_t effective, std::uint32_t sheetDefault) {
  if (effective == FormatTable::kPlainId) effective = 0;
  if (sheetDefault == FormatTable::kPlainId) sheetDefault = 0;
  if (effective == sheetDefault) return 0;
  return effective == 0 ? FormatTable::kPlainId : effective;
}

}  // namespace nml::host
