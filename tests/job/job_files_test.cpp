#include "job/job_files.h"

#include "test_doubles.h"

namespace dovevid::job {
namespace {

class JobFilesTest : public testing::JobTest {
 protected:
  JobFilesTest() { settings_.cboFileExtension = 2; }  // ".003"
};

TEST(JobAnswers, ResultLinesPadTheYear) {
  EXPECT_THAT(ResultFileText(DateTime{2009, 12, 31, 23, 59, 0}, 7),
              HasSubstr("DATE,31-12-09,  SCONTR. N.7,E,A1;\r\n"));
}

TEST_F(JobFilesTest, VerifyExistenceAndKillTriesOnceOtherDeletesEveryHalfSecondTwentyTimes) {
  env_.SetFile("/data/SR_MATR.002", "1A2B3C4D\r\n");
  files_.VerifyExistenceAndKill("/SR_MATR.002");
  EXPECT_FALSE(env_.HasFile("/data/SR_MATR.002"));

  env_.SetFile("/data/SR_OUT.001", "");
  env_.FailNext(FakeEnv::Op::kRemove, "/data/SR_OUT.001", 1, kDenied);
  files_.VerifyExistenceAndKill("SR_OUT.001");
  env_.FailNext(FakeEnv::Op::kRemove, "/data/SR_OUT.001", 1,
                Status::Error(fault::kDeviceIo, "Device I/O error"));
  files_.VerifyExistenceAndKill("SR_OUT.001");
  EXPECT_EQ(env_.slept_ms(), 0);
  EXPECT_THAT(op_.messages,
              ElementsAre("Err_VerifyExistenceAndKill: Permesso negato Permission denied70",
                          "Err_VerifyExistenceAndKill: Device I/O error57"));

  env_.SetFile("/data/SR_OUT.003", "");
  env_.FailNext(FakeEnv::Op::kRemove, "/data/SR_OUT.003", 3, kDenied);
  EXPECT_TRUE(files_.SubKillFileOut());
  EXPECT_FALSE(env_.HasFile("/data/SR_OUT.003"));
  EXPECT_EQ(env_.slept_ms(), 3 * 500);
  EXPECT_GT(env_.pump_count(), 0);  // the waits let events run
  EXPECT_EQ(Trace(),
            "err_err_SubKillFileOut | 1 | 07-03-2026 09:05:12 | Permission denied | 70\r\n"
            "err_err_SubKillFileOut | 2 | 07-03-2026 09:05:13 | Permission denied | 70\r\n"
            "err_err_SubKillFileOut | 3 | 07-03-2026 09:05:13 | Permission denied | 70\r\n");
  EXPECT_FALSE(env_.HasFile("/data/LOGFILE.TXT"));
  // No start file to delete: no end marker either.
  EXPECT_TRUE(files_.SubKillStartFile());
  EXPECT_FALSE(env_.HasFile("/data/FINESCO.003"));

  env_.SetFile("/data/SR_DATI.003", "");
  env_.FailNext(FakeEnv::Op::kRemove, "/data/SR_DATI.003", 100, kDenied);
  EXPECT_FALSE(files_.SubKillDatiFile());
  EXPECT_EQ(env_.slept_ms(), (3 + 19) * 500);
  EXPECT_EQ(env_.File("/data/LOGFILE.TXT"), "07/03/2026 09:05:23 Errore nella Kill di SR_DATI\r\n");
  EXPECT_THAT(Trace(), EndsWith("| 19 | 07-03-2026 09:05:23 | Permission denied | 70\r\n"
                                "err_err_SubKillDatiFile | 07-03-2026 09:05:23 | Permission denied"
                                " | 70\r\n"));

  env_.RemoveFile("/data/LOGFILE.TXT");
  env_.FailNext(FakeEnv::Op::kWrite, "/data/SR_ERR.003", kFileTries, kDenied);
  EXPECT_FALSE(files_.WriteErrFile(kMsgNoPort));
  EXPECT_FALSE(env_.HasFile("/data/LOGFILE.TXT"));
  // A fault that clears on the last try is still a success.
  env_.FailNext(FakeEnv::Op::kWrite, "/data/SR_ERR.003", kFileTries - 1, kDenied);
  EXPECT_TRUE(files_.WriteErrFile(kMsgNoPort));
  EXPECT_EQ(env_.File("/data/SR_ERR.003"), std::string(kMsgNoPort) + "\r\n");
}

}  // namespace
}  // namespace dovevid::job
