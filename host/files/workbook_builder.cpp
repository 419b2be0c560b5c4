#include "host/files/workbook_builder.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/ascii_text.h"
#include "host/files/file_errors.h"
#include "host/files/sheet_names.h"

namespace nml::host::files {

std::string ReadWholeFile(const std::string& path, const std::string& displayName, std::uint64_t maxBytes) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) RaiseFileError(kCannotOpenFile, "cannot open " + displayName + ": " + std::strerror(errno));
  std::string bytes;
  // Room for the whole file at once: grown by doubling, the text would hold
  // up to twice its size for as long as it is kept.
  struct stat info {};
  if (::fstat(::fileno(file.get()), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 &&
      static_cast<std::uint64_t>(info.st_size) <= maxBytes)
    bytes.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[1 << 16];
  for (;;) {
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
    if (got > 0) {
      if (bytes.size() + got > maxBytes)
        RaiseFileError(kFileTooLarge, displayName + ": larger than " + std::to_string(maxBytes >> 20) + " MiB");
      bytes.append(buffer, got);
    }
    if (got < sizeof buffer) {
      if (std::ferror(file.get())) RaiseFileError(kCannotOpenFile, "cannot read " + displayName + ": read error");
      break;
    }
  }
  return bytes;
}

host::WorkbookRef NewDetachedWorkbook(host::Application& app, const std::string& name) {
  for (const host::WorkbookRef& open : app.BookList())
    if (open && EqualsIgnoringCase(open->Name(), name))
      RaiseFileError(kWorkbookAlreadyOpen, name + ": a workbook with this name is already open");
  return std::make_shared<host::Workbook>(app.shared_from_this(), name, false);
}

void AttachWorkbook(host::Application& app, const host::WorkbookRef& book) {
  app.BookList().push_back(book);
  book->Activate();
  if (!book->SheetList().empty()) book->SetActiveSheet(book->SheetList().front());
}

}  // namespace nml::host::files
