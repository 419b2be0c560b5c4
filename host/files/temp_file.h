// Temporary files the writer creates: named ".nmlcorr-XXXXXX.tmp" whatever
// the name of the file they become (so that a name near the file system's
// limit still has room, and a leftover is recognisable as ours), removed when
// their owner goes out of scope, and removed as well when the process is
// ended by SIGINT or SIGTERM while they exist.
#pragma once

#include <string>

namespace nml::host::files {

class TempFile {
 public:
  /// Creates a new, empty file in folder (mode 0600), open for writing.
  /// Raises kWriteFailed, naming displayName, when the file cannot be created.
  TempFile(const std::string& folder, const std::string& displayName);
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  const std::string& Path() const { return path_; }
  int Descriptor() const { return fd_; }
  /// Closes the descriptor; raises kWriteFailed when the close reports an error.
  void Close();
  /// The file is no longer removed (after it was renamed into place).
  void Keep();

 private:
  std::string path_;
  std::string displayName_;
  int fd_ = -1;
  int slot_ = -1;
};

}  // namespace nml::host::files
