// Read access to the parts of a zip archive (the container of an .xlsx
// workbook), with every inflated byte counted: a part may not inflate past a
// per-part limit and all parts read together not past a total limit, whatever
// sizes the archive's headers claim.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct zip;  // libzip's archive handle

namespace nml::host::files {

struct InflateLimits {
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

  const std::string& DisplayName() const { return displayName_; }
  const InflateLimits& Limits() const { return limits_; }
  std::uint64_t TotalInflated() const { return totalInflated_; }

 private:
  ZipArchive(::zip* archive, std::string displayName, InflateLimits limits);
  std::optional<std::int64_t> Locate(std::string_view name) const;

  ::zip* archive_ = nullptr;
  std::string displayName_;
  InflateLimits limits_;
  std::uint64_t totalInflated_ = 0;
};

}  // namespace nml::host::files
