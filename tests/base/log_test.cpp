#include "base/log.h"

#include <gtest/gtest.h>

#include "fake_env.h"

namespace dovevid {
namespace {

class TraceLogTest : public ::testing::Test {
 protected:
  testing::FakeEnv env_;
  bool enabled_ = true;
  std::string dir_ = "/data";
  TraceLog log_{env_, [this] { return enabled_; }, [this] { return dir_; }};
};

TEST_F(TraceLogTest, EntryHasFourFieldsKeepsTrailingBlanksAndAnUnwritableOneIsDropped) {
  env_.SetNow(DateTime{2026, 3, 7, 9, 5, 12});
  log_.WriteErrorLog("Fase n.1: 1");
  log_.WriteErrorLog("DoSendFile n.1 ");
  env_.FailNext(testing::FakeEnv::Op::kAppend, "/data/ErrorLog_07_03_2026.txt", 1,
                Status::Error(70, "Permission denied"));
  log_.WriteErrorLog("lost");
  log_.WriteErrorLog("Go_Executi n.4 ", Status::Error(70, "Permission denied"));
  EXPECT_EQ(env_.File("/data/ErrorLog_07_03_2026.txt"),
            "err_Fase n.1: 1 | 07-03-2026 09:05:12 |  | 0\r\n"
            "err_DoSendFile n.1  | 07-03-2026 09:05:12 |  | 0\r\n"
            "err_Go_Executi n.4  | 07-03-2026 09:05:12 | Permission denied | 70\r\n");
}

TEST_F(TraceLogTest, SwitchIsReadPerEntryAndTheDateNamesTheFile) {
  enabled_ = false;
  log_.WriteErrorLog("INIZIO PROGRAMMA");
  EXPECT_TRUE(env_.files().empty());
  enabled_ = true;
  log_.WriteErrorLog("INIZIO PROGRAMMA");
  EXPECT_EQ(env_.files().size(), 1u);
  // Entries around midnight go to two files.
  env_.SetNow(DateTime{2026, 12, 31, 23, 59, 59});
  log_.WriteErrorLog("a");
  env_.AdvanceMs(2000);
  log_.WriteErrorLog("b");
  EXPECT_EQ(env_.File("/data/ErrorLog_31_12_2026.txt"), "err_a | 31-12-2026 23:59:59 |  | 0\r\n");
  EXPECT_EQ(env_.File("/data/ErrorLog_01_01_2027.txt"), "err_b | 01-01-2027 00:00:01 |  | 0\r\n");
}

}  // namespace
}  // namespace dovevid
