#include "server/module.h"

#include <atomic>
#include <new>
#include <string>

#include "nmlcorrelation/error.h"
#include "server/nmlcorrelation_server.h"

namespace nml::server {
namespace {

// Calls arrive on the spreadsheet's thread, but a client may release an
// object from another one; the counts are atomic so that DllCanUnloadNow
// never sees a torn value.
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

// Calls come one at a time on the application's thread. A plain global, not
// thread_local: a thread_local with a destructor would pin the library in
// memory after dlclose.
std::string g_lastError;

}  // namespace

void ObjectCreated() { g_objects.fetch_add(1, std::memory_order_relaxed); }
void ObjectDestroyed() { g_objects.fetch_sub(1, std::memory_order_acq_rel); }

void LockServer(bool lock) {
  if (lock) {
    g_locks.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  // An unbalanced unlock must not wrap the count below zero and keep the
  // library loaded for ever (or let it unload under a later lock).
  long current = g_locks.load(std::memory_order_relaxed);
  while (current > 0 && !g_locks.compare_exchange_weak(current, current - 1, std::memory_order_acq_rel)) {
  }
}

bool InUse() {
  return g_objects.load(std::memory_order_acquire) != 0 || g_locks.load(std::memory_order_acquire) != 0;
}

void SetLastErrorText(std::string text) { g_lastError = std::move(text); }
const std::string& LastErrorText() { return g_lastError; }

HRESULT HResultOfErrorNumber(std::int32_t number) {
  if (number < 0) return number;
  if (number > 0 && number <= 0xFFFF) return MAKE_HRESULT(1, FACILITY_CONTROL, number);
  return E_FAIL;
}

HRESULT HResultOfCurrentException(HRESULT otherwise, bool withSource) {
  try {
    throw;
  } catch (const Error& e) {
    std::string text = e.Description();
    if (withSource && !e.Source().empty()) text += " (" + e.Source() + ")";
    SetLastErrorText(std::move(text));
    return HResultOfErrorNumber(e.Number());
  } catch (const std::bad_alloc&) {
    SetLastErrorText(std::string(StandardDescription(rt::kOutOfMemory)));
    return E_OUTOFMEMORY;
  } catch (const std::exception& e) {
    SetLastErrorText(e.what());
    return otherwise;
  }
}

}  // namespace nml::server

extern "C" NMLSERVER_API HRESULT DllCanUnloadNow(void) { return nml::server::InUse() ? S_FALSE : S_OK; }

extern "C" NMLSERVER_API const char* NmlServerLastError(void) { return nml::server::LastErrorText().c_str(); }
