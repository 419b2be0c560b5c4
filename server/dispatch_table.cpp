#include "server/dispatch_table.h"

#include <string_view>

#include "common/ascii_text.h"
#include "server/nmlcorrelation_server.h"
#include "server/ole_strings.h"

namespace nml::server {
namespace {

// The type an argument is coerced to, by its type name in the IDL:
// enumerations travel as 32-bit integers.
constexpr VARTYPE TypeOf(std::string_view idlType) {
  if (idlType == "VARIANT_BOOL") return VT_BOOL;
  if (idlType == "BSTR") return VT_BSTR;
  if (idlType == "nmlCorrelationMethod") return VT_I4;
  throw "an argument type of the IDL that the dispatch table does not know";  // fails the build
}

constexpr MemberRow kMembers[] = {
#define NML_MEMBER(name, id, invokeKind, paramName, paramTypeName, optional) \
  {Member::k##name, #name, invokeKind, paramName, paramTypeName, TypeOf(paramTypeName), optional},
#define NML_UUID(kind, text)
#include "server/dispatch_members.inc"
#undef NML_MEMBER
#undef NML_UUID
};

// A caller's UTF-16 name against ours, ignoring the case of ASCII letters.
bool SameName(const OLECHAR* theirs, const char* ours) {
  std::size_t length = 0;
  while (theirs[length] != 0) ++length;
  return EqualsIgnoringCase(Utf8FromUtf16(theirs, length), ours);
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
