// Helpers of the file tests: fixture paths, scratch folders, zip archives
// built in memory (with libzip directly, independent of the reader), and a
// check of numbered file errors.
#pragma once

#include <zip.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "host/files/file_errors.h"
#include "nmlcorrelation/error.h"

namespace nml::files::testing {

inline std::string FixturePath(const std::string& name) {
  return std::string(NML_TEST_DATA) + "/../files/data/" + name;
}

/// A fresh folder under the system's temporary folder, removed at the end.
class ScratchDir {
 public:
  ScratchDir() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() / ("nml-files-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

/// A zip archive holding the entries given, deflated (or stored).
inline std::string MakeZip(const std::vector<std::pair<std::string, std::string>>& entries, bool store = false) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  zip_source_keep(buffer);
  zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
  EXPECT_NE(archive, nullptr);
  for (const auto& [name, content] : entries) {
    zip_source_t* data = zip_source_buffer(archive, content.data(), content.size(), 0);
    const zip_int64_t index = zip_file_add(archive, name.c_str(), data, ZIP_FL_OVERWRITE);
    EXPECT_GE(index, 0);
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), store ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 9);
  }
  EXPECT_EQ(zip_close(archive), 0);
  std::string bytes;
  zip_stat_t st;
  zip_source_stat(buffer, &st);
  bytes.resize(static_cast<std::size_t>(st.size));
  zip_source_open(buffer);
  zip_source_read(buffer, bytes.data(), st.size);
  zip_source_close(buffer);
  zip_source_free(buffer);
  zip_error_fini(&error);
  return bytes;
}

/// One entry of a zip file on disk, read with libzip directly ("" when missing).
inline std::string ZipEntry(const std::string& path, const std::string& name) {
  int err = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &err);
  if (!archive) return {};
  std::string out;
  if (zip_file_t* file = zip_fopen(archive, name.c_str(), 0)) {
    char buffer[65536];
    zip_int64_t got;
    while ((got = zip_fread(file, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<std::size_t>(got));
    zip_fclose(file);
  }
  zip_discard(archive);
  return out;
}

/// Number of entries of a zip file on disk whose names start with prefix.
inline int CountZipEntries(const std::string& path, const std::string& prefix) {
  int err = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &err);
  if (!archive) return -1;
  int count = 0;
  for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i)
    if (std::string(zip_get_name(archive, static_cast<zip_uint64_t>(i), 0)).rfind(prefix, 0) == 0) ++count;
  zip_discard(archive);
  return count;
}

/// Runs fn and checks it raises the file error code with every text in parts
/// in its description.
inline void ExpectFileError(const std::function<void()>& fn, std::int32_t code, std::vector<std::string> parts) {
  try {
    fn();
    ADD_FAILURE() << "no error; expected code " << code;
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), ComponentError(code)) << e.Description();
    for (const std::string& p : parts)
      EXPECT_NE(e.Description().find(p), std::string::npos) << "\"" << p << "\" not in: " << e.Description();
  }
}

}  // namespace nml::files::testing
