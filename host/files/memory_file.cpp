#include "host/files/memory_file.h"

#include <sys/mman.h>
#include <unistd.h>

#include <utility>

namespace nml::host::files {

MemoryFile::MemoryFile(int fd) : fd_(fd), path_("/proc/self/fd/" + std::to_string(fd)) {}

MemoryFile::MemoryFile(MemoryFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

MemoryFile::~MemoryFile() {
  if (fd_ >= 0) ::close(fd_);
}

std::optional<MemoryFile> MemoryFile::Create() {
  const int fd = ::memfd_create("nmlcorr", MFD_CLOEXEC);
  if (fd < 0) return std::nullopt;
  MemoryFile file(fd);
  if (::access(file.Path().c_str(), R_OK | W_OK) != 0) return std::nullopt;
  return file;
}

}  // namespace nml::host::files
