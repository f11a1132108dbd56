// The server on the fake disk, clock and printer.
#include "job/server.h"

#include "base/text.h"
#include "test_doubles.h"

namespace dovevid::job {
namespace {

using ::testing::StartsWith;

class ServerTest : public testing::ServerTestBase {
 protected:
  StatusView view_;
  Server server_{Machine(op, view_, 42, [](int n) { return "/dev/ttyS" + std::to_string(n - 1); }),
                 dirs_};
};

class CleanUp : public ServerTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CleanUp, StartAndShutdownRemoveJobFilesAsNoKillDatiStartSays) {
  const bool no_kill = GetParam();
  SaveSettings(no_kill);
  for (const std::string ext : {".001", ".004", ".005"})
    for (const std::string base : {"SR_START", "SR_DATI", "SR_MATR", "SR_ERR", "SR_OUT", "FINESCO"})
      env.SetFile("/data/" + base + ext, "x");
  server_.Start();
  for (const std::string base : {"SR_START", "SR_DATI", "SR_MATR", "SR_ERR", "SR_OUT", "FINESCO"}) {
    const bool job_file = base == "SR_START" || base == "SR_DATI";
    EXPECT_EQ(env.HasFile("/data/" + base + ".004"), no_kill && job_file) << base;
    EXPECT_TRUE(env.HasFile("/data/" + base + ".005")) << base;  // beyond .004: untouched
  }

  // At shutdown the start file of the current extension goes only with the
  // option: the opposite sense of the start-up clean-up.
  env.SetFile("/data/SR_START.001", "");
  env.SetFile("/data/SR_ERR.001", "E504\r\n");
  bool stopped = false;
  server_.RequestStop([&] { stopped = true; });
  EXPECT_TRUE(stopped);
  EXPECT_FALSE(timer_.Enabled());
  EXPECT_FALSE(env.HasFile("/data/SR_ERR.001"));
  EXPECT_EQ(env.HasFile("/data/SR_START.001"), !no_kill);
  EXPECT_THAT(Trace(), ::testing::ContainsRegex("FINE   PROGRAMM1.*PROGRAMM3.*PROGRAMM4"));
}

INSTANTIATE_TEST_SUITE_P(NoKillDatiStart, CleanUp, ::testing::Bool());

TEST_F(ServerTest, RequestsDuringAJobWaitForItsAnswerStatusAnswersAtOnce) {
  server_.Start();
  Run(server_, 1000);  // the first poll publishes the identification
  Submit();

  std::vector<std::string> events;
  std::string status_during_job;
  const std::vector<std::string> requests[] = {
      {"printer", "feed"}, {"counter", "15"}, {"logo", "print"}};
  env.OnPump([&] {
    if (!server_.state().job_in_progress || !status_during_job.empty()) return;
    for (const auto& request : requests) {
      server_.HandleRequest(request, [&events, name = request[0]](const ControlReply& r) {
        events.push_back(name + " " + std::to_string(r.exit_code) + " " + r.out);
      });
    }
    server_.HandleRequest({"status"}, [&](const ControlReply& r) { status_during_job = r.out; });
    events.push_back("queued while printing");
  });
  Run(server_, 3000);  // the re-arming tick after the dump, then the poll that takes the job
  env.OnPump({});
  EXPECT_THAT(events, ElementsAre("queued while printing", "printer 0 ", "counter 0 15\n",
                                  "logo 0 logo printed on RS232_PRINTER\n"));
  EXPECT_FALSE(env.HasFile("/data/DOVEVID.JOB"));  // the job ended
  EXPECT_THAT(status_during_job, HasSubstr("job=printing\n"));
  EXPECT_THAT(status_during_job, HasSubstr("device=/dev/ttyS0\n"));
  EXPECT_TRUE(env.HasFile("/data/FINESCO.001"));
  // The feed and the logo came after the whole receipt, cut included.
  EXPECT_THAT(serial.printed, EndsWith("\x1DV\x42\r\n\x1BJ1\r\n\x1D(L\x06\0000E  \x01\x01"s));
  EXPECT_THAT(env.File("/app/KV2EPcfg.txt"), HasSubstr("\r\n 15 \r\n"));  // saved at once

  const std::string status = server_.Execute({"status"}).out;
  EXPECT_THAT(status, HasSubstr("job=idle\n"));
  EXPECT_THAT(status, HasSubstr("last_job=TUTTO OK\n"));
}

TEST_F(ServerTest, AStartFileIsTakenAtOnceOnlyWhileTheTimerWaitsAPlainPeriod) {
  env.SetFile("/data/KVTIMER1.TXT", "2\r\n");
  server_.Start();
  Run(server_, 3000);  // the dump's poll at 2 s, its re-arming tick at 3 s
  // Queues a job, tells the server `name` appeared; true when it was answered.
  const auto appear = [&](const std::string& name) {
    (void)env.RemoveFile("/data/FINESCO.001");
    Submit();
    server_.OnFileAppeared(name);
    return env.HasFile("/data/FINESCO.001");
  };
  EXPECT_FALSE(appear("SR_START.001"));  // the first period after a re-arming runs whole
  Run(server_, 2000);
  EXPECT_TRUE(env.HasFile("/data/FINESCO.001"));
  EXPECT_FALSE(appear("SR_START.001"));  // the re-arming after the job
  Run(server_, 3000);
  EXPECT_TRUE(env.HasFile("/data/FINESCO.001"));
  Run(server_, 3000);  // re-arming tick, then a plain tick without a job
  EXPECT_FALSE(appear("SR_DATI.001"));
  EXPECT_FALSE(appear("SR_START.002"));
  EXPECT_TRUE(appear("SR_START.001"));
  EXPECT_EQ(timer_.Interval(), 1000);  // re-armed as after any job
}

TEST_F(ServerTest, SettingsAreCheckedWholeAppliedWithTheirHandlersAndSavedTheCounterAtEveryJob) {
  server_.Start();
  Run(server_, 1000);
  ASSERT_EQ(server_.ChangeSettings({"txtHeader(0)=NOT SAVED"}, false).exit_code, 0);
  Submit();
  Run(server_, 3000);
  const std::string saved = env.File("/app/KV2EPcfg.txt");
  EXPECT_EQ(SplitCrLf(saved).at(5), " 1 ");  // record 6, as a kill -9 would find it
  EXPECT_THAT(saved, Not(HasSubstr("NOT SAVED")));
  server_.RequestReload();  // SIGHUP: the files' values again
  EXPECT_EQ(server_.settings().txtHeader[0], "");
  EXPECT_EQ(server_.settings().receipt_counter, 1);

  // (A refused counter and a reprint before any receipt are answered end to end.)
  const std::tuple<std::vector<std::string>, int, std::string> cases[] = {
      {{"settings", "set", "cboFileExtension=.005", "cboParity=X"}, 2, "cboParity"},
      {{"settings", "set", "txtTimerVal=0"}, 2, "txtTimerVal"},
      {{"settings", "set", "nonsense"}, 2, "not NAME=VALUE"},
      {{"printer", "jump"}, 2, "no such command"},
      {{"rm", "-rf", "/"}, 2, "not a request"},
      {{"logo", "load", "BM", "threshold=0"}, 2, "unexpected arguments"},
      {{"logo", "download", "not a bitmap"}, 1, "Format invalid"},
      {{"logo", "preview", "not a bitmap"}, 1, "File not converted"},
      {{"settings", "set", "cboFileExtension=.005", "txtTimerVal=250", "cboComPort=<none>"}, 0, ""},
  };
  for (const auto& [request, exit_code, err] : cases) {
    const ControlReply r = server_.Execute(request);
    EXPECT_EQ(r.exit_code, exit_code) << request[0] << " " << r.err;
    EXPECT_THAT(r.err, HasSubstr(err));
    if (exit_code != 0) {
      EXPECT_EQ(server_.settings().FileExtension(), ".001");  // none of it
    }
  }
  EXPECT_EQ(server_.settings().FileExtension(), ".005");
  EXPECT_FALSE(env.HasFile("/app/LogoRequest.bmp"));  // the picture goes with its request
  EXPECT_EQ(timer_.Interval(), 250);
  EXPECT_FALSE(server_.state().port_usable);  // the COM port handler ran
  EXPECT_EQ(env.File("/data/KVTIMER1.TXT"), "250\r\n");
  EXPECT_THAT(env.File("/app/KV2EPcfg.txt"), StartsWith("-1 \r\n"));
}

TEST_F(ServerTest, UnusablePortIsTriedAgainAndEachChangeToldOnce) {
  serial.configure_fault = Status::Error(fault::kPermissionDenied, "Permission denied");
  server_.Start();
  EXPECT_FALSE(server_.state().port_usable);
  Run(server_, 3000);
  serial.configure_fault = Status::OK();
  Run(server_, 1500);
  EXPECT_TRUE(server_.state().port_usable);
  EXPECT_THAT(op.messages,
              ElementsAre("Porta Com n.1 non disponibile",
                          "COM1 (/dev/ttyS0) is not usable: Permission denied: add the service "
                          "user to the dialout group",
                          "COM1 (/dev/ttyS0) is usable again"));
}

}  // namespace
}  // namespace dovevid::job
