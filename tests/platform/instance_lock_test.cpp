#include "platform/instance_lock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "temp_dir.h"

namespace dovevid::platform {
namespace {

namespace fs = std::filesystem;

// A second server refused, and the lock released at exit (even kill -9) and
// kept through a move: the end-to-end second-server and fault-matrix tests.
TEST(InstanceLock, SurvivesEveryFileOfTheDirectoryBeingDeleted) {
  testing::TempDir dir;
  std::string error;
  auto lock = InstanceLock::Acquire(dir.path(), &error);
  ASSERT_TRUE(lock) << error;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir.path())) fs::remove_all(entry);
  // Another process, as a second server would be, does not get it.
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(InstanceLock::Acquire(dir.path(), &error) ? 0 : 1);
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
  EXPECT_FALSE(InstanceLock::Acquire(dir / "missing", &error));
  EXPECT_THAT(error, ::testing::HasSubstr("missing"));
}

}  // namespace
}  // namespace dovevid::platform
