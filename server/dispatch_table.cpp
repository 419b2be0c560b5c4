#include "server/dispatch_table.h"

#include <array>

#include "server/nmlcorrelation_server.h"

namespace nml::server {
namespace {

constexpr WORD kPut = DISPATCH_PROPERTYPUT;
constexpr WORD kCall = DISPATCH_METHOD;

constexpr std::array<MemberRow, 10> kMembers{{
    {Member::kHeaders, "Headers", kPut, "YesNo", "VARIANT_BOOL", VT_BOOL, false},
    {Member::kMethod, "Method", kPut, "Meth", "nmlCorrelationMethod", VT_I4, false},
    {Member::kDescriptives, "Descriptives", kPut, "YesNo", "VARIANT_BOOL", VT_BOOL, false},
    {Member::kStandardised, "Standardised", kPut, "YesNo", "VARIANT_BOOL", VT_BOOL, false},
    {Member::kRaw, "Raw", kPut, "YesNo", "VARIANT_BOOL", VT_BOOL, false},
    {Member::kPlots, "Plots", kPut, "YesNo", "VARIANT_BOOL", VT_BOOL, false},
    {Member::kYRange, "YRange", kPut, "VR", "BSTR", VT_BSTR, false},
    {Member::kXRange, "XRange", kPut, "VR", "BSTR", VT_BSTR, false},
    {Member::kOutputRange, "OutputRange", kPut, "Value", "BSTR", VT_BSTR, false},
    {Member::kResults, "Results", kCall, "OverWrite", "VARIANT_BOOL", VT_BOOL, true},
}};

// ASCII case-insensitive comparison of a caller's UTF-16 name with ours.
bool SameName(const OLECHAR* theirs, const char* ours) {
  const auto lower = [](unsigned c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; };
  std::size_t k = 0;
  for (; ours[k] != 0; ++k) {
    if (theirs[k] == 0 || lower(theirs[k]) != lower(static_cast<unsigned char>(ours[k]))) return false;
  }
  return theirs[k] == 0;
}

}  // namespace

std::span<const MemberRow> MemberTable() { return kMembers; }

const MemberRow* FindMember(DISPID id) {
  for (const MemberRow& row : kMembers)
    if (static_cast<DISPID>(row.member) == id) return &row;
  return nullptr;
}

const MemberRow* FindMember(const OLECHAR* name) {
  if (!name) return nullptr;
  for (const MemberRow& row : kMembers)
    if (SameName(name, row.name)) return &row;
  return nullptr;
}

DISPID FindParameter(const MemberRow& row, const OLECHAR* name) {
  return name && SameName(name, row.paramName) ? 0 : DISPID_UNKNOWN;
}

}  // namespace nml::server

extern "C" NMLSERVER_API HRESULT NmlServerGetMember(UINT index, NmlMemberInfo* info) {
  if (!info) return E_POINTER;
  const auto table = nml::server::MemberTable();
  if (index >= table.size()) return DISP_E_BADINDEX;
  const auto& row = table[index];
  info->name = row.name;
  info->dispid = static_cast<DISPID>(row.member);
  info->invokeKind = row.invokeKind;
  info->paramName = row.paramName;
  info->paramTypeName = row.paramTypeName;
  info->paramType = row.paramType;
  info->paramOptional = row.paramOptional ? 1 : 0;
  return S_OK;
}
