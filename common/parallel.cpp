#include "common/parallel.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace nml {

namespace {

std::atomic<unsigned> limit{0};

unsigned FromEnvironment() {
  const unsigned hardware = std::max(1u, std::thread::hardware_concurrency());
  const char* text = std::getenv("NML_THREADS");
  if (!text || !*text) return hardware;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (*end != '\0' || value < 1) return hardware;  // not a usable number: ignored
  return static_cast<unsigned>(std::min<long>(value, hardware));
}

}  // namespace

unsigned ThreadCount() {
  static const unsigned available = FromEnvironment();
  const unsigned cap = limit.load();
  return cap == 0 ? available : std::min(available, cap);
}

void SetThreadLimit(unsigned value) { limit.store(value); }

void ParallelFor(std::size_t tasks, const std::function<void(std::size_t)>& body) {
  const std::size_t threads = std::min<std::size_t>(ThreadCount(), tasks);
  if (threads <= 1) {
    for (std::size_t t = 0; t < tasks; ++t) body(t);
    return;
  }
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  std::exception_ptr error;
  std::mutex errorLock;
  auto work = [&] {
    for (std::size_t t = next++; t < tasks && !failed.load(); t = next++) {
      try {
        body(t);
      } catch (...) {
        const std::lock_guard<std::mutex> hold(errorLock);
        if (!error) error = std::current_exception();
        failed.store(true);
      }
    }
  };
  std::vector<std::thread> pool;
  pool.reserve(threads - 1);
  try {
    for (std::size_t i = 1; i < threads; ++i) pool.emplace_back(work);
  } catch (const std::system_error&) {
    // No more threads to be had: the ones started and this one finish the work.
  }
  work();
  for (std::thread& t : pool) t.join();
  if (error) std::rethrow_exception(error);
}

}  // namespace nml
