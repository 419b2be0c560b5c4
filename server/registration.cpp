#include "server/registration.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#include "common/ascii_text.h"
#include "common/file_replacement.h"
#include "server/module.h"
#include "server/nmlcorrelation_server.h"

namespace nml::server {
namespace {

namespace fs = std::filesystem;

std::string GuidText(const GUID& g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

std::string_view TrimLine(std::string_view s) {
  const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return s;
}

std::string Failure(const std::string& what, const std::string& path, int error) {
  return what + " " + path + ": " + std::strerror(error);
}

// An exclusive lock on the registry's folder, held while the file is read,
// changed and replaced, so that two registrations cannot interleave.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder) {
    fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) {
      error_ = errno;
      return;
    }
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        error_ = errno;
        return;
      }
    }
  }
  ~FolderLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  int Error() const { return error_; }

 private:
  int fd_ = -1;
  int error_ = 0;
};

// Reads the whole file; a missing file is empty text with exists = false.
bool ReadText(const std::string& path, std::string& text, bool& exists, std::string& error) {
  exists = false;
  text.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return true;
    error = Failure("cannot read the registry", path, errno);
    return false;
  }
  exists = true;
  char buffer[8192];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got > 0) {
      text.append(buffer, static_cast<std::size_t>(got));
    } else if (got == 0) {
      break;
    } else if (errno != EINTR) {
      error = Failure("cannot read the registry", path, errno);
      ::close(fd);
      return false;
    }
  }
  ::close(fd);
  return true;
}

// Replaces the file at path by text, so that the file is always either the
// old or the new text.
bool ReplaceFile(const std::string& path, const std::string& folder, std::string_view text, std::string& error) {
  FileReplacement out(path);
  if (out.Open() && out.Write(text) && out.Commit()) return true;
  switch (out.FailedStep()) {
    case FileReplacement::Step::kCreate: error = Failure("cannot create a temporary file in", folder, out.Errno()); break;
    case FileReplacement::Step::kReplace: error = Failure("cannot replace the registry", path, out.Errno()); break;
    default: error = Failure("cannot write", out.TemporaryPath(), out.Errno()); break;
  }
  return false;
}

// The file the registry path names: a symbolic link is followed, so that the
// file it points at is the one replaced.
std::string ResolvedPath(const std::string& path) {
  std::error_code ec;
  if (fs::is_symlink(path, ec)) {
    const fs::path target = fs::canonical(path, ec);
    if (!ec) return target.string();
  }
  return path;
}

std::string LibraryPath() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info) == 0 || !info.dli_fname) return {};
  std::error_code ec;
  const fs::path full = fs::canonical(info.dli_fname, ec);
  return ec ? std::string(info.dli_fname) : full.string();
}

enum class Change { kRegister, kUnregister };

HRESULT UpdateRegistry(Change change) {
  const std::string named = RegistryPath();
  if (named.empty()) {
    SetLastErrorText("no registry file: set NMLCORRELATION_REGISTRY, XDG_CONFIG_HOME or HOME");
    return SELFREG_E_CLASS;
  }
  const std::string path = ResolvedPath(named);
  const fs::path parent = fs::path(path).parent_path();
  const std::string folder = parent.empty() ? std::string(".") : parent.string();

  std::string library;
  if (change == Change::kRegister) {
    library = LibraryPath();
    if (library.empty()) {
      SetLastErrorText("cannot find the path of the library");
      return SELFREG_E_CLASS;
    }
    // One line per value: a path with a line break would corrupt the file.
    if (library.find_first_of("\r\n") != std::string::npos) {
      SetLastErrorText("the library path contains a line break: " + library);
      return SELFREG_E_CLASS;
    }
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
      SetLastErrorText("cannot create " + folder + ": " + ec.message());
      return SELFREG_E_CLASS;
    }
  } else {
    std::error_code ec;
    if (!fs::exists(path, ec)) {  // nothing registered: nothing to remove
      SetLastErrorText({});
      return S_OK;
    }
  }

  FolderLock lock(folder);
  if (lock.Error() != 0) {
    SetLastErrorText(Failure("cannot lock", folder, lock.Error()));
    return SELFREG_E_CLASS;
  }
  std::string before;
  bool exists = false;
  std::string error;
  if (!ReadText(path, before, exists, error)) {
    SetLastErrorText(error);
    return SELFREG_E_CLASS;
  }
  if (change == Change::kUnregister && !exists) {
    SetLastErrorText({});
    return S_OK;
  }

  std::vector<RegistrySection> sections = ParseRegistry(before);
  const std::vector<RegistrySection> own = OwnSections(library.empty() ? std::string("-") : library);
  const bool removed = RemoveSections(sections, own);
  if (change == Change::kRegister) {
    // Keep a blank line between what was there and our sections.
    if (!sections.empty() && !sections.back().lines.empty() && !TrimLine(sections.back().lines.back()).empty())
      sections.back().lines.emplace_back();
    sections.insert(sections.end(), own.begin(), own.end());
  } else if (!removed) {
    SetLastErrorText({});
    return S_OK;
  }
  const std::string after = FormatRegistry(sections);
  if (exists && after == before) {
    SetLastErrorText({});
    return S_OK;
  }
  if (!ReplaceFile(path, folder, after, error)) {
    SetLastErrorText(error);
    return SELFREG_E_CLASS;
  }
  SetLastErrorText({});
  return S_OK;
}

}  // namespace

std::vector<RegistrySection> ParseRegistry(std::string_view text) {
  std::vector<RegistrySection> sections;
  RegistrySection current;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    const std::string_view trimmed = TrimLine(line);
    if (trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']') {
      if (!current.name.empty() || !current.lines.empty()) sections.push_back(std::move(current));
      current = RegistrySection{std::string(TrimLine(trimmed.substr(1, trimmed.size() - 2))), {}};
    }
    current.lines.emplace_back(line);
    start = end + 1;
  }
  if (!current.name.empty() || !current.lines.empty()) sections.push_back(std::move(current));
  return sections;
}

std::string FormatRegistry(const std::vector<RegistrySection>& sections) {
  std::string text;
  for (const RegistrySection& section : sections) {
    for (const std::string& line : section.lines) {
      text += line;
      text += '\n';
    }
  }
  return text;
}

std::vector<RegistrySection> OwnSections(const std::string& libraryPath) {
  const std::string clsid = GuidText(CLSID_clsCorrelation);
  const std::string libid = GuidText(LIBID_NMLCorrelation);
  const std::string version =
      std::to_string(NMLCORRELATION_LIB_MAJOR) + "." + std::to_string(NMLCORRELATION_LIB_MINOR);
  const auto section = [](std::string name, std::vector<std::string> values) {
    RegistrySection s{name, {"[" + name + "]"}};
    for (auto& v : values) s.lines.push_back(std::move(v));
    s.lines.emplace_back();
    return s;
  };
  return {
      section("CLSID\\" + clsid, {"Class=clsCorrelation", "ProgID=" NMLCORRELATION_PROGID,
                                  "InprocServer32=" + libraryPath, "ThreadingModel=Apartment",
                                  "TypeLib=" + libid, "Version=" + version}),
      section("ProgID\\" NMLCORRELATION_PROGID, {"CLSID=" + clsid}),
      section("TypeLib\\" + libid + "\\" + version,
              {"Name=NMLCorrelation", "HelpString=Numerolith Correlation Analysis", "Path=" + libraryPath}),
      section("Interface\\" + GuidText(IID__clsCorrelation),
              {"Name=_clsCorrelation", "TypeLib=" + libid, "Version=" + version}),
  };
}

bool RemoveSections(std::vector<RegistrySection>& sections, const std::vector<RegistrySection>& own) {
  const auto ours = [&](const RegistrySection& s) {
    if (s.name.empty()) return false;
    for (const RegistrySection& o : own)
      if (EqualsIgnoringCase(s.name, o.name)) return true;
    return false;
  };
  const auto before = sections.size();
  std::erase_if(sections, ours);
  return sections.size() != before;
}

std::string RegistryPath() {
  if (const char* p = std::getenv("NMLCORRELATION_REGISTRY"); p && *p) return p;
  // Relative XDG paths are to be ignored.
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && x[0] == '/') return std::string(x) + "/nmlcorrelation/registry";
  std::string home;
  if (const char* h = std::getenv("HOME"); h && *h) {
    home = h;
  } else {
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir)
      home = found->pw_dir;
  }
  if (home.empty()) return {};
  return home + "/.config/nmlcorrelation/registry";
}

}  // namespace nml::server

extern "C" NMLSERVER_API HRESULT DllRegisterServer(void) {
  try {
    return nml::server::UpdateRegistry(nml::server::Change::kRegister);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const std::exception& e) {
    nml::server::SetLastErrorText(e.what());
    return SELFREG_E_CLASS;
  }
}

extern "C" NMLSERVER_API HRESULT DllUnregisterServer(void) {
  try {
    return nml::server::UpdateRegistry(nml::server::Change::kUnregister);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const std::exception& e) {
    nml::server::SetLastErrorText(e.what());
    return SELFREG_E_CLASS;
  }
}

extern "C" NMLSERVER_API size_t NmlServerRegistryPath(char* buffer, size_t size) {
  try {
    const std::string path = nml::server::RegistryPath();
    if (path.empty() || !buffer || path.size() + 1 > size) return 0;
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return path.size();
  } catch (const std::exception&) {
    return 0;
  }
}
