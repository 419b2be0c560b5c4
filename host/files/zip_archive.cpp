#include "host/files/zip_archive.h"

#include <zip.h>

#include <cstdio>
#include <memory>

#include "host/files/file_errors.h"

namespace nml::host::files {
namespace {

struct ErrorHolder {
  zip_error_t error;
  ErrorHolder() { zip_error_init(&error); }
  ~ErrorHolder() { zip_error_fini(&error); }
  ErrorHolder(const ErrorHolder&) = delete;
  ErrorHolder& operator=(const ErrorHolder&) = delete;
};

/// Opens an archive over a source (taking it over on success, freeing it on failure).
::zip* OpenSource(zip_source_t* source, const std::string& displayName, bool fromFile) {
  ErrorHolder err;
  ::zip* archive = zip_open_from_source(source, ZIP_RDONLY, &err.error);
  if (archive) return archive;
  zip_source_free(source);
  const int code = zip_error_code_zip(&err.error);
  const std::string reason = zip_error_strerror(&err.error);
  switch (code) {
    case ZIP_ER_NOZIP:
      RaiseFileError(kNotAZipArchive, displayName + ": not an xlsx workbook (not a zip archive)");
    case ZIP_ER_OPEN:
    case ZIP_ER_NOENT:
    case ZIP_ER_READ:
      if (fromFile) RaiseFileError(kCannotOpenFile, "cannot open " + displayName + ": " + reason);
      [[fallthrough]];
    default:
      RaiseFileError(kCorruptArchive, displayName + ": damaged zip archive (" + reason + ")");
  }
}

// How many times its stored size sheet data inflates to at most: numbers
// and tags pack 3 to 10 times at the usual deflate levels.
constexpr std::uint64_t kDataRatio = 16;

/// "512 MiB", "64 KiB" or "100 bytes".
std::string SizeText(std::uint64_t bytes) {
  if (bytes >= (std::uint64_t{1} << 20) && bytes % (std::uint64_t{1} << 20) == 0)
    return std::to_string(bytes >> 20) + " MiB";
  if (bytes >= 1024 && bytes % 1024 == 0) return std::to_string(bytes >> 10) + " KiB";
  return std::to_string(bytes) + " bytes";
}

}  // namespace

ZipArchive::ZipArchive(::zip* archive, std::string displayName, InflateLimits limits)
    : archive_(archive), displayName_(std::move(displayName)), limits_(limits) {}

ZipArchive ZipArchive::OpenFile(const std::string& path, std::string displayName, InflateLimits limits) {
  // An OLE2 compound file is what an encrypted workbook or an old .xls is.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> probe(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!probe) RaiseFileError(kCannotOpenFile, "cannot open " + displayName + ": no such file or not readable");
  unsigned char head[8] = {};
  const std::size_t got = std::fread(head, 1, sizeof head, probe.get());
  probe.reset();
  if (got == 8 && head[0] == 0xD0 && head[1] == 0xCF && head[2] == 0x11 && head[3] == 0xE0)
    RaiseFileError(kNotAZipArchive, displayName + ": an encrypted workbook or a legacy .xls file, not an xlsx workbook");

  if (got == 0) RaiseFileError(kNotAZipArchive, displayName + ": not an xlsx workbook (the file is empty)");

  ErrorHolder err;
  zip_source_t* source = zip_source_file_create(path.c_str(), 0, -1, &err.error);
  if (!source) RaiseFileError(kCannotOpenFile, "cannot open " + displayName + ": " + zip_error_strerror(&err.error));
  ::zip* archive = OpenSource(source, displayName, true);
  return ZipArchive(archive, std::move(displayName), limits);
}

ZipArchive ZipArchive::OpenBytes(std::string_view bytes, std::string displayName, InflateLimits limits) {
  if (bytes.size() >= 4 && bytes.substr(0, 4) == "\xD0\xCF\x11\xE0")
    RaiseFileError(kNotAZipArchive, displayName + ": an encrypted workbook or a legacy .xls file, not an xlsx workbook");
  if (bytes.empty()) RaiseFileError(kNotAZipArchive, displayName + ": not an xlsx workbook (the file is empty)");
  ErrorHolder err;
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &err.error);
  if (!source) RaiseFileError(kCorruptArchive, displayName + ": " + zip_error_strerror(&err.error));
  ::zip* archive = OpenSource(source, displayName, false);
  return ZipArchive(archive, std::move(displayName), limits);
}

ZipArchive::ZipArchive(ZipArchive&& other) noexcept
    : archive_(other.archive_),
      displayName_(std::move(other.displayName_)),
      limits_(other.limits_),
      totalInflated_(other.totalInflated_) {
  other.archive_ = nullptr;
}

ZipArchive& ZipArchive::operator=(ZipArchive&& other) noexcept {
  if (this != &other) {
    if (archive_) zip_discard(archive_);
    archive_ = other.archive_;
    other.archive_ = nullptr;
    displayName_ = std::move(other.displayName_);
    limits_ = other.limits_;
    totalInflated_ = other.totalInflated_;
  }
  return *this;
}

ZipArchive::~ZipArchive() {
  if (archive_) zip_discard(archive_);
}

std::optional<std::int64_t> ZipArchive::Locate(std::string_view name) const {
  const std::string key(name);
  const zip_int64_t index = zip_name_locate(archive_, key.c_str(), ZIP_FL_NOCASE);
  if (index < 0) return std::nullopt;
  return index;
}

bool ZipArchive::Contains(std::string_view name) const { return Locate(name).has_value(); }

std::string ZipArchive::Read(std::string_view name) {
  std::optional<std::string> bytes = ReadIfPresent(name);
  if (!bytes) RaiseFileError(kMissingPart, displayName_ + ": the part " + std::string(name) + " is missing");
  return std::move(*bytes);
}

std::optional<std::string> ZipArchive::ReadIfPresent(std::string_view name) {
  std::string out;
  const bool found = Inflate(name, [&](std::string_view piece) {
    out.append(piece);
    return true;
  }, &out);
  if (!found) return std::nullopt;
  return out;
}

void ZipArchive::ReadPieces(std::string_view name, const std::function<bool(std::string_view)>& sink) {
  if (!Inflate(name, sink, nullptr))
    RaiseFileError(kMissingPart, displayName_ + ": the part " + std::string(name) + " is missing");
}

bool ZipArchive::Inflate(std::string_view name, const std::function<bool(std::string_view)>& sink,
                         std::string* reserve) {
  const std::optional<std::int64_t> index = Locate(name);
  if (!index) return false;
  const std::string part(name);
  const auto uindex = static_cast<zip_uint64_t>(*index);

  std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> file(zip_fopen_index(archive_, uindex, 0), &zip_fclose);
  if (!file) {
    const int code = zip_error_code_zip(zip_get_error(archive_));
    if (code == ZIP_ER_NOPASSWD || code == ZIP_ER_WRONGPASSWD || code == ZIP_ER_ENCRNOTSUPP)
      RaiseFileError(kCorruptArchive, displayName_ + ": " + part + " is encrypted");
    RaiseFileError(kCorruptArchive, displayName_ + ": cannot read " + part + " (" +
                                        zip_error_strerror(zip_get_error(archive_)) + ")");
  }

  zip_stat_t st;
  zip_stat_init(&st);
  const bool stated = zip_stat_index(archive_, uindex, 0, &st) == 0;
  // A part that packs no tighter than sheet data does may grow past the
  // per-part limit, up to the total one: a sheet of a million rows of
  // numbers inflates to more than 512 MiB, but at a few bytes for each byte
  // stored, while a bomb packs hundreds of times tighter. (The stored size
  // cannot exceed the file, so the allowance stays bounded by what the file
  // really holds.)
  std::uint64_t partLimit = limits_.maxPartBytes;
  if (stated && (st.valid & ZIP_STAT_COMP_SIZE)) {
    const std::uint64_t packed = std::min<std::uint64_t>(st.comp_size, limits_.maxTotalBytes / kDataRatio + 1);
    partLimit = std::max(partLimit, std::min(limits_.maxTotalBytes, packed * kDataRatio));
  }
  // The header's size is only a hint for the first allocation; the bytes
  // actually inflated are what the limits are checked against. Reserving it
  // spares a large part the copies of a growing buffer (twice its size at
  // the last one); a size past the limit, or past what deflate can pack into
  // the stored bytes (about 1,032 to 1), is a lie and not reserved.
  constexpr std::uint64_t kDeflateMaxRatio = 1032;
  if (reserve && stated && (st.valid & ZIP_STAT_SIZE) && (st.valid & ZIP_STAT_COMP_SIZE) &&
      st.size <= std::min(partLimit, std::uint64_t{1} << 30) && st.size / kDeflateMaxRatio <= st.comp_size)
    reserve->reserve(static_cast<std::size_t>(st.size));

  std::uint64_t inflated = 0;
  char buffer[1 << 16];
  for (;;) {
    const zip_int64_t got = zip_fread(file.get(), buffer, sizeof buffer);
    if (got < 0)
      RaiseFileError(kCorruptArchive, displayName_ + ": " + part + " is damaged (" +
                                          zip_error_strerror(zip_file_get_error(file.get())) + ")");
    if (got == 0) break;
    const auto n = static_cast<std::uint64_t>(got);
    if (inflated + n > partLimit)
      RaiseFileError(kInflateLimit, displayName_ + ": " + part + " inflates past the limit of " +
                                        SizeText(partLimit) + " (a decompression bomb?)");
    if (totalInflated_ + n > limits_.maxTotalBytes)
      RaiseFileError(kInflateLimit, displayName_ + ": the parts inflate past the limit of " +
                                        SizeText(limits_.maxTotalBytes) + " in all (a decompression bomb?)");
    totalInflated_ += n;
    inflated += n;
    if (!sink(std::string_view(buffer, static_cast<std::size_t>(n)))) break;
  }
  return true;
}

std::vector<ZipEntry> ZipArchive::Entries() const {
  std::vector<ZipEntry> entries;
  const zip_int64_t count = zip_get_num_entries(archive_, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive_, static_cast<zip_uint64_t>(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME))
      RaiseFileError(kCorruptArchive, displayName_ + ": entry " + std::to_string(i) + " cannot be read");
    ZipEntry entry;
    entry.name = st.name;
    entry.method = (st.valid & ZIP_STAT_COMP_METHOD) ? static_cast<std::uint16_t>(st.comp_method) : 0;
    entry.crc = (st.valid & ZIP_STAT_CRC) ? st.crc : 0;
    entry.compressedSize = (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0;
    entry.size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
    entry.encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
    entries.push_back(std::move(entry));
  }
  return entries;
}

void ZipArchive::ReadStored(const ZipEntry& entry, const std::function<void(std::string_view)>& sink) const {
  const std::optional<std::int64_t> index = Locate(entry.name);
  if (!index) RaiseFileError(kMissingPart, displayName_ + ": the part " + entry.name + " is missing");
  std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> file(
      zip_fopen_index(archive_, static_cast<zip_uint64_t>(*index), ZIP_FL_COMPRESSED), &zip_fclose);
  if (!file)
    RaiseFileError(kCorruptArchive, displayName_ + ": cannot read " + entry.name + " (" +
                                        zip_error_strerror(zip_get_error(archive_)) + ")");
  std::uint64_t total = 0;
  char buffer[1 << 16];
  for (;;) {
    const zip_int64_t got = zip_fread(file.get(), buffer, sizeof buffer);
    if (got < 0)
      RaiseFileError(kCorruptArchive, displayName_ + ": " + entry.name + " is damaged (" +
                                          zip_error_strerror(zip_file_get_error(file.get())) + ")");
    if (got == 0) break;
    total += static_cast<std::uint64_t>(got);
    sink(std::string_view(buffer, static_cast<std::size_t>(got)));
  }
  if (total != entry.compressedSize)
    RaiseFileError(kCorruptArchive, displayName_ + ": " + entry.name + " is truncated");
}

}  // namespace nml::host::files
