#include "job/job_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_env.h"
#include "test_doubles.h"

namespace dovevid::job {
namespace {

using ::testing::HasSubstr;
using testing::FakeEnv;
using testing::RecordingOperator;

class JobFilesTest : public ::testing::Test {
 protected:
  JobFilesTest() {
    dirs_.app_dir = "/app";
    dirs_.data_dir = "/data";
    settings_.cboFileExtension = 2;  // ".003"
    settings_.chkOptions[config::kTraceEnable] = true;
  }

  std::string TraceFile() { return env_.File("/data/ErrorLog_07_03_2026.txt"); }

  FakeEnv env_;
  config::Directories dirs_;
  config::Settings settings_;
  TraceLog trace_{env_, [this] { return settings_.Option(config::kTraceEnable); },
                  [this] { return dirs_.data_dir; }};
  RecordingOperator op_;
  JobFiles files_{env_, trace_, op_, dirs_, settings_};
};

TEST(JobAnswers, ResultLinesHaveTheFixedFieldsAndAPlainCounter) {
  EXPECT_EQ(ResultFileText(DateTime{2026, 3, 7, 9, 5, 12}, 42),
            "TIME,CASS. 1 ,09:05, CASSA   1 ,E,A1;\r\nDATE,07-03-26,  SCONTR. N.42,E,A1;\r\n");
  EXPECT_THAT(ResultFileText(DateTime{2009, 12, 31, 23, 59, 0}, 7),
              HasSubstr("DATE,31-12-09,  SCONTR. N.7,E,A1;\r\n"));
  EXPECT_THAT(ResultFileText(DateTime{2026, 1, 1, 0, 0, 0}, -3), HasSubstr("N.-3,E,A1;"));
}

TEST_F(JobFilesTest, ErrorFileIsReplacedByOneLine) {
  env_.SetFile("/data/SR_ERR.003", "old contents\r\nmore\r\n");
  EXPECT_TRUE(files_.WriteErrFile(kMsgNoInput));
  EXPECT_EQ(env_.File("/data/SR_ERR.003"),
            "E511: Trasmissione non avvenuta: file di input non presente\r\n");
}

TEST_F(JobFilesTest, StartFileDeletionCreatesFinescoOnlyWithoutErrorFile) {
  env_.SetFile("/data/SR_START.003", "");
  EXPECT_TRUE(files_.SubKillStartFile());
  EXPECT_FALSE(env_.HasFile("/data/SR_START.003"));
  EXPECT_EQ(env_.File("/data/FINESCO.003"), "finesco");

  // A failed job: the error file stays the answer, no marker.
  env_.RemoveFile("/data/FINESCO.003");
  env_.SetFile("/data/SR_START.003", "x");
  env_.SetFile("/data/SR_ERR.003", "E504\r\n");
  EXPECT_TRUE(files_.SubKillStartFile());
  EXPECT_FALSE(env_.HasFile("/data/SR_START.003"));
  EXPECT_FALSE(env_.HasFile("/data/FINESCO.003"));

  // No start file: nothing to end, no marker.
  env_.RemoveFile("/data/SR_ERR.003");
  EXPECT_TRUE(files_.SubKillStartFile());
  EXPECT_FALSE(env_.HasFile("/data/FINESCO.003"));
}

TEST_F(JobFilesTest, DeleteRetriesEveryHalfSecondAndTracesEachAttempt) {
  env_.SetFile("/data/SR_OUT.003", "");
  env_.FailNext(FakeEnv::Op::kRemove, "/data/SR_OUT.003", 3,
                Status::Error(fault::kPermissionDenied, "Permission denied"));
  EXPECT_TRUE(files_.SubKillFileOut());
  EXPECT_FALSE(env_.HasFile("/data/SR_OUT.003"));
  EXPECT_EQ(env_.slept_ms(), 3 * 500);
  const std::string trace = TraceFile();
  EXPECT_THAT(trace, HasSubstr("err_err_SubKillFileOut | 1 | 07-03-2026 09:05:12 | Permission denied | 70\r\n"));
  EXPECT_THAT(trace, HasSubstr("err_err_SubKillFileOut | 3 | "));
  EXPECT_THAT(trace, ::testing::Not(HasSubstr("SubKillFileOut | 4")));
  EXPECT_FALSE(env_.HasFile("/data/LOGFILE.TXT"));
  EXPECT_GT(env_.pump_count(), 0);  // the waits let events run
}

TEST_F(JobFilesTest, DeleteGivesUpAfterTwentyTriesAndLogs) {
  struct Case {
    bool (JobFiles::*kill)();
    std::string base;
    std::string procedure;
    std::string logfile;
  };
  const Case cases[] = {
      {&JobFiles::SubKillErrFile, "SR_ERR", "SubKillErrFile", "Errore nella Kill di SR_ERR"},
      {&JobFiles::SubKillFileOut, "SR_OUT", "SubKillFileOut", "Errore nella Kill di SR_OUT"},
      {&JobFiles::SubKillDatiFile, "SR_DATI", "SubKillDatiFile", "Errore nella Kill di SR_DATI"},
      {&JobFiles::SubKillStartFile, "SR_START", "SubKillStartFile",
       "Errore nella Kill di SR_START"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.procedure);
    FakeEnv env;
    TraceLog trace(env, [] { return true; }, [] { return std::string("/data"); });
    JobFiles files(env, trace, op_, dirs_, settings_);
    const std::string path = "/data/" + c.base + ".003";
    env.SetFile(path, "");
    env.FailNext(FakeEnv::Op::kRemove, path, 100, Status::Error(fault::kPermissionDenied, "Permission denied"));
    EXPECT_FALSE((files.*c.kill)());
    EXPECT_TRUE(env.HasFile(path));
    EXPECT_EQ(env.slept_ms(), 19 * 500);
    EXPECT_EQ(env.File("/data/LOGFILE.TXT"), "07/03/2026 09:05:21 " + c.logfile + "\r\n");
    const std::string log = env.File("/data/ErrorLog_07_03_2026.txt");
    EXPECT_THAT(log, HasSubstr("err_err_" + c.procedure + " | 19 | "));
    EXPECT_THAT(log, HasSubstr("err_err_" + c.procedure + " | 07-03-2026 09:05:21 | Permission denied | 70\r\n"));
    EXPECT_THAT(log, ::testing::Not(HasSubstr(c.procedure + " | 20")));
  }
}

TEST_F(JobFilesTest, ErrorFileWriteGivesUpWithoutLogfileLine) {
  env_.FailNext(FakeEnv::Op::kWrite, "/data/SR_ERR.003", 20, Status::Error(fault::kDeviceIo, "Device I/O error"));
  EXPECT_FALSE(files_.WriteErrFile(kMsgNoPort));
  EXPECT_FALSE(env_.HasFile("/data/LOGFILE.TXT"));
  EXPECT_THAT(TraceFile(), HasSubstr("err_err_WriteErrFile | 07-03-2026 09:05:21 | Device I/O error | 57\r\n"));
  // A fault that clears on the last try is still a success.
  env_.FailNext(FakeEnv::Op::kWrite, "/data/SR_ERR.003", 19, Status::Error(fault::kDeviceIo, "Device I/O error"));
  EXPECT_TRUE(files_.WriteErrFile(kMsgNoPort));
  EXPECT_EQ(env_.File("/data/SR_ERR.003"), std::string(kMsgNoPort) + "\r\n");
}

TEST_F(JobFilesTest, VerifyExistenceAndKillTriesOnceAndTellsTheOperator) {
  env_.SetFile("/data/SR_MATR.002", "1A2B3C4D\r\n");
  files_.VerifyExistenceAndKill("/SR_MATR.002");
  EXPECT_FALSE(env_.HasFile("/data/SR_MATR.002"));
  files_.VerifyExistenceAndKill("SR_MATR.002");  // absent: nothing to say
  EXPECT_TRUE(op_.messages.empty());

  env_.SetFile("/data/SR_OUT.001", "");
  env_.FailNext(FakeEnv::Op::kRemove, "/data/SR_OUT.001", 1, Status::Error(fault::kPermissionDenied, "Permission denied"));
  files_.VerifyExistenceAndKill("SR_OUT.001");
  env_.FailNext(FakeEnv::Op::kRemove, "/data/SR_OUT.001", 1, Status::Error(fault::kDeviceIo, "Device I/O error"));
  files_.VerifyExistenceAndKill("SR_OUT.001");
  EXPECT_EQ(env_.slept_ms(), 0);
  EXPECT_THAT(op_.messages, ::testing::ElementsAre(
                                "Err_VerifyExistenceAndKill: Permesso negato Permission denied70",
                                "Err_VerifyExistenceAndKill: Device I/O error57"));
}

}  // namespace
}  // namespace dovevid::job
