// Replacing a file all at once: the new content goes to a temporary file
// beside the target, is flushed to disk, and only then renamed over the
// target (and the folder flushed), so the target holds either its old or its
// whole new content, even after a crash or a full disk.
//
//   FileReplacement out(path);
//   if (!out.Open() || !out.Write(text) || !out.Commit()) report(out.FailedStep(), out.Errno());
#pragma once

#include <string>
#include <string_view>

namespace nml {

class FileReplacement {
 public:
  enum class Step { kNone, kCreate, kWrite, kFlush, kReplace };

  explicit FileReplacement(std::string target);
  /// Removes the temporary file unless it was committed.
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  /// Creates the empty temporary file (".nmlcorr-XXXXXX.tmp" with a random
  /// middle, whatever the target is called, in the target's folder so that
  /// the rename stays on one file system). Another writer may write it by TemporaryPath() instead of Write.
  bool Open();
  const std::string& TemporaryPath() const { return temp_; }
  /// Appends text to the temporary file.
  bool Write(std::string_view text);
  /// Flushes the temporary file to disk, gives it the old target's mode (a
  /// new file's, 0666 less the umask, when there is none), renames it over
  /// the target and flushes the folder. On failure the target is untouched.
  bool Commit();

  /// The step that failed and its errno value.
  Step FailedStep() const { return failedStep_; }
  int Errno() const { return errno_; }

 private:
  bool Fail(Step step, int error);

  std::string target_;
  std::string temp_;
  int fd_ = -1;
  bool committed_ = false;
  Step failedStep_ = Step::kNone;
  int errno_ = 0;
};

}  // namespace nml
