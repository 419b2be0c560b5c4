// Writing a zip package (the container of an .xlsx workbook) to an open file:
// parts deflated at zlib's fastest level, or carried over byte for byte from
// another package, with every write checked.
//
// A large part is deflated in pieces of a fixed size on several threads: each
// piece is compressed on its own, primed with the 32 KiB of text before it,
// and ends on a byte boundary (a sync flush), so that the pieces joined make
// one deflate stream. The pieces are cut by the part's length alone, so the
// file's bytes are the same whatever the thread count.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/files/zip_archive.h"

namespace nml::host::files {

class ZipPackageWriter {
 public:
  /// Writes to fd, a regular file open for writing at offset 0 (the writer
  /// patches part headers in place); displayName names the file in errors.
  ZipPackageWriter(int fd, std::string displayName);
  ZipPackageWriter(const ZipPackageWriter&) = delete;
  ZipPackageWriter& operator=(const ZipPackageWriter&) = delete;

  /// Starts a deflated part; its bytes follow through Write. sizeHint is the
  /// most the part will hold (a larger part gets the 64-bit size fields).
  void BeginPart(std::string_view name, std::uint64_t sizeHint);
  void Write(std::string_view bytes);
  void EndPart();

  /// Adds a part of another package with its compressed bytes unchanged
  /// (stored and deflated entries; an encrypted one raises kCorruptArchive).
  void CopyPart(const ZipArchive& from, const ZipEntry& entry);

  /// Writes the central directory and flushes; syncing and closing fd are the
  /// caller's. Any failed write raises kWriteFailed.
  void Finish();

 private:
  struct Record {
    std::string name;
    std::uint16_t method = 8;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0, size = 0, offset = 0;
    bool zip64 = false;  // the local header carries 64-bit sizes
  };
  void WriteLocalHeader(Record& record);
  void PatchLocalHeader(const Record& record);
  void Put(std::string_view bytes);
  void Flush();
  void DeflatePending(bool last);
  [[noreturn]] void Fail(const std::string& what) const;

  int fd_;
  std::string displayName_;
  std::uint64_t position_ = 0;  // bytes handed to Put so far
  std::string buffer_;
  std::vector<Record> records_;
  std::string pending_;  // text of the open part not deflated yet
  std::string window_;   // the 32 KiB of text before pending_
  bool open_ = false;
};

}  // namespace nml::host::files
