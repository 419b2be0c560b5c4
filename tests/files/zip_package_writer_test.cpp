#include "host/files/zip_package_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "common/parallel.h"
#include "files_test_support.h"

namespace nml::host::files {
namespace {

/// Writes a package through the writer: new parts with the contents given,
/// each announced with sizeHint.
void WritePackage(const std::string& path, const std::vector<std::pair<std::string, std::string>>& parts,
                  std::uint64_t sizeHint) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  ZipPackageWriter writer(fd, "test.xlsx");
  for (const auto& [name, content] : parts) {
    writer.BeginPart(name, sizeHint);
    // In pieces, as the sheet rows arrive.
    for (std::size_t at = 0; at < content.size(); at += 100000) writer.Write(std::string_view(content).substr(at, 100000));
    writer.EndPart();
  }
  writer.Finish();
  ::close(fd);
}

TEST(ZipPackageWriter, PartsReadBackWithLibzipAndPython) {
  test::TempFolder dir;
  std::string rows;
  for (int i = 0; i < 200000; ++i) rows += "<row r=\"" + std::to_string(i) + "\"><c><v>" + std::to_string(i * 7) + "</v></c></row>";
  const std::vector<std::pair<std::string, std::string>> parts = {
      {"xl/worksheets/sheet1.xml", rows}, {"empty.xml", ""}, {"xl/\xC3\xA9t\xC3\xA9.xml", "<a/>"}};
  struct Case {
    const char* label;
    std::size_t extraParts;    // tiny parts added: past 65,535 the directory needs 64-bit counts
    std::uint64_t sizeHint;    // past 4 GiB the part headers carry 64-bit sizes
  } cases[] = {{"plain", 0, 1000}, {"64-bit sizes", 0, std::uint64_t{5} << 30}, {"70,000 parts", 70000, 10}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<std::pair<std::string, std::string>> all = parts;
    for (std::size_t i = 0; i < c.extraParts; ++i) all.emplace_back("p/" + std::to_string(i), "x");
    const std::string path = dir.File("out.zip");
    WritePackage(path, all, c.sizeHint);
    if (c.extraParts == 0) {  // large parts are deflated in pieces on threads: one thread gives the same bytes
      SetThreadLimit(1);
      WritePackage(dir.File("one-thread.zip"), all, c.sizeHint);
      SetThreadLimit(0);
      EXPECT_EQ(testing::ReadFile(dir.File("one-thread.zip")), testing::ReadFile(path));
    }
    const std::map<std::string, std::string> read = testing::ZipEntries(path);
    ASSERT_EQ(read.size(), all.size());
    for (const auto& [name, content] : parts) EXPECT_EQ(read.at(name), content) << name;
    // Python's zipfile checks every CRC and size against the headers.
    const std::string py = "/usr/bin/python3 -c \"import zipfile,sys; z=zipfile.ZipFile(sys.argv[1]); "
                           "assert z.testzip() is None; assert len(z.namelist())==" + std::to_string(all.size()) +
                           "\" '" + path + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(py.c_str()), 0);
  }
}

TEST(ZipPackageWriter, AWriteErrorIsNumbered) {
  const int fd = ::open("/dev/full", O_WRONLY);
  ASSERT_GE(fd, 0);
  ZipPackageWriter writer(fd, "full.xlsx");
  testing::ExpectFileError(
      [&] {
        writer.BeginPart("a.xml", 100);
        writer.Write(std::string(3 << 20, 'a'));
        writer.EndPart();
        writer.Finish();
      },
      kWriteFailed, {"cannot write full.xlsx", "No space left on device"});
  ::close(fd);
}

}  // namespace
}  // namespace nml::host::files
