// The automation object of class clsCorrelation: a reference-counted
// IDispatch whose members are those of the dispatch table, each driving the
// component's clsCorrelation by the same name.
#pragma once

#include "server/com_abi.h"

namespace nml::server {

/// A new object, asked for interface riid (IUnknown, IDispatch or
/// _clsCorrelation). An error raised while the component builds its object
/// comes back as its HRESULT, with NmlServerLastError describing it.
HRESULT CreateCorrelationObject(REFIID riid, void** ppv);

}  // namespace nml::server
