#include "host/files/temp_file.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "host/files/file_errors.h"

namespace nml::host::files {
namespace {

// Paths of the temporary files that exist now, for the signal handler. A
// slot is claimed and released with atomic exchanges; the handler only reads
// them and calls unlink, which may be called in a signal handler.
constexpr std::size_t kSlots = 64;
std::array<std::atomic<char*>, kSlots> gPaths{};

void RemoveOnSignal(int signal) {
  for (std::atomic<char*>& slot : gPaths) {
    if (char* path = slot.load()) ::unlink(path);
  }
  // Then end the process the way the signal would have.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

/// Installs the handler for SIGINT and SIGTERM where the process keeps their
/// default action (a handler of the application's own stays in charge).
void InstallHandlers() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (const int signal : {SIGINT, SIGTERM}) {
      struct sigaction current {};
      if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
      struct sigaction action {};
      action.sa_handler = &RemoveOnSignal;
      sigemptyset(&action.sa_mask);
      ::sigaction(signal, &action, nullptr);
    }
  });
}

int Claim(const std::string& path) {
  InstallHandlers();
  char* copy = ::strdup(path.c_str());
  if (!copy) return -1;
  for (std::size_t i = 0; i < kSlots; ++i) {
    char* expected = nullptr;
    if (gPaths[i].compare_exchange_strong(expected, copy)) return static_cast<int>(i);
  }
  std::free(copy);  // more saves at once than slots: this one is only removed by its owner
  return -1;
}

void Release(int slot) {
  if (slot >= 0) std::free(gPaths[static_cast<std::size_t>(slot)].exchange(nullptr));
}

}  // namespace

TempFile::TempFile(const std::string& folder, const std::string& displayName) : displayName_(displayName) {
  std::string pattern = (folder.empty() ? std::string(".") : folder) + "/.nmlcorr-XXXXXX.tmp";
  fd_ = ::mkostemps(pattern.data(), 4, O_CLOEXEC);
  if (fd_ < 0)
    RaiseFileError(kWriteFailed, "cannot write " + displayName + ": cannot create a temporary file in " +
                                     (folder.empty() ? std::string(".") : folder) + ": " + std::strerror(errno));
  path_ = pattern;
  slot_ = Claim(path_);
}

TempFile::~TempFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!path_.empty()) ::unlink(path_.c_str());
  Release(slot_);
}

void TempFile::Close() {
  if (fd_ < 0) return;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && errno != EINTR)
    RaiseFileError(kWriteFailed, "cannot write " + displayName_ + ": " + std::strerror(errno));
}

void TempFile::Keep() {
  Release(slot_);
  slot_ = -1;
  path_.clear();
}

}  // namespace nml::host::files
