#include "host/files/zip_package_writer.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "host/files/file_errors.h"

namespace nml::host::files {
namespace {

constexpr std::uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr std::uint32_t kCentralHeaderSignature = 0x02014b50;
constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint16_t kZip64ExtraTag = 0x0001;
constexpr std::uint32_t kMax32 = 0xFFFFFFFFu;
constexpr std::uint16_t kMax16 = 0xFFFFu;
constexpr std::uint16_t kDosDate1980 = (1 << 5) | 1;  // 1 January 1980, the date the spreadsheet itself writes
constexpr std::uint16_t kUtf8NameFlag = 1 << 11;
constexpr std::size_t kBufferSize = std::size_t{1} << 20;

void Put16(std::string& out, std::uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}
void Put32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void Put64(std::string& out, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::uint16_t NameFlags(const std::string& name) {
  for (const char c : name)
    if (static_cast<unsigned char>(c) >= 0x80) return kUtf8NameFlag;
  return 0;
}

}  // namespace

ZipPackageWriter::ZipPackageWriter(int fd, std::string displayName) : fd_(fd), displayName_(std::move(displayName)) {
  buffer_.reserve(kBufferSize);
}

ZipPackageWriter::~ZipPackageWriter() {
  if (stream_) {
    deflateEnd(stream_);
    delete stream_;
  }
}

void ZipPackageWriter::Fail(const std::string& what) const {
  RaiseFileError(kWriteFailed, "cannot write " + displayName_ + ": " + what);
}

void ZipPackageWriter::Put(std::string_view bytes) {
  position_ += bytes.size();
  while (!bytes.empty()) {
    const std::size_t room = kBufferSize - buffer_.size();
    const std::size_t n = std::min(room, bytes.size());
    buffer_.append(bytes.data(), n);
    bytes.remove_prefix(n);
    if (buffer_.size() == kBufferSize) Flush();
  }
}

void ZipPackageWriter::Flush() {
  std::size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail(n < 0 ? std::strerror(errno) : "nothing written");
    done += static_cast<std::size_t>(n);
  }
  buffer_.clear();
}

void ZipPackageWriter::WriteLocalHeader(Record& record) {
  record.offset = position_;
  std::string header;
  Put32(header, kLocalHeaderSignature);
  Put16(header, record.zip64 ? 45 : 20);
  Put16(header, NameFlags(record.name));
  Put16(header, record.method);
  Put16(header, 0);
  Put16(header, kDosDate1980);
  Put32(header, record.crc);
  Put32(header, record.zip64 ? kMax32 : static_cast<std::uint32_t>(record.compressedSize));
  Put32(header, record.zip64 ? kMax32 : static_cast<std::uint32_t>(record.size));
  Put16(header, static_cast<std::uint16_t>(record.name.size()));
  Put16(header, record.zip64 ? 20 : 0);
  header += record.name;
  if (record.zip64) {
    Put16(header, kZip64ExtraTag);
    Put16(header, 16);
    Put64(header, record.size);
    Put64(header, record.compressedSize);
  }
  Put(header);
}

void ZipPackageWriter::PatchLocalHeader(const Record& record) {
  Flush();
  std::string sizes;
  Put32(sizes, record.crc);
  if (!record.zip64) {
    Put32(sizes, static_cast<std::uint32_t>(record.compressedSize));
    Put32(sizes, static_cast<std::uint32_t>(record.size));
  }
  auto patch = [&](const std::string& bytes, std::uint64_t at) {
    const ssize_t n = ::pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(at));
    if (n != static_cast<ssize_t>(bytes.size())) Fail(n < 0 ? std::strerror(errno) : "short write");
  };
  patch(sizes, record.offset + 14);
  if (record.zip64) {
    std::string extra;
    Put64(extra, record.size);
    Put64(extra, record.compressedSize);
    patch(extra, record.offset + 30 + record.name.size() + 4);
  }
}

void ZipPackageWriter::BeginPart(std::string_view name, std::uint64_t sizeHint) {
  if (open_) Fail("a part is still open");
  if (name.empty() || name.size() > kMax16) Fail("the part name \"" + std::string(name) + "\" is not valid");
  Record record;
  record.name = std::string(name);
  record.method = Z_DEFLATED;
  // deflate can grow incompressible data by a few bytes per block.
  record.zip64 = sizeHint >= kMax32 - (sizeHint >> 10) - 1024;
  if (!stream_) {
    stream_ = new z_stream_s{};
    if (deflateInit2(stream_, Z_BEST_SPEED, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
      delete stream_;
      stream_ = nullptr;
      Fail("out of memory");
    }
  } else if (deflateReset(stream_) != Z_OK) {
    Fail("the compressor cannot be reset");
  }
  WriteLocalHeader(record);
  records_.push_back(std::move(record));
  open_ = true;
}

void ZipPackageWriter::Deflate(std::string_view bytes, int flush) {
  Record& record = records_.back();
  deflated_.resize(std::size_t{1} << 18);
  stream_->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream_->avail_in = static_cast<uInt>(bytes.size());
  for (;;) {
    stream_->next_out = reinterpret_cast<Bytef*>(deflated_.data());
    stream_->avail_out = static_cast<uInt>(deflated_.size());
    const int status = deflate(stream_, flush);
    if (status == Z_STREAM_ERROR) Fail("compression failed");
    const std::size_t produced = deflated_.size() - stream_->avail_out;
    record.compressedSize += produced;
    Put(std::string_view(deflated_.data(), produced));
    if (flush == Z_FINISH ? status == Z_STREAM_END : (stream_->avail_in == 0 && stream_->avail_out != 0)) break;
  }
}

void ZipPackageWriter::Write(std::string_view bytes) {
  if (!open_) Fail("no part is open");
  Record& record = records_.back();
  constexpr std::size_t kPiece = std::size_t{1} << 30;  // zlib counts in 32 bits
  while (!bytes.empty()) {
    const std::string_view piece = bytes.substr(0, kPiece);
    record.crc = static_cast<std::uint32_t>(
        crc32(record.crc, reinterpret_cast<const Bytef*>(piece.data()), static_cast<uInt>(piece.size())));
    record.size += piece.size();
    Deflate(piece, Z_NO_FLUSH);
    bytes.remove_prefix(piece.size());
  }
}

void ZipPackageWriter::EndPart() {
  if (!open_) Fail("no part is open");
  Deflate({}, Z_FINISH);
  open_ = false;
  const Record& record = records_.back();
  if (!record.zip64 && (record.size >= kMax32 || record.compressedSize >= kMax32))
    Fail(record.name + " grew past the size its header allows");
  PatchLocalHeader(record);
}

void ZipPackageWriter::CopyPart(const ZipArchive& from, const ZipEntry& entry) {
  if (open_) Fail("a part is still open");
  if (entry.encrypted || (entry.method != 0 && entry.method != Z_DEFLATED))
    RaiseFileError(kCorruptArchive, from.DisplayName() + ": " + entry.name + " is encrypted or compressed in a way "
                                                                            "this program does not copy");
  Record record;
  record.name = entry.name;
  record.method = entry.method;
  record.crc = entry.crc;
  record.size = entry.size;
  record.compressedSize = entry.compressedSize;
  record.zip64 = entry.size >= kMax32 || entry.compressedSize >= kMax32;
  WriteLocalHeader(record);
  from.ReadStored(entry, [&](std::string_view bytes) { Put(bytes); });
  records_.push_back(std::move(record));
}

void ZipPackageWriter::Finish() {
  if (open_) Fail("a part is still open");
  const std::uint64_t directoryStart = position_;
  for (const Record& r : records_) {
    const bool bigSize = r.zip64 || r.size >= kMax32 || r.compressedSize >= kMax32;
    const bool bigOffset = r.offset >= kMax32;
    std::string extra;
    if (bigSize || bigOffset) {
      Put16(extra, kZip64ExtraTag);
      Put16(extra, static_cast<std::uint16_t>((bigSize ? 16 : 0) + (bigOffset ? 8 : 0)));
      if (bigSize) {
        Put64(extra, r.size);
        Put64(extra, r.compressedSize);
      }
      if (bigOffset) Put64(extra, r.offset);
    }
    std::string header;
    Put32(header, kCentralHeaderSignature);
    Put16(header, 45);
    Put16(header, (bigSize || bigOffset) ? 45 : 20);
    Put16(header, NameFlags(r.name));
    Put16(header, r.method);
    Put16(header, 0);
    Put16(header, kDosDate1980);
    Put32(header, r.crc);
    Put32(header, bigSize ? kMax32 : static_cast<std::uint32_t>(r.compressedSize));
    Put32(header, bigSize ? kMax32 : static_cast<std::uint32_t>(r.size));
    Put16(header, static_cast<std::uint16_t>(r.name.size()));
    Put16(header, static_cast<std::uint16_t>(extra.size()));
    Put16(header, 0);  // comment
    Put16(header, 0);  // disk
    Put16(header, 0);  // internal attributes
    Put32(header, 0);  // external attributes
    Put32(header, bigOffset ? kMax32 : static_cast<std::uint32_t>(r.offset));
    header += r.name;
    header += extra;
    Put(header);
  }
  const std::uint64_t directorySize = position_ - directoryStart;
  const std::uint64_t count = records_.size();
  const bool zip64 = count >= kMax16 || directoryStart >= kMax32 || directorySize >= kMax32;
  std::string end;
  if (zip64) {
    const std::uint64_t zip64End = position_;
    Put32(end, kZip64EndSignature);
    Put64(end, 44);
    Put16(end, 45);
    Put16(end, 45);
    Put32(end, 0);
    Put32(end, 0);
    Put64(end, count);
    Put64(end, count);
    Put64(end, directorySize);
    Put64(end, directoryStart);
    Put32(end, kZip64LocatorSignature);
    Put32(end, 0);
    Put64(end, zip64End);
    Put32(end, 1);
  }
  Put32(end, kEndSignature);
  Put16(end, 0);
  Put16(end, 0);
  Put16(end, zip64 ? kMax16 : static_cast<std::uint16_t>(count));
  Put16(end, zip64 ? kMax16 : static_cast<std::uint16_t>(count));
  Put32(end, zip64 ? kMax32 : static_cast<std::uint32_t>(directorySize));
  Put32(end, zip64 ? kMax32 : static_cast<std::uint32_t>(directoryStart));
  Put16(end, 0);
  Put(end);
  Flush();
}

}  // namespace nml::host::files
