// Writing a zip package (the container of an .xlsx workbook) to an open file:
// parts deflated at zlib's fastest level, or carried over byte for byte from
// another package, with every write checked.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/files/zip_archive.h"

struct z_stream_s;

namespace nml::host::files {

class ZipPackageWriter {
 public:
  /// Writes to fd, a regular file open for writing at offset 0 (the writer
  /// patches part headers in place); displayName names the file in errors.
  ZipPackageWriter(int fd, std::string displayName);
  ~ZipPackageWriter();
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
  void Deflate(std::string_view bytes, int flush);
  [[noreturn]] void Fail(const std::string& what) const;

  int fd_;
  std::string displayName_;
  std::uint64_t position_ = 0;  // bytes handed to Put so far
  std::string buffer_;
  std::vector<Record> records_;
  z_stream_s* stream_ = nullptr;  // the part being deflated
  std::string deflated_;
  bool open_ = false;
};

}  // namespace nml::host::files
