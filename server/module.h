// What the library as a whole keeps: how many of its objects are alive, how
// many server locks are held, and the text of the last failure.
#pragma once

#include <cstdint>
#include <string>

#include "server/com_abi.h"

namespace nml::server {

/// Counts an object made by the library (an analysis object or a class
/// factory) from its construction to its destruction.
void ObjectCreated();
void ObjectDestroyed();

/// IClassFactory::LockServer.
void LockServer(bool lock);

/// True while an object or a lock keeps the library in use.
bool InUse();

/// The description given by NmlServerLastError.
void SetLastErrorText(std::string text);
const std::string& LastErrorText();

/// The HRESULT that carries an error number of the component: numbers that
/// are already HRESULTs (the component's own 0x80040000 + code) as they are,
/// the runtime's small numbers n as 0x800A0000 + n, anything else E_FAIL.
HRESULT HResultOfErrorNumber(std::int32_t number);

/// For a catch (...) block: the exception in flight as an HRESULT, its text
/// kept for NmlServerLastError. An nml::Error gives HResultOfErrorNumber of its
/// number and its description (followed by " (source)" when withSource and a
/// source is known), std::bad_alloc E_OUTOFMEMORY, anything else `otherwise`.
HRESULT HResultOfCurrentException(HRESULT otherwise, bool withSource);

}  // namespace nml::server
