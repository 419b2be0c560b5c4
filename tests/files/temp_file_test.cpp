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
    testing::ScratchDir dir;
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

}  // namespace
}  // namespace nml::host::files
