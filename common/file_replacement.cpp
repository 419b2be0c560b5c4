#include "common/file_replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace nml {

FileReplacement::FileReplacement(std::string target) : target_(std::move(target)) {}

FileReplacement::~FileReplacement() {
  if (fd_ >= 0) ::close(fd_);
  if (!temp_.empty() && !committed_) ::unlink(temp_.c_str());
}

bool FileReplacement::Fail(Step step, int error) {
  failedStep_ = step;
  errno_ = error;
  return false;
}

bool FileReplacement::Open() {
  const std::filesystem::path target(target_);
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  // A short name of its own rather than one derived from the target's, which
  // may already be as long as a file name can be.
  std::string pattern = (folder / ".nmlcorr-XXXXXX.tmp").string();
  fd_ = ::mkstemps(pattern.data(), 4);
  if (fd_ < 0) return Fail(Step::kCreate, errno);
  temp_ = std::move(pattern);
  return true;
}

bool FileReplacement::Write(std::string_view text) {
  while (!text.empty()) {
    const ssize_t put = ::write(fd_, text.data(), text.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      return Fail(Step::kWrite, errno);
    }
    text.remove_prefix(static_cast<std::size_t>(put));
  }
  return true;
}

bool FileReplacement::Commit() {
  // mkstemp makes the file private; it gets the mode the target has or a new
  // file would get.
  struct stat old {};
  mode_t mode;
  if (::stat(target_.c_str(), &old) == 0) {
    mode = old.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  // Content written by path through another descriptor reaches the disk by
  // this one too: fsync flushes the file, not the descriptor.
  if (::fchmod(fd_, mode) != 0 || ::fsync(fd_) != 0) return Fail(Step::kFlush, errno);
  const int closed = ::close(fd_);
  fd_ = -1;
  if (closed != 0) return Fail(Step::kFlush, errno);
  if (::rename(temp_.c_str(), target_.c_str()) != 0) return Fail(Step::kReplace, errno);
  committed_ = true;
  // The rename itself lasts once the folder's entry is on disk.
  std::filesystem::path folder = std::filesystem::path(target_).parent_path();
  if (folder.empty()) folder = ".";
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace nml
