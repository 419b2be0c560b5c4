// The registry file where in-process servers record their classes: an
// INI-like text file of sections named after registry keys,
//
//   [CLSID\{44273B9A-4553-4041-9975-51406F9EEAFC}]
//   ProgID=NMLCorrelation.clsCorrelation
//   InprocServer32=/usr/lib/libNMLCorrelation.so
//   ...
//
// shared with other servers: registering replaces only this library's own
// sections and keeps every other line as it was. The file is replaced
// atomically (a temporary file in the same folder, flushed to disk, renamed
// over the old one) under an exclusive lock on the folder, so that a crash or
// a concurrent registration never leaves a half-written or mixed file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace nml::server {

/// One [section] of the file: its name and its lines, header included,
/// exactly as read. Lines before the first section form a section with an
/// empty name.
struct RegistrySection {
  std::string name;
  std::vector<std::string> lines;
};

std::vector<RegistrySection> ParseRegistry(std::string_view text);
std::string FormatRegistry(const std::vector<RegistrySection>& sections);

/// The sections this library registers, for a library at libraryPath.
std::vector<RegistrySection> OwnSections(const std::string& libraryPath);

/// Removes the sections named like any of own (ignoring ASCII case, as
/// registry keys compare); true when something was removed.
bool RemoveSections(std::vector<RegistrySection>& sections, const std::vector<RegistrySection>& own);

/// The registry file's path (see NmlServerRegistryPath), or "" when none can be found.
std::string RegistryPath();

}  // namespace nml::server
