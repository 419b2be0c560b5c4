#include "host/files/temp_file.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "files_test_support.h"

namespace nml::host::files {
namespace {

// A save ended by SIGINT or SIGTERM leaves no temporary file; the process
// still ends by the signal.
TEST(TempFile, RemovedWhenTheProcessIsEndedBySignal) {
  for (const int signal : {SIGINT, SIGTERM}) {
    test::TempFolder dir;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::signal(signal, SIG_DFL);
      TempFile temp(dir.Path().string(), "out.xlsx");
      ::raise(signal);
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path())) << signal;
  }
}

// The handler is there only while temporary files exist (a library unloaded
// later leaves none behind), and never replaces the application's own.
TEST(TempFile, TheHandlerIsInPlaceOnlyWhileTemporaryFilesExist) {
  test::TempFolder dir;
  const auto handler = [] {
    struct sigaction action {};
    ::sigaction(SIGTERM, nullptr, &action);
    return action.sa_handler;
  };
  ASSERT_EQ(handler(), SIG_DFL);
  {
    TempFile first(dir.Path().string(), "a.xlsx");
    TempFile second(dir.Path().string(), "b.xlsx");
    second.Keep();
    EXPECT_NE(handler(), SIG_DFL);
  }
  EXPECT_EQ(handler(), SIG_DFL);
  ::signal(SIGTERM, SIG_IGN);
  {
    TempFile third(dir.Path().string(), "c.xlsx");
    EXPECT_EQ(handler(), SIG_IGN);
  }
  ::signal(SIGTERM, SIG_DFL);
}

}  // namespace
}  // namespace nml::host::files
