// The worksheet host inside the library: a client opens its data file here
// before it drives clsCorrelation, as a user opens a workbook in the
// spreadsheet, and saves the workbook with the pasted report afterwards.
#include <exception>
#include <new>
#include <string>

#include "host/application.h"
#include "host/files/open_workbook.h"
#include "host/files/xlsx_writer.h"
#include "support/host_link.h"
#include "nmlcorrelation/error.h"
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
  return nml::server::HostCall(path, [](const std::string& file) {
    // The application the component reaches through HostLink: the one in use,
    // or a new one (with the add-in workbook and its "Results" sheet open).
    nml::host::ApplicationRef app = nml::support::TheHostLink().Application();
    nml::files::OpenWorkbook(*app, file);
  });
}

extern "C" NMLSERVER_API HRESULT NmlHostSaveWorkbook(const char* path) {
  return nml::server::HostCall(path, [](const std::string& file) {
    nml::host::ApplicationRef app = nml::support::TheHostLink().Application();
    nml::files::SaveWorkbook(*app->ActiveWorkbook(), file);
  });
}

extern "C" NMLSERVER_API void NmlHostReset(void) {
  nml::support::TheHostLink().Detach();
  nml::server::SetLastErrorText({});
}
