#include "host/files/zip_package_writer.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "common/parallel.h"
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
// Text deflated as one piece: large enough that the sync flush and the fresh
// start of each piece cost little (well under 0.1% of the output), small
// enough that a few pieces per thread stay in memory at once.
constexpr std::size_t kPieceSize = std::size_t{1} << 18;
constexpr std::size_t kWindowSize = std::size_t{1} << 15;  // deflate looks back this far

/// A piece of a part's text deflated on its own: its compressed bytes and
/// the CRC-32 of its text.
struct DeflatedPiece {
  std::string bytes;
  std::uint32_t crc = 0;
  bool failed = false;
};

/// Deflates text primed with the text before it; the last piece of a part
/// finishes the stream, the others end on a byte boundary.
DeflatedPiece DeflatePiece(std::string_view window, std::string_view text, bool last) {
  DeflatedPiece piece;
  piece.crc = static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())));
  z_stream stream{};
  if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    piece.failed = true;
    return piece;
  }
  if (!window.empty() && deflateSetDictionary(&stream, reinterpret_cast<const Bytef*>(window.data()),
                                              static_cast<uInt>(window.size())) != Z_OK)
    piece.failed = true;
  // Room for the worst case plus the flush marker, so one call does it all.
  piece.bytes.resize(deflateBound(&stream, static_cast<uLong>(text.size())) + 16);
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(piece.bytes.data());
  stream.avail_out = static_cast<uInt>(piece.bytes.size());
  const int status = piece.failed ? Z_STREAM_ERROR : deflate(&stream, last ? Z_FINISH : Z_SYNC_FLUSH);
  if (last ? status != Z_STREAM_END : (status != Z_OK || stream.avail_in != 0 || stream.avail_out == 0))
    piece.failed = true;
  piece.bytes.resize(piece.bytes.size() - stream.avail_out);
  deflateEnd(&stream);
  return piece;
}

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
  pending_.clear();
  window_.clear();
  WriteLocalHeader(record);
  records_.push_back(std::move(record));
  open_ = true;
}

// Deflates the whole pieces of pending_ (and with last, the rest too, as the
// part's final piece), several at a time on the program's threads, and puts
// their bytes in order.
void ZipPackageWriter::DeflatePending(bool last) {
  Record& record = records_.back();
  const std::size_t whole = pending_.size() / kPieceSize;
  const std::size_t count = whole + (last ? 1 : 0);
  if (count == 0) return;
  std::vector<DeflatedPiece> pieces(count);
  const std::string_view text(pending_);
  ParallelFor(count, [&](std::size_t i) {
    const std::size_t begin = i * kPieceSize;
    const std::string_view piece = text.substr(begin, i < whole ? kPieceSize : std::string_view::npos);
    const std::size_t back = std::min(begin, kWindowSize);
    const std::string_view window = i == 0 ? std::string_view(window_) : text.substr(begin - back, back);
    pieces[i] = DeflatePiece(window, piece, i == whole);
  });
  for (std::size_t i = 0; i < count; ++i) {
    if (pieces[i].failed) Fail("compression failed");
    const std::size_t length = i < whole ? kPieceSize : pending_.size() - whole * kPieceSize;
    record.crc = static_cast<std::uint32_t>(crc32_combine(record.crc, pieces[i].crc, static_cast<z_off_t>(length)));
    record.compressedSize += pieces[i].bytes.size();
    Put(pieces[i].bytes);
    pieces[i].bytes = std::string();
  }
  // The text before the next piece primes it.
  const std::size_t used = whole * kPieceSize;
  if (used > 0) {
    const std::size_t keep = std::min(used, kWindowSize);
    window_.assign(pending_, used - keep, keep);
    pending_.erase(0, used);
  }
}

void ZipPackageWriter::Write(std::string_view bytes) {
  if (!open_) Fail("no part is open");
  // A few pieces per thread go out at once, so that every thread has work.
  const std::size_t batch = kPieceSize * 2 * std::max(1u, ThreadCount());
  while (!bytes.empty()) {
    const std::size_t n = std::min(bytes.size(), batch - std::min(batch, pending_.size()));
    pending_.append(bytes.data(), n);
    bytes.remove_prefix(n);
    records_.back().size += n;
    if (pending_.size() >= batch) DeflatePending(false);
  }
}

void ZipPackageWriter::EndPart() {
  if (!open_) Fail("no part is open");
  DeflatePending(true);
  pending_ = std::string();
  window_ = std::string();
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
