// Read access to the parts of a zip archive (the container of an .xlsx
// workbook), with every inflated byte counted: a part may not inflate past a
// per-part limit and all parts read together not past a total limit, whatever
// sizes the archive's headers claim.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct zip;  // libzip's archive handle

namespace nml::host::files {

/// What the central directory says of one entry.
struct ZipEntry {
  std::string name;
  std::uint16_t method = 0;            // 0 stored, 8 deflated
  std::uint32_t crc = 0;
  std::uint64_t compressedSize = 0;
  std::uint64_t size = 0;
  bool encrypted = false;
};

struct InflateLimits {
  /// A part that inflates to more than 16 times its stored size may not pass
  /// this; one that packs no tighter may go on up to maxTotalBytes.
  std::uint64_t maxPartBytes = std::uint64_t{512} << 20;   // 512 MiB
  std::uint64_t maxTotalBytes = std::uint64_t{1} << 30;    // 1 GiB
};

class ZipArchive {
 public:
  /// Opens the archive at path. A file that cannot be opened raises
  /// kCannotOpenFile, one that is not a zip archive kNotAZipArchive, a
  /// damaged archive kCorruptArchive; displayName names the file in errors.
  static ZipArchive OpenFile(const std::string& path, std::string displayName, InflateLimits limits = {});
  /// The same over bytes in memory, which must outlive the archive.
  static ZipArchive OpenBytes(std::string_view bytes, std::string displayName, InflateLimits limits = {});

  ZipArchive(ZipArchive&& other) noexcept;
  ZipArchive& operator=(ZipArchive&& other) noexcept;
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;
  ~ZipArchive();

  /// True when the archive holds an entry of that name (ignoring case, as
  /// part names compare).
  bool Contains(std::string_view name) const;
  /// The inflated bytes of an entry; a missing entry raises kMissingPart, one
  /// that inflates past a limit kInflateLimit, a damaged or encrypted one
  /// kCorruptArchive.
  std::string Read(std::string_view name);
  /// As Read, but std::nullopt for a missing entry.
  std::optional<std::string> ReadIfPresent(std::string_view name);
  /// As Read, but the inflated bytes go to sink piece by piece instead of
  /// being held; reading stops early when sink returns false.
  void ReadPieces(std::string_view name, const std::function<bool(std::string_view)>& sink);

  /// Every entry, in the order of the central directory.
  std::vector<ZipEntry> Entries() const;
  /// Passes the stored (still compressed) bytes of an entry to sink, piece by
  /// piece; a damaged entry raises kCorruptArchive.
  void ReadStored(const ZipEntry& entry, const std::function<void(std::string_view)>& sink) const;

  const std::string& DisplayName() const { return displayName_; }
  const InflateLimits& Limits() const { return limits_; }
  std::uint64_t TotalInflated() const { return totalInflated_; }

 private:
  ZipArchive(::zip* archive, std::string displayName, InflateLimits limits);
  std::optional<std::int64_t> Locate(std::string_view name) const;
  /// Inflates an entry into sink (reserving its size in reserve when given);
  /// false for a missing entry.
  bool Inflate(std::string_view name, const std::function<bool(std::string_view)>& sink, std::string* reserve);

  ::zip* archive_ = nullptr;
  std::string displayName_;
  InflateLimits limits_;
  std::uint64_t totalInflated_ = 0;
};

}  // namespace nml::host::files
