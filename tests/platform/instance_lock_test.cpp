#include "platform/instance_lock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "temp_dir.h"

namespace dovevid::platform {
namespace {

// Whether another process (as a second server would be) gets the lock on `dir`.
bool OtherProcessGetsLock(const std::string& dir) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::string error;
    ::_exit(InstanceLock::Acquire(dir, &error) ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A second server refused, and the lock released at exit (even kill -9) and
// kept through a move: the end-to-end second-server and fault-matrix tests.
TEST(InstanceLock, SurvivesEveryFileOfTheDirectoryBeingDeleted) {
  testing::TempDir dir;
  std::string error;
  auto lock = InstanceLock::Acquire(dir.path(), &error);
  ASSERT_TRUE(lock) << error;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    std::filesystem::remove_all(entry.path());
  }
  EXPECT_FALSE(OtherProcessGetsLock(dir.path()));
  EXPECT_FALSE(InstanceLock::Acquire(dir / "missing", &error));
  EXPECT_THAT(error, ::testing::HasSubstr("missing"));
}

}  // namespace
}  // namespace dovevid::platform
