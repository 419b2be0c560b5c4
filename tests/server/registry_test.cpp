// Registration in the registry file: where the file lives, what is recorded,
// that registering and unregistering are idempotent, and that other servers'
// entries survive both untouched.
#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <optional>

#include "server_fixture.h"

namespace nml::server::testing {
namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

std::string RegistryPathNow() {
  char buffer[4096];
  const std::size_t n = NmlServerRegistryPath(buffer, sizeof buffer);
  return n ? std::string(buffer, n) : std::string();
}

std::string LibraryFile() {
  Dl_info info{};
  EXPECT_NE(::dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info), 0);
  return fs::canonical(info.dli_fname).string();
}

const char kClassSection[] = "[CLSID\\{44273B9A-4553-4041-9975-51406F9EEAFC}]";

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class Registry : public ::testing::Test {
 protected:
  TempFolder folder;
  fs::path file = folder.path() / "conf" / "registry";
  ScopedEnv env{"NMLCORRELATION_REGISTRY", file.c_str()};
};

TEST_F(Registry, RecordsClassProgramIdentifierLibraryAndTypeLibrary) {
  ASSERT_EQ(DllRegisterServer(), S_OK) << NmlServerLastError();
  const std::string lib = LibraryFile();
  const std::string expected = std::string(kClassSection) +
                               "\n"
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
  EXPECT_EQ(ReadFile(file), expected);
}

TEST_F(Registry, RegisteringTwiceLeavesOneEntryAndNoTemporaryFiles) {
  ASSERT_EQ(DllRegisterServer(), S_OK);
  const std::string once = ReadFile(file);
  ASSERT_EQ(DllRegisterServer(), S_OK);
  EXPECT_EQ(ReadFile(file), once);
  EXPECT_EQ(Count(once, kClassSection), 1u);
  std::size_t files = 0;
  for (const auto& entry : fs::directory_iterator(file.parent_path())) {
    ++files;
    EXPECT_EQ(entry.path().filename(), "registry");
  }
  EXPECT_EQ(files, 1u);
}

TEST_F(Registry, KeepsOtherServersAndReplacesAStaleEntryOfOurs) {
  fs::create_directories(file.parent_path());
  const std::string others =
      "; servers of this user\r\n"
      "[CLSID\\{0B0B0B0B-1111-2222-3333-444455556666}]\r\n"
      "ProgID=Other.Server\r\n"
      "\r\n";
  const std::string stale =
      "[clsid\\{44273b9a-4553-4041-9975-51406f9eeafc}]\n"
      "InprocServer32=/old/place/libNMLCorrelation.so\n"
      "\n";
  const std::string after =
      "[CLSID\\{44273B9A-4553-4041-9975-51406F9EEAFD}]\n"  // one digit apart: not ours
      "ProgID=Near.Miss\n";
  WriteFile(file, others + stale + after);
  ASSERT_EQ(DllRegisterServer(), S_OK) << NmlServerLastError();
  const std::string text = ReadFile(file);
  EXPECT_EQ(text.find(others + after), 0u) << text;
  EXPECT_EQ(Count(text, "/old/place/"), 0u) << text;
  EXPECT_EQ(Count(text, kClassSection), 1u);

  ASSERT_EQ(DllUnregisterServer(), S_OK) << NmlServerLastError();
  EXPECT_EQ(ReadFile(file), others + after + "\n") << "only the separating blank line is left of ours";
}

TEST_F(Registry, UnregisteringRestoresTheFileAndIsIdempotent) {
  fs::create_directories(file.parent_path());
  const std::string others = "[ProgID\\Other.Server]\nCLSID={0B0B0B0B-1111-2222-3333-444455556666}\n\n";
  WriteFile(file, others);
  ASSERT_EQ(DllRegisterServer(), S_OK);
  ASSERT_NE(ReadFile(file), others);
  ASSERT_EQ(DllUnregisterServer(), S_OK);
  EXPECT_EQ(ReadFile(file), others);
  ASSERT_EQ(DllUnregisterServer(), S_OK);
  EXPECT_EQ(ReadFile(file), others);
}

TEST_F(Registry, UnregisteringWithoutAFileCreatesNothing) {
  ASSERT_EQ(DllUnregisterServer(), S_OK);
  EXPECT_FALSE(fs::exists(file.parent_path()));
}

TEST_F(Registry, FollowsASymbolicLinkToTheRealFile) {
  const fs::path real = folder.path() / "shared-registry";
  WriteFile(real, "[ProgID\\Other.Server]\n\n");
  fs::create_directories(file.parent_path());
  fs::create_symlink(real, file);
  ASSERT_EQ(DllRegisterServer(), S_OK) << NmlServerLastError();
  EXPECT_TRUE(fs::is_symlink(file));
  EXPECT_EQ(Count(ReadFile(real), kClassSection), 1u);
  ASSERT_EQ(DllUnregisterServer(), S_OK);
  EXPECT_EQ(ReadFile(real), "[ProgID\\Other.Server]\n\n");
}

TEST_F(Registry, KeepsTheFilesPermissions) {
  fs::create_directories(file.parent_path());
  WriteFile(file, "");
  ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
  ASSERT_EQ(DllRegisterServer(), S_OK);
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(Registry, AFolderThatCannotBeMadeFailsAndSaysWhy) {
  const fs::path blocker = folder.path() / "plain-file";
  WriteFile(blocker, "x");
  ScopedEnv bad{"NMLCORRELATION_REGISTRY", (blocker / "registry").c_str()};
  EXPECT_EQ(DllRegisterServer(), SELFREG_E_CLASS);
  EXPECT_NE(std::string(NmlServerLastError()).find("plain-file"), std::string::npos) << NmlServerLastError();
  EXPECT_EQ(ReadFile(blocker), "x");
}

TEST(RegistryPath, EnvironmentThenXdgConfigHomeThenHome) {
  TempFolder folder;
  {
    ScopedEnv explicitPath{"NMLCORRELATION_REGISTRY", "/srv/registry"};
    ScopedEnv xdg{"XDG_CONFIG_HOME", "/ignored"};
    EXPECT_EQ(RegistryPathNow(), "/srv/registry");
  }
  ScopedEnv noExplicit{"NMLCORRELATION_REGISTRY", nullptr};
  {
    ScopedEnv xdg{"XDG_CONFIG_HOME", folder.path().c_str()};
    const fs::path expected = folder.path() / "nmlcorrelation" / "registry";
    EXPECT_EQ(RegistryPathNow(), expected.string());
    ASSERT_EQ(DllRegisterServer(), S_OK) << NmlServerLastError();
    EXPECT_EQ(Count(ReadFile(expected), kClassSection), 1u);
    ASSERT_EQ(DllUnregisterServer(), S_OK);
  }
  {
    ScopedEnv relativeXdg{"XDG_CONFIG_HOME", "relative/config"};  // not absolute: ignored
    ScopedEnv home{"HOME", "/home/someone"};
    EXPECT_EQ(RegistryPathNow(), "/home/someone/.config/nmlcorrelation/registry");
  }
  {
    ScopedEnv xdg{"XDG_CONFIG_HOME", nullptr};
    ScopedEnv home{"HOME", "/home/someone"};
    char tiny[8];
    EXPECT_EQ(NmlServerRegistryPath(tiny, sizeof tiny), 0u) << "does not fit";
  }
}

// ---- Strings ---------------------------------------------------------------

TEST(Bstr, LengthPrefixTerminatorAndNull) {
  const OLECHAR text[] = {'a', 0, 'b', 0};
  BSTR b = SysAllocStringLen(text, 3);  // an embedded NUL is part of the string
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(SysStringLen(b), 3u);
  std::uint32_t prefix = 0;
  std::memcpy(&prefix, reinterpret_cast<const char*>(b) - 4, 4);
  EXPECT_EQ(prefix, 6u) << "byte count before the characters";
  EXPECT_EQ(b[1], 0);
  EXPECT_EQ(b[2], 'b');
  EXPECT_EQ(b[3], 0) << "terminated";
  SysFreeString(b);

  BSTR c = SysAllocString(text);  // up to the first NUL
  EXPECT_EQ(SysStringLen(c), 1u);
  SysFreeString(c);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  SysFreeString(nullptr);
  BSTR zeros = SysAllocStringLen(nullptr, 2);
  EXPECT_EQ(zeros[0], 0);
  EXPECT_EQ(SysStringLen(zeros), 2u);
  SysFreeString(zeros);
  EXPECT_EQ(SysAllocStringLen(text, 0x80000000u), nullptr) << "byte count would not fit the prefix";
}

TEST(Variant, ClearFreesWhatItOwnsAndRefusesArrays) {
  VARIANT v;
  VariantInit(&v);
  EXPECT_EQ(v.vt, VT_EMPTY);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(reinterpret_cast<const OLECHAR*>(u"text"));
  EXPECT_EQ(VariantClear(&v), S_OK);  // the sanitizer build sees a leak otherwise
  EXPECT_EQ(v.vt, VT_EMPTY);
  v.vt = VT_ARRAY | VT_R8;
  EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
  v.vt = 0x0FFF;
  EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
  EXPECT_EQ(VariantClear(nullptr), E_POINTER);
}

}  // namespace
}  // namespace nml::server::testing
