// The worksheet host inside the library: a client opens its data file here
// before it drives clsCorrelation, as a user opens a workbook in the
// spreadsheet, and saves the workbook with the pasted report afterwards.
#include <exception>
#include <new>
#include <string>

#include "nmlcorrelation/error.h"
#include "nmlcorrelation/workbook.h"
#include "server/module.h"
#include "server/nmlcorrelation_server.h"

namespace nml::server {
namespace {

// Runs work; an error becomes its HRESULT and the last error text.
template <class Work>
HRESULT HostCall(const char* path, Work&& work) {
  if (!path) {
    SetLastErrorText("no file path given");
    return E_POINTER;
  }
  try {
    work(std::string(path));
    SetLastErrorText({});
    return S_OK;
  } catch (...) {
    return HResultOfCurrentException(E_FAIL, false);
  }
}

}  // namespace
}  // namespace nml::server

extern "C" NMLSERVER_API HRESULT NmlHostOpenWorkbook(const char* path) {
  return nml::server::HostCall(path, [](const std::string& file) { nml::Host::Open(file); });
}

extern "C" NMLSERVER_API HRESULT NmlHostSaveWorkbook(const char* path) {
  return nml::server::HostCall(path, [](const std::string& file) { nml::Host::Save(file); });
}

extern "C" NMLSERVER_API void NmlHostReset(void) {
  try {
    nml::Host::Reset();
  } catch (...) {
    // Dropping the workbooks releases memory only; nothing is left to report.
  }
  nml::server::SetLastErrorText({});
}
