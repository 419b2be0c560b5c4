// A file that lives in memory only (Linux memfd), reachable by a path for
// code that insists on opening a file by name: its writes cannot run out of
// disk space, and nothing is left on disk however the process ends.
#pragma once

#include <optional>
#include <string>

namespace nml::host::files {

class MemoryFile {
 public:
  /// A new, empty memory file, or std::nullopt where the system offers none
  /// (no memfd, or no /proc to reach it by a path).
  static std::optional<MemoryFile> Create();
  ~MemoryFile();
  MemoryFile(MemoryFile&& other) noexcept;
  MemoryFile& operator=(MemoryFile&&) = delete;
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  /// "/proc/self/fd/N": opening it opens this file (valid while it exists).
  const std::string& Path() const { return path_; }

 private:
  explicit MemoryFile(int fd);
  int fd_ = -1;
  std::string path_;
};

}  // namespace nml::host::files
