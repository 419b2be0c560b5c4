// Helpers of the file tests: fixture paths, files, zip archives
// built and read with libzip directly (independent of the reader and the
// writer), and a check of numbered file errors.
#pragma once

#include <zip.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "host/files/file_errors.h"
#include "nmlcorrelation/error.h"
#include "support/error_catch.h"
#include "support/temp_folder.h"

namespace nml::host::files::testing {

inline std::string FixturePath(const std::string& name) {
  return std::string(NML_TEST_DATA) + "/../files/data/" + name;
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::string& path) {
  std::ostringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

/// A zip archive holding the entries given, deflated (or stored).
inline std::string MakeZip(const std::vector<std::pair<std::string, std::string>>& entries, bool store = false) {
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, nullptr);
  zip_source_keep(buffer);
  zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, nullptr);
  for (const auto& [name, content] : entries) {
    const zip_int64_t index =
        zip_file_add(archive, name.c_str(), zip_source_buffer(archive, content.data(), content.size(), 0), 0);
    EXPECT_GE(index, 0) << name;
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), store ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 9);
  }
  EXPECT_EQ(zip_close(archive), 0);
  zip_stat_t st;
  zip_source_stat(buffer, &st);
  std::string bytes(static_cast<std::size_t>(st.size), '\0');
  zip_source_open(buffer);
  zip_source_read(buffer, bytes.data(), st.size);
  zip_source_close(buffer);
  zip_source_free(buffer);
  return bytes;
}

/// Every entry of a zip file on disk, by name.
inline std::map<std::string, std::string> ZipEntries(const std::string& path) {
  std::map<std::string, std::string> entries;
  int err = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &err);
  if (!archive) return entries;
  for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
    std::string& out = entries[zip_get_name(archive, static_cast<zip_uint64_t>(i), 0)];
    zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
    char buffer[65536];
    for (zip_int64_t got; (got = zip_fread(file, buffer, sizeof buffer)) > 0;)
      out.append(buffer, static_cast<std::size_t>(got));
    zip_fclose(file);
  }
  zip_discard(archive);
  return entries;
}

/// Runs fn and checks it raises the file error code with every text in parts
/// in its description.
inline void ExpectFileError(const std::function<void()>& fn, std::int32_t code, std::vector<std::string> parts) {
  const Error e = nml::test::ErrorOf(fn);
  EXPECT_EQ(e.Number(), ComponentError(code)) << e.Description();
  for (const std::string& p : parts)
    EXPECT_NE(e.Description().find(p), std::string::npos) << "\"" << p << "\" not in: " << e.Description();
}

}  // namespace nml::host::files::testing
