// Registration in the registry file (where it lives, what is recorded, twice
// is once, other servers' entries survive untouched, the file is replaced
// whole), and the string and variant functions callers share with the library.
#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "server_fixture.h"

namespace nml::server::testing {
namespace {

// Sets (or, for nullptr, unsets) an environment variable for one scope.
struct ScopedEnv {
  ScopedEnv(const char* name, const char* value) : name(name) {
    if (const char* was = std::getenv(name)) old = was;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedEnv() { old ? ::setenv(name, old->c_str(), 1) : ::unsetenv(name); }
  const char* name;
  std::optional<std::string> old;
};

// What registering records, for the library as loaded.
std::string OwnSections() {
  Dl_info info{};
  EXPECT_NE(::dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info), 0);
  const std::string lib = fs::canonical(info.dli_fname).string();
  return "[CLSID\\{44273B9A-4553-4041-9975-51406F9EEAFC}]\n"
         "Class=clsCorrelation\n"
         "ProgID=NMLCorrelation.clsCorrelation\n"
         "InprocServer32=" + lib + "\n"
         "ThreadingModel=Apartment\n"
         "TypeLib={69CA1882-BE13-4A0F-BFD3-468B65AC65C2}\n"
         "Version=1.0\n"
         "\n"
         "[ProgID\\NMLCorrelation.clsCorrelation]\n"
         "CLSID={44273B9A-4553-4041-9975-51406F9EEAFC}\n"
         "\n"
         "[TypeLib\\{69CA1882-BE13-4A0F-BFD3-468B65AC65C2}\\1.0]\n"
         "Name=NMLCorrelation\n"
         "HelpString=Numerolith Correlation Analysis\n"
         "Path=" + lib + "\n"
         "\n"
         "[Interface\\{349E7B1F-96F5-434C-B7BD-3DD009491644}]\n"
         "Name=_clsCorrelation\n"
         "TypeLib={69CA1882-BE13-4A0F-BFD3-468B65AC65C2}\n"
         "Version=1.0\n"
         "\n";
}

class Registry : public ::testing::Test {
 protected:
  TempFolder folder;
  fs::path file = folder.Path() / "conf" / "registry";
  ScopedEnv env{"NMLCORRELATION_REGISTRY", file.c_str()};
};

TEST_F(Registry, RoundTripReplacesOnlyItsOwnSectionsAndLeavesNoTemporaryFile) {
  ASSERT_EQ(DllUnregisterServer(), S_OK) << "nothing to remove";
  EXPECT_FALSE(fs::exists(file.parent_path())) << "and nothing created";

  fs::create_directories(file.parent_path());
  const std::string others =
      "; servers of this user\r\n"
      "[CLSID\\{0B0B0B0B-1111-2222-3333-444455556666}]\r\n"
      "ProgID=Other.Server\r\n"
      "\r\n";
  const std::string stale =  // ours from an older install, in other case
      "[clsid\\{44273b9a-4553-4041-9975-51406f9eeafc}]\n"
      "InprocServer32=/old/place/libNMLCorrelation.so\n"
      "\n";
  const std::string nearMiss =  // one digit apart: not ours
      "[CLSID\\{44273B9A-4553-4041-9975-51406F9EEAFD}]\n"
      "ProgID=Near.Miss\n";
  WriteFile(file, others + stale + nearMiss);
  ASSERT_EQ(DllRegisterServer(), S_OK) << NmlServerLastError();
  const std::string once = ReadFile(file);
  EXPECT_EQ(once, others + nearMiss + "\n" + OwnSections());
  ASSERT_EQ(DllRegisterServer(), S_OK) << NmlServerLastError();
  EXPECT_EQ(ReadFile(file), once) << "twice is once";
  std::vector<fs::path> entries{fs::directory_iterator(file.parent_path()), fs::directory_iterator()};
  EXPECT_EQ(entries, std::vector<fs::path>{file});

  for (int k = 0; k < 2; ++k) {
    ASSERT_EQ(DllUnregisterServer(), S_OK) << NmlServerLastError();
    EXPECT_EQ(ReadFile(file), others + nearMiss + "\n") << "only the separating blank line is left of ours";
  }
}

// (The replacement keeps the file's permissions: the file replacement's own tests.)
TEST_F(Registry, ReplacesTheFileBehindASymbolicLink) {
  const fs::path real = folder.Path() / "shared-registry";
  WriteFile(real, "[ProgID\\Other.Server]\n\n");
  fs::create_directories(file.parent_path());
  fs::create_symlink(real, file);
  ASSERT_EQ(DllRegisterServer(), S_OK) << NmlServerLastError();
  EXPECT_TRUE(fs::is_symlink(file));
  EXPECT_EQ(ReadFile(real), "[ProgID\\Other.Server]\n\n" + OwnSections());
}

// Only a regular file (or none) is a registry: a FIFO, a device or a
// directory is refused at once and left as it was, as is a folder that cannot
// be made; a dangling link makes the file it names.
TEST_F(Registry, RefusesWhatIsNotARegularFileAndFollowsDanglingLinks) {
  fs::create_directories(file.parent_path());
  ASSERT_EQ(::mkfifo((folder.Path() / "fifo").c_str(), 0600), 0);
  fs::create_directory(folder.Path() / "dir");
  const fs::path blocker = folder.Path() / "plain-file";
  WriteFile(blocker, "x");
  for (const fs::path& target :
       {folder.Path() / "fifo", fs::path("/dev/null"), fs::path("/dev/zero"), folder.Path() / "dir", blocker / "x"}) {
    ScopedEnv special{"NMLCORRELATION_REGISTRY", target.c_str()};
    EXPECT_EQ(DllRegisterServer(), SELFREG_E_CLASS) << target;
    const char* why = target.parent_path() == blocker ? "plain-file" : "not a regular file";
    EXPECT_NE(std::string(NmlServerLastError()).find(why), std::string::npos) << NmlServerLastError();
  }
  EXPECT_TRUE(fs::is_fifo(folder.Path() / "fifo"));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_EQ(ReadFile(blocker), "x");

  fs::create_symlink(folder.Path() / "made-here", file);
  ASSERT_EQ(DllRegisterServer(), S_OK) << NmlServerLastError();
  EXPECT_TRUE(fs::is_symlink(file));
  EXPECT_EQ(ReadFile(folder.Path() / "made-here"), OwnSections());
}

TEST(RegistryPath, EnvironmentThenXdgConfigHomeThenHome) {
  struct Case {
    const char *explicitPath, *xdg, *expected;
  } cases[] = {
      {"/srv/registry", "/xdg", "/srv/registry"},
      {nullptr, "/xdg", "/xdg/nmlcorrelation/registry"},
      {nullptr, "relative/config", "/home/someone/.config/nmlcorrelation/registry"},  // not absolute: ignored
      {nullptr, nullptr, "/home/someone/.config/nmlcorrelation/registry"},
  };
  ScopedEnv home{"HOME", "/home/someone"};
  for (const Case& c : cases) {
    ScopedEnv explicitPath{"NMLCORRELATION_REGISTRY", c.explicitPath}, xdg{"XDG_CONFIG_HOME", c.xdg};
    char buffer[64];
    EXPECT_EQ(std::string(buffer, NmlServerRegistryPath(buffer, sizeof buffer)), c.expected);
    EXPECT_EQ(NmlServerRegistryPath(buffer, std::strlen(c.expected)), 0u) << "no room for the terminator";
  }
}

// ---- Strings and variants --------------------------------------------------

TEST(Bstr, LengthPrefixEmbeddedNulTerminatorAndNull) {
  const OLECHAR text[] = {'a', 0, 'b', 0};
  const Bstr b(SysAllocStringLen(text, 3));
  ASSERT_NE(b, nullptr);
  std::uint32_t prefix = 0;
  std::memcpy(&prefix, reinterpret_cast<const char*>(b.get()) - 4, 4);
  EXPECT_EQ(prefix, 6u) << "byte count before the characters";
  EXPECT_EQ(SysStringLen(b.get()), 3u);
  EXPECT_TRUE(std::equal(text, text + 4, b.get())) << "characters, then a terminator";
  EXPECT_EQ(SysStringLen(Bstr(SysAllocString(text)).get()), 1u) << "up to the first NUL";
  const Bstr zeros(SysAllocStringLen(nullptr, 2));
  EXPECT_TRUE(SysStringLen(zeros.get()) == 2 && zeros.get()[0] == 0 && zeros.get()[1] == 0);
  EXPECT_EQ(SysAllocStringLen(text, 0x80000000u), nullptr) << "byte count would not fit the prefix";
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  SysFreeString(nullptr);
}

TEST(Variant, ClearFreesWhatItOwnsAndRefusesArrays) {
  VARIANT v = Value(VT_BSTR);
  v.bstrVal = SysAllocString(reinterpret_cast<const OLECHAR*>(u"text"));
  EXPECT_EQ(VariantClear(&v), S_OK);  // the sanitizer build sees a leak otherwise
  EXPECT_EQ(v.vt, VT_EMPTY);
  for (VARTYPE bad : {VARTYPE(VT_ARRAY | VT_R8), VARTYPE(0x0FFF)}) {
    v.vt = bad;
    EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
  }
  EXPECT_EQ(VariantClear(nullptr), E_POINTER);
}

}  // namespace
}  // namespace nml::server::testing
