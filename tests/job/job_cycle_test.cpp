#include "job/job_cycle.h"

#include "test_doubles.h"

namespace dovevid::job {
namespace {

class RecordingView : public StatusView {
 public:
  void ShowStatus(std::string_view text, bool error) override {
    statuses.push_back(std::string(text) + (error ? " [red]" : ""));
  }
  void ShowTick(std::string_view text) override { ticks.emplace_back(text); }
  void EnableTestButton(bool enabled) override { test_button = enabled; }
  std::vector<std::string> statuses, ticks;
  bool test_button = true;
};

struct NoDump : DumpRunner {
  explicit NoDump(const IdentificationDump::Deps&) {}
  void StartDumpConf() override { ADD_FAILURE() << "SR_MATR is there: no dump expected"; }
};

// A job cycle on a usable port polling every `kInterval` ms, the timer armed as start-up leaves it.
template <typename Dump, int kInterval>
class CycleTest : public testing::JobTest {
 protected:
  CycleTest() {
    settings.polling_interval_ms = kInterval;
    state_.port_usable = true;
    state_.status_display = true;
    timer_.SetInterval(kInterval);
    timer_.SetEnabled(true);
    if (std::is_same_v<Dump, NoDump>) env.SetFile("/data/SR_MATR.001", "1A2B3C4D\r\n");
  }
  void RunFor(std::int64_t ms) {
    timer_.RunUntil(env.MonotonicMs() + ms, [this] { cycle_.OnPollTick(); });
  }

  RecordingView view_;
  testing::FixedIdentity source_;
  Dump dump_{{env, trace_, state_, files_, timer_, view_, channel, source_}};
  testing::ScriptedPrint print_{env};
  int episode_clears_ = 0;
  JobCycle cycle_{JobCycle::Deps{env, trace_, op, dirs_, settings, state_, files_, timer_, view_,
                                 print_, dump_, [this] { ++episode_clears_; }}};
};

using JobCycleTest = CycleTest<NoDump, 2000>;

TEST_F(JobCycleTest, SuccessfulJobAnswersInTheProtocolOrder) {
  Submit();
  env.SetFile("/data/FINESCO.001", "finesco");
  env.SetFile("/data/SR_OUT.001", "old\r\n");
  env.SetFile("/data/SR_ERR.001", "E504: old failure\r\n");
  settings.receipt_counter = 41;
  print_.during = [this] {
    // Accepted: the old answer gone, the copy made; the old SR_ERR stays until success.
    EXPECT_FALSE(env.HasFile("/data/FINESCO.001"));
    EXPECT_FALSE(env.HasFile("/data/SR_OUT.001"));
    EXPECT_TRUE(env.HasFile("/data/SR_ERR.001"));
    EXPECT_EQ(env.File("/data/COPIA.TMP"), "Total 12,50\r\n");
    EXPECT_FALSE(timer_.Enabled());
  };
  RunFor(2000);

  ASSERT_THAT(print_.files, ElementsAre("/data/SR_DATI.001"));
  EXPECT_EQ(env.File("/data/SR_OUT.001"),
            "TIME,CASS. 1 ,09:05, CASSA   1 ,E,A1;\r\nDATE,07-03-26,  SCONTR. N.42,E,A1;\r\n");
  EXPECT_EQ(episode_clears_, 1);
  EXPECT_THAT(view_.statuses, ElementsAre("TRASMISSIONE QNB DOVEVID1 IN CORSO ..",
                                          "QNB DOVEVID1 TERMINATO : TUTTO OK"));
  EXPECT_THAT(testing::TraceMessages(Trace()),
              ElementsAre("Fase n.1: 1", "Fase n.2: 0", "Fase n.2A: 0", "Go_Executi n.1 ",
                          "Go_Executi n.2 ", "Go_Executi n.3 ", "Fase n.2B: 0", "Fase n.3: 0"));
}

TEST_F(JobCycleTest, EachPrintResultGivesItsJobStatusAndAnswer) {
  const std::string generic =
      "E : Errore generico sull'Ecr, verificare sul manuale del registratore\r\n";
  struct Case { std::deque<RunResult> results; size_t runs; int status; std::string err_file, shown; };
  // Each failure replaces the SR_ERR of the one before; a success removes it.
  const Case cases[] = {
      {{kRunFailed}, 1, -5, generic, "ERR. IMPREVISTO ECR [red]"},
      {{kRunPaperEnd}, 1, -6, "E096: Fine carta scontrino, sostituire rotolo\r\n",
       "ERR. IMPREVISTO ECR [red]"},
      {{kRunRepeat, kRunSent}, 2, 0, "", "TUTTO OK"},
      // A renderer that never produces its file does not hold the server.
      {{kRunRepeat, kRunRepeat, kRunRepeat, kRunRepeat}, 3, -5, generic,
       "ERR. IMPREVISTO ECR [red]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    print_.files.clear();
    print_.results = c.results;
    view_.statuses.clear();
    env.RemoveFile("/data/SR_OUT.001");
    env.RemoveFile("/data/FINESCO.001");
    Submit();
    state_.job_in_progress = true;
    const JobStatus status = cycle_.ExecuteJob();
    EXPECT_EQ(Number(status), c.status);
    EXPECT_EQ(print_.files.size(), c.runs);
    cycle_.EndJob(status);

    EXPECT_FALSE(env.HasFile("/data/SR_START.001"));
    EXPECT_THAT(view_.statuses, ElementsAre("QNB DOVEVID1 TERMINATO : " + c.shown));
    EXPECT_EQ(env.File("/data/SR_ERR.001"), c.err_file.empty() ? "<missing>" : c.err_file);
    // A failed job keeps its data so it can be repeated, and has no other answer.
    EXPECT_EQ(env.HasFile("/data/SR_DATI.001"), !c.err_file.empty());
    EXPECT_EQ(env.HasFile("/data/FINESCO.001"), c.err_file.empty());
    EXPECT_EQ(env.HasFile("/data/SR_OUT.001"), c.err_file.empty());
  }
}

TEST_F(JobCycleTest, AnAnswerThatCannotBeWrittenIsToldAndNeverMarkedAsDone) {
  struct Case { RunResult result; std::string file; int fails; std::string traced; };
  // (SR_OUT unwritable: the end-to-end DataDirReadOnly and DataDirFull rows.)
  for (const Case& c : {Case{kRunSent, "/data/FINESCO.001", kFileTries, "SubKillStartFile"},
                        Case{kRunFailed, "/data/SR_ERR.001", kFileTries, "WriteErrFile"}}) {
    SCOPED_TRACE(c.file);
    op.messages.clear();
    print_.results = {c.result};
    env.FailNext(FakeEnv::Op::kWrite, c.file, c.fails,
                 Status::Error(fault::kDiskFull, "Disk full"));
    Submit();
    state_.job_in_progress = true;
    cycle_.EndJob(cycle_.ExecuteJob());
    EXPECT_FALSE(env.HasFile("/data/FINESCO.001"));
    EXPECT_FALSE(env.HasFile("/data/SR_START.001"));
    EXPECT_THAT(op.messages, ElementsAre("err_End_Execution: " + c.file + " Disk full 61"));
    EXPECT_EQ(cycle_.unwritten_answer(), c.file + ": Disk full");
    EXPECT_THAT(Trace(),
                ::testing::ContainsRegex("err_" + c.traced + " \\| [0-9: -]+ \\| Disk full"));
  }
  Submit();  // the next answer written clears the report
  state_.job_in_progress = true;
  cycle_.EndJob(cycle_.ExecuteJob());
  EXPECT_EQ(cycle_.unwritten_answer(), "");
}

TEST_F(JobCycleTest, JobQueuedDuringAJobIsTakenOneSecondPlusTheIntervalAfterItsEnd) {
  Submit("first\r\n");
  print_.during = [this] {
    if (print_.files.size() == 1) Submit("second\r\n");
  };
  RunFor(2000);
  const std::int64_t end = env.MonotonicMs();
  EXPECT_THAT(env.File("/data/SR_OUT.001"), HasSubstr("SCONTR. N."));

  RunFor(1000);  // re-arming tick: restores the interval, takes nothing
  EXPECT_EQ(timer_.Interval(), 2000);
  EXPECT_EQ(episode_clears_, 2);  // end of job, then the re-arming tick
  RunFor(2000);
  EXPECT_THAT(print_.start_times, ElementsAre(2000, end + 3000));
}

TEST_F(JobCycleTest, TickCounterWrapsAfter30001AndTheIndicatorAlternates) {
  state_.tick_counter = 29999;
  for (int expected : {30000, 30001, 0, 1}) {
    cycle_.OnPollTick();
    EXPECT_EQ(state_.tick_counter, expected);
  }
  EXPECT_THAT(view_.ticks, ElementsAre("Timer on", "Timer ON", "Timer on", "Timer ON"));

  state_.status_display = false;
  cycle_.OnPollTick();
  EXPECT_EQ(view_.ticks.size(), 4u);
  // While a dump runs a tick touches nothing.
  state_.dump_in_progress = true;
  Submit();
  cycle_.OnPollTick();
  EXPECT_EQ(state_.tick_counter, 2);
  EXPECT_TRUE(print_.files.empty());
}

TEST_F(JobCycleTest, PollsWithoutAUsablePortTakeNoJob) {
  Submit();
  settings.cboComPort = config::kNone;
  RunFor(2000);
  EXPECT_FALSE(env.HasFile("/data/SR_ERR.001"));
  // E502 on every poll while the start file waits.
  settings.cboComPort = 0;
  state_.port_usable = false;
  RunFor(2000);
  env.RemoveFile("/data/SR_ERR.001");
  RunFor(2000);
  EXPECT_EQ(env.File("/data/SR_ERR.001"), "E502: Nessuna porta di comunicazione disponibile\r\n");
  EXPECT_TRUE(print_.files.empty());  // the start file stays: end to end
}

TEST_F(JobCycleTest, ReceiptCounterOnlyCountsWhenChecked) {
  settings.chkOptions[config::kReceiptCounter] = false;
  settings.receipt_counter = 7;
  Submit();
  RunFor(2000);
  EXPECT_THAT(env.File("/data/SR_OUT.001"), HasSubstr("SCONTR. N.7,E,A1;"));

  settings.chkOptions[config::kReceiptCounter] = true;
  settings.receipt_counter = 2147483647;
  RunFor(1000);  // the re-arming tick
  Submit();
  RunFor(2000);
  EXPECT_THAT(env.File("/data/SR_OUT.001"), HasSubstr("SCONTR. N.1,E,A1;"));
}

TEST_F(JobCycleTest, FailedCopyIsTracedAndThePrintGoesOnOversizedDataIsRefusedUnprinted) {
  Submit();
  env.FailNext(FakeEnv::Op::kCopy, "/data/SR_DATI.001", 1, kDenied);
  RunFor(2000);
  EXPECT_TRUE(env.HasFile("/data/FINESCO.001"));
  EXPECT_THAT(Trace(),
              HasSubstr("err_Go_Executi n.4  | 07-03-2026 09:05:14 | Permission denied | 70"));
  EXPECT_THAT(Trace(), HasSubstr("err_Go_Executi n.6  |"));

  Submit(std::string(kMaxFileBytes + 1, 'x'));
  RunFor(3000);                        // the re-arming tick, then the poll
  EXPECT_EQ(print_.files.size(), 1u);  // refused unprinted
  EXPECT_THAT(env.File("/data/SR_ERR.001"), HasSubstr("Errore generico"));
  EXPECT_THAT(Trace(), HasSubstr("err_Go_Executi n.4  | 07-03-2026 09:05:17 | File too large | 7"));
}

TEST_F(JobCycleTest, UndeletableStartFileIsNotPrintedAgain) {
  Submit();
  env.FailNext(FakeEnv::Op::kRemove, "/data/SR_START.001", kFileTries, kDenied);
  RunFor(2000 + 300 + 19 * 500);
  EXPECT_THAT(env.File("/data/LOGFILE.TXT"), HasSubstr("Errore nella Kill di SR_START"));
  RunFor(10000);
  EXPECT_EQ(print_.files.size(), 1u);

  // Written again, even with no poll between delete and write: a new job.
  ASSERT_TRUE(env.RemoveFile("/data/SR_START.001").ok());
  Submit();
  RunFor(2000);
  EXPECT_EQ(print_.files.size(), 2u);
}

TEST_F(JobCycleTest, SetTimerAndTestReceiptKeepOrStartTheTimerAndAreRefusedWhileAJobPrints) {
  EXPECT_TRUE(cycle_.ChangePollingInterval(".5"));
  EXPECT_EQ(timer_.Interval(), 500);
  EXPECT_TRUE(timer_.Enabled());
  EXPECT_EQ(settings.txtTimerVal, "0.5");
  EXPECT_EQ(env.File("/data/KVTIMER1.TXT"), "500\r\n");

  timer_.SetEnabled(false);
  EXPECT_TRUE(cycle_.ChangePollingInterval("abc"));
  EXPECT_EQ(timer_.Interval(), 1000);
  EXPECT_FALSE(timer_.Enabled());

  state_.job_in_progress = true;
  EXPECT_FALSE(cycle_.ChangePollingInterval("5"));
  EXPECT_EQ(settings.polling_interval_ms, 1000);
  EXPECT_THAT(op.messages,
              ElementsAre("Valore non ammesso", "Connessione in corso, valore non accettato"));
  EXPECT_FALSE(cycle_.QueueTestReceipt());
  EXPECT_FALSE(env.HasFile("/data/SR_START.001"));
  EXPECT_TRUE(view_.test_button);

  state_.job_in_progress = false;  // the timer is still off
  EXPECT_TRUE(cycle_.QueueTestReceipt());
  EXPECT_TRUE(timer_.Enabled());

  bool flag_during_run = false;
  print_.during = [&] { flag_during_run = state_.test_receipt; };
  RunFor(2000);
  EXPECT_TRUE(flag_during_run);
  EXPECT_FALSE(state_.test_receipt);
  EXPECT_TRUE(env.HasFile("/data/FINESCO.001"));
}

using JobFilesTest = testing::JobTest;

TEST(JobAnswers, ResultLinesPadTheYear) {
  EXPECT_THAT(ResultFileText(DateTime{2009, 12, 31, 23, 59, 0}, 7),
              HasSubstr("DATE,31-12-09,  SCONTR. N.7,E,A1;\r\n"));
}

TEST_F(JobFilesTest, VerifyExistenceAndKillTriesOnceOtherDeletesEveryHalfSecondTwentyTimes) {
  settings.cboFileExtension = 2;  // ".003"
  env.SetFile("/data/SR_MATR.002", "1A2B3C4D\r\n");
  files_.VerifyExistenceAndKill("/SR_MATR.002");
  EXPECT_FALSE(env.HasFile("/data/SR_MATR.002"));

  env.SetFile("/data/SR_OUT.001", "");
  env.FailNext(FakeEnv::Op::kRemove, "/data/SR_OUT.001", 1, kDenied);
  files_.VerifyExistenceAndKill("SR_OUT.001");
  env.FailNext(FakeEnv::Op::kRemove, "/data/SR_OUT.001", 1,
               Status::Error(fault::kDeviceIo, "Device I/O error"));
  files_.VerifyExistenceAndKill("SR_OUT.001");
  EXPECT_EQ(env.slept_ms(), 0);
  EXPECT_THAT(op.messages,
              ElementsAre("Err_VerifyExistenceAndKill: Permesso negato Permission denied70",
                          "Err_VerifyExistenceAndKill: Device I/O error57"));

  env.SetFile("/data/SR_OUT.003", "");
  env.FailNext(FakeEnv::Op::kRemove, "/data/SR_OUT.003", 3, kDenied);
  EXPECT_TRUE(files_.SubKillFileOut());
  EXPECT_FALSE(env.HasFile("/data/SR_OUT.003"));
  EXPECT_EQ(env.slept_ms(), 3 * 500);
  EXPECT_GT(env.pump_count(), 0);  // the waits let events run
  EXPECT_EQ(Trace(),
            "err_err_SubKillFileOut | 1 | 07-03-2026 09:05:12 | Permission denied | 70\r\n"
            "err_err_SubKillFileOut | 2 | 07-03-2026 09:05:13 | Permission denied | 70\r\n"
            "err_err_SubKillFileOut | 3 | 07-03-2026 09:05:13 | Permission denied | 70\r\n");
  EXPECT_FALSE(env.HasFile("/data/LOGFILE.TXT"));
  // No start file to delete: no end marker either.
  EXPECT_TRUE(files_.SubKillStartFile());
  EXPECT_FALSE(env.HasFile("/data/FINESCO.003"));

  env.SetFile("/data/SR_DATI.003", "");
  env.FailNext(FakeEnv::Op::kRemove, "/data/SR_DATI.003", 100, kDenied);
  EXPECT_FALSE(files_.SubKillDatiFile());
  EXPECT_EQ(env.slept_ms(), (3 + 19) * 500);
  EXPECT_EQ(env.File("/data/LOGFILE.TXT"), "07/03/2026 09:05:23 Errore nella Kill di SR_DATI\r\n");
  EXPECT_THAT(Trace(), EndsWith("| 19 | 07-03-2026 09:05:23 | Permission denied | 70\r\n"
                                "err_err_SubKillDatiFile | 07-03-2026 09:05:23 | Permission denied"
                                " | 70\r\n"));

  env.RemoveFile("/data/LOGFILE.TXT");
  env.FailNext(FakeEnv::Op::kWrite, "/data/SR_ERR.003", kFileTries, kDenied);
  EXPECT_FALSE(files_.WriteErrFile(kMsgNoPort));
  EXPECT_FALSE(env.HasFile("/data/LOGFILE.TXT"));
  // A fault that clears on the last try is still a success.
  env.FailNext(FakeEnv::Op::kWrite, "/data/SR_ERR.003", kFileTries - 1, kDenied);
  EXPECT_TRUE(files_.WriteErrFile(kMsgNoPort));
  EXPECT_EQ(env.File("/data/SR_ERR.003"), std::string(kMsgNoPort) + "\r\n");
}

TEST(IdentificationText, FromTheHardwareAddressThePrinterReplyOrTheVolumeSerial) {
  const std::pair<const char*, const char*> macs[] = {
      {"001A2B3C4D5E", "1A2B3C4D"}, {"0123456789ABCDEF", "23456789"},  // 8-byte address
      {"0123456789", "01234567"},   {"ABCD", "ABCD"}};
  for (const auto& [mac, id] : macs) EXPECT_EQ(IdentificationFromMac(mac), id) << mac;
  // Only bytes 2 to 20 of the 20-byte reply count.
  const std::pair<std::string, std::optional<std::string>> replies[] = {
      {"\x5F" "X7\0AB123456\0\0"s, "AB123456"}, {"\x5F" "SER123456"s, "SER12345"},
      {"\x5F" "0123456789012345678XYZ"s, "23456789"}, {"\x5F" "1234567"s, std::nullopt},
      {"\x5F\0\0\0\0\0\0\0\0\0"s, std::nullopt}, {"", std::nullopt}};
  for (const auto& [reply, id] : replies) EXPECT_EQ(IdentificationFromPrinterReply(reply), id);
  const std::pair<std::optional<std::int32_t>, const char*> volumes[] = {
      {-1234567890, "12345690"}, {123456789, "12345679"}, {12345678, "12345678"},
      {1234567, "kY1234567"},    {-123456, "J123456"},    {12345, "0"},
      {std::nullopt, "12345678"}};
  for (const auto& [volume, id] : volumes) EXPECT_EQ(ReadSerialNumber(volume), id) << id;
}

using DumpTest = CycleTest<IdentificationDump, 500>;

TEST_F(DumpTest, SerialPrinterTakesTheEthernetAddressASpoolerOneAsksItsSerialNumber) {
  env.SetFile("/data/SR_ERR.001", "E502: Nessuna porta di comunicazione disponibile\r\n");
  dump_.StartDumpConf();
  EXPECT_EQ(env.File("/data/SR_MATR.001"), "1A2B3C4D\r\n");
  EXPECT_FALSE(env.HasFile("/data/SR_ERR.001"));
  EXPECT_TRUE(serial.printed.empty());  // the printer is not asked
  source_.mac.clear();  // no Ethernet adapter: an empty line, jobs still taken
  dump_.StartDumpConf();
  EXPECT_EQ(env.File("/data/SR_MATR.001"), "\r\n");

  testing::UseSpoolerPrinter(channel, spooler);
  channel.OpenStatusMonitor();
  // A silent printer, or a reply too short, falls back on the volume serial.
  const std::tuple<std::string, std::optional<std::int32_t>, const char*> cases[] = {
      {"_AB12345678\0"s, -1234567890, "12345678\r\n"},
      {"", -1234567890, "12345690\r\n"},
      {"_123", std::nullopt, "12345678\r\n"}};
  for (const auto& [reply, volume, line] : cases) {
    monitor.direct_io_reply = reply;
    source_.volume = volume;
    dump_.StartDumpConf();
    EXPECT_EQ(env.File("/data/SR_MATR.001"), line) << reply;
  }
  EXPECT_FALSE(state_.dump_in_progress);
}

TEST_F(DumpTest, NoneWhileBusyOrClosingRemovedIdentificationIsRewrittenOnAPollThatTakesNoJob) {
  for (bool* flag : {&state_.dump_in_progress, &state_.job_in_progress, &state_.closing}) {
    *flag = true;
    dump_.StartDumpConf();
    EXPECT_FALSE(env.HasFile("/data/SR_MATR.001"));
    EXPECT_TRUE(timer_.Enabled());
    *flag = false;
  }
  RunFor(500);  // first poll: the dump
  ASSERT_EQ(env.File("/data/SR_MATR.001"), "1A2B3C4D\r\n");
  RunFor(1000 + 500);  // re-arm, then a poll

  env.RemoveFile("/data/SR_MATR.001");
  Submit();
  RunFor(500);
  EXPECT_EQ(env.File("/data/SR_MATR.001"), "1A2B3C4D\r\n");
  RunFor(1500);  // the dump's re-arming tick at 3500, then one interval
  EXPECT_THAT(print_.start_times, ElementsAre(4000));
}

}  // namespace
}  // namespace dovevid::job
