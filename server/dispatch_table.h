// The members of _clsCorrelation as the dispatch interface exposes them: one
// row per member, in the order of NMLCorrelation.idl, with its identifier,
// how it is invoked and its one argument. The rows are generated from the IDL
// at build time (server/dispatch_members.inc), so the two cannot disagree.
#pragma once

#include <cstddef>
#include <span>

#include "server/com_abi.h"

namespace nml::server {

enum class Member : DISPID {
#define NML_MEMBER(name, id, invokeKind, paramName, paramTypeName, optional) k##name = id,
#define NML_UUID(kind, text)
#include "server/dispatch_members.inc"
#undef NML_MEMBER
#undef NML_UUID
};

struct MemberRow {
  Member member;
  const char* name;
  WORD invokeKind;  // DISPATCH_PROPERTYPUT or DISPATCH_METHOD
  const char* paramName;
  const char* paramTypeName;  // as written in the type library
  VARTYPE paramType;          // the type the argument is coerced to
  bool paramOptional;
};

/// Every member, in declaration order.
std::span<const MemberRow> MemberTable();

/// The row of a DISPID, or nullptr.
const MemberRow* FindMember(DISPID id);

/// The row whose name equals name, ignoring case (names are ASCII), or nullptr.
const MemberRow* FindMember(const OLECHAR* name);

/// The argument identifier of a parameter name of row (ignoring case): 0 for
/// its one parameter, DISPID_UNKNOWN otherwise.
DISPID FindParameter(const MemberRow& row, const OLECHAR* name);

}  // namespace nml::server
