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
  const std::optional<std::int64_t> index = Locate(name);
  if (!index) return std::nullopt;
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

  // The header's size is only a hint for the first allocation; the bytes
  // actually inflated are what the limits are checked against.
  std::string out;
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(archive_, uindex, 0, &st) == 0 && (st.valid & ZIP_STAT_SIZE) &&
      st.size <= limits_.maxPartBytes && st.size <= (std::uint64_t{64} << 20))
    out.reserve(static_cast<std::size_t>(st.size));

  char buffer[1 << 16];
  for (;;) {
    const zip_int64_t got = zip_fread(file.get(), buffer, sizeof buffer);
    if (got < 0)
      RaiseFileError(kCorruptArchive, displayName_ + ": " + part + " is damaged (" +
                                          zip_error_strerror(zip_file_get_error(file.get())) + ")");
    if (got == 0) break;
    const auto n = static_cast<std::uint64_t>(got);
    if (out.size() + n > limits_.maxPartBytes)
      RaiseFileError(kInflateLimit, displayName_ + ": " + part + " inflates past the limit of " +
                                        SizeText(limits_.maxPartBytes) + " (a decompression bomb?)");
    if (totalInflated_ + n > limits_.maxTotalBytes)
      RaiseFileError(kInflateLimit, displayName_ + ": the parts inflate past the limit of " +
                                        SizeText(limits_.maxTotalBytes) + " in all (a decompression bomb?)");
    totalInflated_ += n;
    out.append(buffer, static_cast<std::size_t>(n));
  }
  return out;
}

}  // namespace nml::host::files
