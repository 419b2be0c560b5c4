#include "host/files/temp_file.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>

#include "host/files/file_errors.h"

namespace nml::host::files {
namespace {

// Paths of the temporary files that exist now, for the signal handler: fixed
// buffers (nothing is allocated or freed while the handler may read them),
// each with a state that is claimed and released with atomic operations. The
// handler only reads live slots and calls unlink, which may be called in a
// signal handler.
constexpr std::size_t kSlots = 64;
constexpr int kFree = 0, kFilling = 1, kLive = 2;
struct Slot {
  std::atomic<int> state{kFree};
  char path[PATH_MAX];
};
std::array<Slot, kSlots> gSlots;

void RemoveOnSignal(int signal) {
  for (Slot& slot : gSlots)
    if (slot.state.load() == kLive) ::unlink(slot.path);
  // Then end the process the way the signal would have.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

// The handler is in place only while temporary files exist, and only for a
// signal whose action is the default one (a handler of the application's own
// stays in charge): a library unloaded later leaves no handler behind.
constexpr std::array<int, 2> kSignals{SIGINT, SIGTERM};
std::mutex gHandlerMutex;
int gHandlerUsers = 0;
std::array<bool, 2> gInstalled{};

void AddHandlerUser() {
  const std::lock_guard<std::mutex> lock(gHandlerMutex);
  if (gHandlerUsers++ > 0) return;
  for (std::size_t i = 0; i < kSignals.size(); ++i) {
    struct sigaction current {};
    gInstalled[i] = false;
    if (::sigaction(kSignals[i], nullptr, &current) != 0 || (current.sa_flags & SA_SIGINFO) ||
        current.sa_handler != SIG_DFL)
      continue;
    struct sigaction action {};
    action.sa_handler = &RemoveOnSignal;
    sigemptyset(&action.sa_mask);
    gInstalled[i] = ::sigaction(kSignals[i], &action, nullptr) == 0;
  }
}

void DropHandlerUser() {
  const std::lock_guard<std::mutex> lock(gHandlerMutex);
  if (--gHandlerUsers > 0) return;
  for (std::size_t i = 0; i < kSignals.size(); ++i) {
    struct sigaction current {};
    if (gInstalled[i] && ::sigaction(kSignals[i], nullptr, &current) == 0 && !(current.sa_flags & SA_SIGINFO) &&
        current.sa_handler == &RemoveOnSignal)
      ::signal(kSignals[i], SIG_DFL);
    gInstalled[i] = false;
  }
}

int Claim(const std::string& path) {
  if (path.size() >= PATH_MAX) return -1;  // removed by its owner only
  for (std::size_t i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!gSlots[i].state.compare_exchange_strong(expected, kFilling)) continue;
    std::memcpy(gSlots[i].path, path.c_str(), path.size() + 1);
    gSlots[i].state.store(kLive);
    return static_cast<int>(i);
  }
  return -1;  // more saves at once than slots: this one is removed by its owner only
}

void Release(int slot) {
  if (slot >= 0) gSlots[static_cast<std::size_t>(slot)].state.store(kFree);
}

}  // namespace

TempFile::TempFile(const std::string& folder, const std::string& displayName) : displayName_(displayName) {
  std::string pattern = (folder.empty() ? std::string(".") : folder) + "/.nmlcorr-XXXXXX.tmp";
  fd_ = ::mkostemps(pattern.data(), 4, O_CLOEXEC);
  if (fd_ < 0)
    RaiseFileError(kWriteFailed, "cannot write " + displayName + ": cannot create a temporary file in " +
                                     (folder.empty() ? std::string(".") : folder) + ": " + std::strerror(errno));
  path_ = pattern;
  AddHandlerUser();
  slot_ = Claim(path_);
}

TempFile::~TempFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!path_.empty()) {
    ::unlink(path_.c_str());
    Release(slot_);
    DropHandlerUser();
  }
}

void TempFile::Close() {
  if (fd_ < 0) return;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && errno != EINTR)
    RaiseFileError(kWriteFailed, "cannot write " + displayName_ + ": " + std::strerror(errno));
}

void TempFile::Keep() {
  if (path_.empty()) return;
  Release(slot_);
  DropHandlerUser();
  slot_ = -1;
  path_.clear();
}

}  // namespace nml::host::files
