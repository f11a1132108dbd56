// The real Env on real files: what someone else put into the shared
// directories (links, FIFOs, huge files) is never followed, blocked on or
// read whole, and a replaced file is never seen half-written.
#include "platform/posix_env.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "temp_dir.h"

namespace dovevid::platform {
namespace {

// A linked, FIFO or directory SR_DATI and a linked SR_ERR: the end-to-end
// fault matrix. Here what no job reaches: the log, the copy, a huge file.
TEST(PosixEnv, LinksAndOtherNonRegularFilesAreNeitherReadNorWrittenThrough) {
  testing::TempDir dir;
  PosixEnv env;
  const std::string secret = dir / "secret";
  testing::WriteFileOrDie(secret, "root:x:0:0\n");
  for (const char* name : {"SR_DATI.001", "SR_ERR.001", "LOGFILE.TXT"}) {
    ASSERT_EQ(::symlink(secret.c_str(), (dir / name).c_str()), 0);
  }
  testing::WriteFileOrDie(dir / "big", std::string(kMaxFileBytes + 1, 'x'));

  std::string data;
  EXPECT_FALSE(env.ReadFile(dir / "big", &data).ok());
  EXPECT_FALSE(env.CopyFile(dir / "SR_DATI.001", dir / "COPIA.TMP").ok());
  EXPECT_FALSE(env.AppendFile(dir / "LOGFILE.TXT", "line\r\n").ok());
  // Writing replaces the link itself, with a file for the server's group only.
  EXPECT_TRUE(env.WriteFile(dir / "SR_ERR.001", "E511\r\n").ok());
  EXPECT_EQ(testing::ReadFileOrEmpty(secret), "root:x:0:0\n");
  struct stat st {};
  ASSERT_EQ(::lstat((dir / "SR_ERR.001").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_mode & 07, 0u);
}

TEST(PosixEnv, AWriteThatFailsMidwayLeavesThePreviousFileWhole) {
  testing::TempDir dir;
  PosixEnv env;
  testing::WriteFileOrDie(dir / "SR_OUT.001", "old answer\r\n");
  // A file size limit fails the write part way, as a full disk does.
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  const rlimit small{4, saved.rlim_max};
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const Status st = env.WriteFile(dir / "SR_OUT.001", "TIME,CASS. 1 ,09:05\r\n");
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, old_handler);

  EXPECT_FALSE(st.ok());
  EXPECT_EQ(testing::ReadFileOrEmpty(dir / "SR_OUT.001"), "old answer\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

}  // namespace
}  // namespace dovevid::platform
