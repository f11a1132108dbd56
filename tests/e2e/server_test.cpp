// The built `dovevid --headless` on a temporary data directory, printing to dovevid-vprinter
// on a pty mapped to COM1 (or as a direct printer), polling every 100 ms. The tests act as the
// cash register: they write job files or run `dovevid submit`, then read answers and bytes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "child_process.h"
#include "cups_harness.h"
#include "logo/bmp.h"
#include "temp_dir.h"
#include "vprinter_fixture.h"

namespace dovevid::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

const std::string kJl = "\033a0"s;  // octal: "\x1Ba" would read as one hex escape
const std::string kJc = "\033a1"s;
const std::string kPm0 = "\x1B!\0"s;
const std::string kLineEnd = kJl + "\x1D!\0"s;

// The top of a receipt with the default options (logo, no date lines), one double-width header.
std::string Top() {
  return "\x1BV\0\r\n"s + kJc + "\r\n" + "\x1B!\x20"s + kJc + "BAR ROMA\r\n" + kJl + kPm0 + "\r\n" +
         kJc + "\r\n" + "\x1D(L\x06\0000E  \x01\x01"s + kJl + kPm0 + "\r\n";
}
// A text row as the print run wraps it.
std::string Row(const std::string& upper) { return kJl + upper + "\r\n" + kPm0 + kLineEnd; }
// The end: footer, 3 feeds, partial cut.
std::string End() {
  return kLineEnd + kJc + "\r\n" + "\x1B!\0"s + kJc + "Grazie\r\n" + kJl + kPm0 + "\r\n" +
         "\033d\x03\r\n\x1DV\x42\r\n"s;
}

class E2e : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(printer_.Start(printer_dir_.path(), &why, mode_)) << why;
    com1_ = printer_.link();
    // COM1, text input, 100 ms polls, trace on, no date lines (predictable bytes), header, footer.
    Configure({"cboComPort=1", "txtTimerVal=100", "optInputType(0)=0", "optInputType(1)=1",
               "chkOptions(0)=0", "chkOptions(1)=0", "chkOptions(11)=1", "txtHeader(0)=BAR ROMA",
               "chkDW_Header(0)=1", "txtFooter(0)=Grazie", "cboEndSpaces=3"});
  }
  void TearDown() override {
    server_.Stop();
    if (HasFailure()) {
      std::cerr << "--- server output ---\n"
                << ServerLog() << "--- printer output ---\n"
                << ReadFileOrEmpty(printer_.log_path());
    }
  }

  void Configure(std::vector<std::string> name_values) {
    name_values.insert(name_values.begin(), {"settings", "set"});
    const RunResult r = Command(name_values);
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  }
  // Returns, when `serving`, once the server has published its identification on its first poll.
  void StartServer(const std::vector<std::string>& more = {}, bool serving = true) {
    std::vector<std::string> args = {"--headless", "--app-dir", dir_.path(), "--data-dir", data_};
    args.insert(args.end(), {"--com", "1=" + com1_});
    args.insert(args.end(), common_args_.begin(), common_args_.end());
    args.insert(args.end(), more.begin(), more.end());
    ASSERT_TRUE(server_.Start(DOVEVID_PATH, args, printer_dir_ / "server.log", env_));
    ASSERT_TRUE(!serving ||
                WaitFor([&] { return ServerLog().find("SR_MATR: ") != std::string::npos; }));
  }
  // A dovevid command on this data directory (and the printer's port, to act without a server).
  RunResult Command(std::vector<std::string> args, bool with_port = false) {
    args.insert(args.end(), {"--app-dir", dir_.path(), "--data-dir", data_});
    args.insert(args.end(), common_args_.begin(), common_args_.end());
    if (with_port) args.insert(args.end(), {"--com", "1=" + printer_.link()});
    return RunProgram(DOVEVID_PATH, args);
  }
  RunResult Submit(const std::string& receipt) {
    Write("receipt.txt", receipt);
    return Command({"submit", Path("receipt.txt"), "--timeout", "10"});
  }
  // The last bytes may still be on the pty.
  void ExpectPrinted(const std::string& expected) {
    printer_.WaitForCapture(expected.size());
    EXPECT_EQ(printer_.Capture(), expected);
  }

  std::string Path(const std::string& name) const { return data_ + "/" + name; }
  bool Exists(const std::string& name) const { return fs::exists(Path(name)); }
  std::string Read(const std::string& name) const { return ReadFileOrEmpty(Path(name)); }
  void Write(const std::string& name, const std::string& s) const { WriteFileOrDie(Path(name), s); }
  // SR_DATI and then SR_START, as a cash register writes them.
  void SubmitFiles(const std::string& data) const {
    Write("SR_DATI.001", data);
    Write("SR_START.001", "");
  }
  // The job's end: SR_START gone, and FINESCO (with both lines of SR_OUT) or SR_ERR there.
  bool WaitForAnswer(int timeout_ms = 10000) const {
    const auto answered = [&] {
      const std::string out = Read("SR_OUT.001");
      return Exists("FINESCO.001") ? out.find("\r\n") != out.rfind("\r\n") : Exists("SR_ERR.001");
    };
    return WaitFor([&] { return !Exists("SR_START.001") && answered(); }, timeout_ms);
  }
  // Raw bytes to the control socket, as a broken or hostile client sends them.
  int SendRaw(const std::string& bytes) const {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{.sun_family = AF_UNIX, .sun_path = {}};
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", Path("DOVEVID.SOCK").c_str());
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return -1;
    (void)!::write(fd, bytes.data(), bytes.size());
    return fd;
  }
  std::string ServerLog() const { return ReadFileOrEmpty(printer_dir_ / "server.log"); }

  TempDir dir_;                     // application directory
  std::string data_ = dir_.path();  // data directory
  TempDir printer_dir_;
  VirtualPrinter::Mode mode_ = VirtualPrinter::Mode::kPty;
  VirtualPrinter printer_;
  std::vector<std::string> common_args_;  // for the server and the settings command
  std::string com1_;                      // the server's COM1
  std::map<std::string, std::string> env_;
  ChildProcess server_;
};

TEST_F(E2e, TextReceiptThroughSubmitIsByteExactWhateverElseTalksToTheServer) {
  EXPECT_EQ(Command({"status"}).exit_code, 3);
  RunResult r = Submit("x\r\n");
  EXPECT_EQ(r.exit_code, 3);
  EXPECT_THAT(r.err, HasSubstr("no server is serving"));
  EXPECT_FALSE(Exists("SR_START.001"));
  StartServer();  // the identification comes before any job
  EXPECT_THAT(Read("SR_MATR.001"), MatchesRegex("[0-9A-Za-z]*\r\n"));
  ChildProcess second;  // on the same data directory: ends at once
  ASSERT_TRUE(second.Start(
      DOVEVID_PATH, {"--headless", "--app-dir", data_, "--data-dir", data_, "--com", "1=" + com1_},
      Path("second.log")));
  EXPECT_EQ(second.Wait(5000), 3);
  EXPECT_THAT(Read("second.log"), HasSubstr("another server is running"));
  const int fds[] = {SendRaw("rm -rf /\n"),
                     SendRaw("DOVEVID1 1\n999999:" + std::string(70000, 'x')),
                     SendRaw("DOVEVID1 2\n6:status,")};  // and then nothing
  for (int fd : fds) ASSERT_GE(fd, 0);
  r = Submit("Hello\r\nTotal 12,50\r\n");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_THAT(r.out, MatchesRegex("TIME,CASS\\. 1 ,[0-2][0-9]:[0-5][0-9], CASSA   1 ,E,A1;\n"
                                  "DATE,[0-9-]{8},  SCONTR\\. N\\.1,E,A1;\n"));
  ExpectPrinted(Top() + Row("HELLO") + Row("TOTAL 12,50") + End());
  EXPECT_EQ(Read("FINESCO.001"), "finesco");
  // A timeout too long to count in milliseconds is refused, not cut short.
  EXPECT_EQ(Command({"submit", Path("receipt.txt"), "--timeout", "1e300"}).exit_code, 2);

  r = Command({"status", "--json"});
  EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_THAT(r.out, HasSubstr("\"state\": \"ready\""));
  ASSERT_TRUE(printer_.SetState("offline"));
  r = Command({"status"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_THAT(r.out, HasSubstr("printer state:   offline"));
  r = Submit("Hello\r\n");  // the answer relayed
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "E504: Nessun messaggio ricevuto: controllare connessione con l'Ecr\n");
  for (int fd : fds) ::close(fd);
}

// An SL receipt is rendered and sent line by line; the customer display greets, shows the total
// and the change, and never holds a receipt.
TEST_F(E2e, SlReceiptPrintsLineByLineAndShowsOnTheCustomerDisplay) {
  TempDir display_dir;
  VirtualPrinter display;
  std::string why;
  ASSERT_TRUE(display.Start(display_dir.path(), &why, VirtualPrinter::Mode::kDisplay)) << why;
  Configure({"optInputType(0)=1", "optInputType(1)=0", "cmbComPortDisplay=COM2",
             "chkEnableComPortDisplay=1"});
  StartServer({"--com", "2=" + display.link()});
  const std::string sl =
      "SALE,N1,P250,:CAFFE;\r\nSALE,N2,Q2,P120,:CORNETTO;\r\nSUBT;\r\nCASH,V1000;\r\n";
  SubmitFiles(sl);
  ASSERT_TRUE(WaitForAnswer() && Exists("FINESCO.001"));
  const std::string rendered = Read("KV2EP.TXT");
  EXPECT_THAT(rendered, HasSubstr("CAFFE                       2,50\r\n"));
  std::string body;
  for (size_t at = 0, end; (end = rendered.find("\r\n", at)) != std::string::npos; at = end + 2) {
    body += Row(rendered.substr(at, end - at));
  }
  ExpectPrinted(Top() + body + End());
  const std::string shown = "\x0B\x0C\x0B\x0C** Buongiorno **\x0B\x0CTOTALE          4,90\x0B\x0A" +
                            std::string(20, ' ') + "\x0B\x0C" + std::string(20, ' ') +
                            "\x0B\x0ARESTO           5,10";
  EXPECT_TRUE(display.WaitForCapture(shown.size()));
  EXPECT_EQ(display.Capture(), shown);
  display.Stop();  // unplugged: the next receipt prints and is answered all the same
  SubmitFiles(sl);
  EXPECT_TRUE(WaitForAnswer() && Exists("FINESCO.001"));
}

// The fault matrix. Each row inflicts a fault before the server starts, before the job, or in
// the middle of it (held on a paper end, or a long receipt under way), and says how the job must
// be answered and what must remain. Then the fault is mended and a job again must print.
class FaultMatrix;
const std::string kLong = [] {  // a receipt that takes seconds on the wire
  std::string lines;
  for (int i = 0; i < 300; ++i) lines += "line " + std::to_string(i) + "\r\n";
  return lines;
}();
struct FaultRow {
  enum When { kBeforeStart, kBeforeJob, kMidJob, kMidPrint };
  // The data directory: the shared one, one of its own, or a small tmpfs (as root, so it can be
  // filled or made read-only; else a plain one, read-only by its mode, or the row skipped).
  enum DataDir { kShared, kOwn, kTmpfs, kTmpfsOnly };
  enum Printed { kNothing, kNoCut, kWhole, kEndsWhole };
  // The serial printer, or a direct one: on TCP, or a pty as a printer-class device.
  enum Printer { kSerial, kTcp, kDevice };
  std::string name;
  When when;
  std::function<void(FaultMatrix&)> fault, mend;
  std::string answer;  // "finesco", an SR_ERR beginning, or "" for no answer at all
  Printed printed;
  std::vector<std::string> kept, gone;  // job files that must remain, or be gone
  std::string data = "faulted\r\n";     // none: the fault writes SR_DATI or leaves it out
  std::string log = "", status = "";    // what the server's output, and `dovevid status`, say
  std::vector<std::string> settings = {};
  DataDir data_dir = kShared;
  Printer printer = kSerial;
};
void PrintTo(const FaultRow& row, std::ostream* os) { *os << row.name; }
using R = FaultRow;

class FaultMatrix : public E2e, public ::testing::WithParamInterface<FaultRow> {
 public:
  static std::vector<FaultRow> Rows();

 protected:
  void SetUp() override {
    if (GetParam().printer == R::kTcp) mode_ = VirtualPrinter::Mode::kTcp;
    E2e::SetUp();
    if (HasFatalFailure() || GetParam().printer == R::kSerial) return;
    const bool tcp = GetParam().printer == R::kTcp;
    common_args_ = {"--printer", tcp ? "LP=socket://127.0.0.1:" + std::to_string(printer_.port())
                                     : "LP=usb:" + printer_.link()};
    Configure({"cboComPort=<none>", "ListPrinters=LP"});
  }
  void TearDown() override {
    E2e::TearDown();
    if (tmpfs_) ::umount2(data_.c_str(), MNT_DETACH);
  }
  void ReadOnly(bool ro) {  // root writes anyway: a remount then, else the mode
    if (!tmpfs_) return fs::permissions(data_, ro ? fs::perms(0555) : fs::perms(0755));
    const unsigned long flags = MS_REMOUNT | (ro ? MS_RDONLY : 0);
    ASSERT_EQ(::mount(nullptr, data_.c_str(), nullptr, flags, "size=256k"), 0);
  }
  void Restart() {
    server_.Kill();
    ASSERT_TRUE(printer_.SetState("ready"));
    StartServer({}, false);
  }
  bool Answered(const FaultRow& row) const {
    const std::string out = Read("SR_OUT.001");
    bool ok = Exists("FINESCO.001") == (row.answer == "finesco") &&
              (row.answer == "finesco" ? out.find("\r\n") != out.rfind("\r\n")
               : row.answer.empty()    ? !Exists("SR_ERR.001")
                                       : Read("SR_ERR.001").starts_with(row.answer)) &&
              ServerLog().find(row.log) != std::string::npos;
    for (const std::string& f : row.kept) ok = ok && Exists(f);
    for (const std::string& f : row.gone) ok = ok && !Exists(f);
    return ok;
  }

  bool tmpfs_ = false;
};

std::vector<FaultRow> FaultMatrix::Rows() {
  using F = FaultMatrix;
  const auto nothing = [](F&) {};
  const auto to = [](std::string s) { return [s](F& t) { ASSERT_TRUE(t.printer_.SetState(s)); }; };
  const std::string generic = "E : Errore generico", e096 = "E096: Fine carta scontrino",
                    e504 = "E504: Nessun messaggio ricevuto", f = "faulted\r\n",
                    e511 = "E511: Trasmissione non avvenuta: file di input non presente\r\n",
                    lost = "err_End_Execution: ", unwritten = "answer:          NOT WRITTEN, ";
  const std::vector<std::string> job = {"SR_START.001", "SR_DATI.001"}, start = {"SR_START.001"},
                                 data = {"SR_DATI.001"};
  // clang-format off
  std::vector<FaultRow> rows = {
      {"PortMissingAtStart", R::kBeforeStart, [](F& t) { t.com1_ = t.Path("tty"); },
       [](F& t) { fs::create_symlink(t.printer_.link(), t.Path("tty")); },
       "E502: Nessuna porta di comunicazione disponibile\r\n", R::kNothing, job, {"SR_MATR.001"}, f,
       "Porta Com n.1 non disponibile"},
      {"Offline", R::kBeforeJob, to("offline"), to("ready"), e504, R::kNothing, data, start},
      {"PaperEndAndBack", R::kMidJob, to("ready"), nothing, "finesco", R::kWhole, {}, job},
      {"PaperEndGivingUp", R::kBeforeStart,
       [to](F& t) { t.env_ = {{"DOVEVID_PAPER_END_PAUSES", "0"}}; to("paper-end")(t); },
       to("ready"), e096, R::kNoCut, data, start},
      {"Unplugged", R::kMidPrint, [](F& t) { t.printer_.Stop(); },
       [](F& t) {
         std::string why;
         ASSERT_TRUE(t.printer_.Start(t.printer_dir_.path(), &why, t.mode_, t.printer_.port()))
             << why;
       },
       generic, R::kNoCut, data, start, kLong},
      {"Silent", R::kMidPrint, to("silent"), to("ready"), e504, R::kNoCut, data, start, kLong},
      // The receipt prints; the paper-end answer can be neither replaced nor
      // removed, and the operator learns that the answer is missing.
      {"DataDirReadOnly", R::kMidJob,
       [](F& t) { t.ReadOnly(true); ASSERT_TRUE(t.printer_.SetState("ready")); },
       [](F& t) { t.ReadOnly(false); }, e096, R::kWhole, job, {}, f, lost, unwritten, {},
       R::kTmpfs},
      {"DataDirFull", R::kMidJob,
       [](F& t) {  // the files it deletes kept by a second link, so nothing frees space
         for (const std::string n : {"SR_DATI.001", "SR_ERR.001"}) {
           fs::create_hard_link(t.Path(n), t.Path(n + ".keep"));
         }
         std::ofstream fill(t.Path("fill"));
         for (int i = 0; i < 512 && fill; ++i) fill << std::string(1024, 'x') << std::flush;
         ASSERT_TRUE(t.printer_.SetState("ready"));
       },
       [](F& t) { fs::remove(t.Path("fill")); }, "", R::kWhole, {}, job, f, lost, unwritten, {},
       R::kTmpfsOnly},
      {"DataDirRemovedAndRecreated", R::kBeforeJob,
       [](F& t) { fs::remove_all(t.data_); fs::create_directory(t.data_); }, nothing, "finesco",
       R::kWhole, {}, job, f, "", "", {}, R::kOwn},
      // Killed: without "No Kill Dati/Start" the job is answered, with it printed again.
      {"KilledNoKillOff", R::kMidJob, [](F& t) { t.Restart(); }, nothing, generic, R::kNoCut, {},
       job, f, "", "", {"chkOptions(10)=0"}},
      {"KilledNoKillOn", R::kMidJob, [](F& t) { t.Restart(); }, nothing, "finesco", R::kEndsWhole,
       {}, job, f, "", "", {"chkOptions(10)=1"}},
      {"NoData", R::kBeforeJob, nothing, nothing, e511, R::kNothing, {}, job, ""},
      // Never followed: the link's target is not read, the answer replaces the link.
      {"DataAndAnswerAreLinks", R::kBeforeJob,
       [](F& t) {
         t.Write("secret", "root:x:0:0\n");
         fs::create_symlink(t.Path("secret"), t.Path("SR_DATI.001"));
         fs::create_symlink(t.Path("secret"), t.Path("SR_ERR.001"));
       },
       [](F& t) { EXPECT_EQ(t.Read("secret"), "root:x:0:0\n"); }, e511, R::kNothing, {}, start, ""},
      {"DataIsAFifo", R::kBeforeJob,
       [](F& t) { ASSERT_EQ(::mkfifo(t.Path("SR_DATI.001").c_str(), 0600), 0); }, nothing, e511,
       R::kNothing, {}, start, ""},
      {"DataIsADirectory", R::kBeforeJob, [](F& t) { fs::create_directory(t.Path("SR_DATI.001")); },
       nothing, e511, R::kNothing, {}, start, ""},
  };
  // clang-format on
  // The direct printers answer as the serial one; a link found gone, or the printer found
  // silent first, is an error either way.
  for (const std::string name : {"Offline", "PaperEndAndBack", "Unplugged"}) {
    for (const auto printer : {R::kTcp, R::kDevice}) {
      FaultRow row = *std::ranges::find(rows, name, &FaultRow::name);
      row.name += printer == R::kTcp ? "Tcp" : "Device";
      row.printer = printer;
      if (row.answer == generic) row.answer = "E";
      rows.push_back(row);
    }
  }
  return rows;
}

TEST_P(FaultMatrix, AnswersTruthfullyKeepsWhatItMustAndPrintsOnceMended) {
  const FaultRow& row = GetParam();
  if (!row.settings.empty()) Configure(row.settings);
  if (row.data_dir != R::kShared) {
    data_ = dir_ / "data";
    fs::create_directory(data_);
    tmpfs_ = row.data_dir >= R::kTmpfs && ::geteuid() == 0 &&
             ::mount("dovevid-test", data_.c_str(), "tmpfs", 0, "size=256k") == 0;
  }
  if (row.data_dir >= R::kTmpfs && !tmpfs_ && (row.data_dir == R::kTmpfsOnly || ::geteuid() == 0)) {
    GTEST_SKIP() << "needs a tmpfs, mounted only as root";
  }
  if (row.when == R::kBeforeStart) row.fault(*this);
  StartServer({}, row.when != R::kBeforeStart);
  ASSERT_TRUE(row.when != R::kMidJob || printer_.SetState("paper-end"));
  if (row.when == R::kBeforeJob) row.fault(*this);
  if (!row.data.empty()) Write("SR_DATI.001", row.data);
  Write("SR_START.001", "");
  if (row.when == R::kMidJob) {
    ASSERT_TRUE(WaitFor([&] { return Read("SR_ERR.001").starts_with("E096"); }));
    EXPECT_TRUE(Exists("SR_START.001"));  // still printing
  }
  ASSERT_TRUE(row.when != R::kMidPrint || WaitFor([&] { return !printer_.Capture().empty(); }));
  if (row.when >= R::kMidJob) row.fault(*this);
  ASSERT_TRUE(WaitFor([&] { return Answered(row); }, 60000));
  EXPECT_THAT(row.status.empty() ? "" : Command({"status"}).out, HasSubstr(row.status));
  const std::string whole = Top() + Row("FAULTED") + End();
  printer_.WaitForCapture(whole.size());
  const std::string got = printer_.Capture();
  const bool as_expected[] = {got.empty(), got.find("\x1DV") == std::string::npos, got == whole,
                              got.ends_with(whole)};  // by FaultRow::Printed
  EXPECT_TRUE(as_expected[row.printed]) << got;

  // Then the job has ended (its answer files may still be being tried).
  ASSERT_TRUE(WaitFor(
      [&] { return Command({"status"}).out.find("job:             idle") != std::string::npos; },
      60000));
  row.mend(*this);
  ASSERT_TRUE(printer_.SetState("ready"));
  for (std::string f : {"FINESCO", "SR_ERR", "SR_OUT", "SR_DATI"}) fs::remove_all(Path(f + ".001"));
  SubmitFiles("faulted\r\n");
  ASSERT_TRUE(WaitForAnswer(60000) && Exists("FINESCO.001"));
  EXPECT_TRUE(WaitFor([&] { return printer_.Capture().ends_with(whole); })) << printer_.Capture();
  EXPECT_EQ(Command({"status"}).exit_code, 0);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, ::testing::ValuesIn(FaultMatrix::Rows()),
                         [](const auto& info) { return info.param.name; });

TEST_F(E2e, SettingsCounterReprintAndPrinterCommandsWithAndWithoutAServer) {
  const std::string bytes =
      "\x1B@\r\n"                                                       // init
      "\x1BJ1\r\n"                                                      // feed
      "\x1BJ1\r\n"                                                      // test-paper
      "\x1Bp0#y\r\n"                                                    // drawer
      "\x1B@ \r\n"                                                      // raw 27,64
      "\x1Dh\x50\r\n\x1Dw\x03\r\n\x1DH\x02\r\n\x1Dk\00380176336\0\r\n"  // barcode
      "\x1Dk\003D80176336\r\n\n\r\n"s;
  const auto printer_commands = [&] {
    for (const std::string command : {"init", "feed", "test-paper", "drawer", "raw", "barcode"}) {
      std::vector<std::string> args = {"printer", command};
      if (command == "raw") args.push_back("27,64");
      const RunResult r = Command(args, true);
      EXPECT_EQ(r.exit_code, 0) << command << r.err;
    }
  };
  StartServer();
  Configure({"txtHeader(0)=NEW HEAD"});  // through the server: used by the next job
  EXPECT_EQ(Command({"counter", "15"}).out, "15\n");
  const RunResult refused = Command({"counter", "ABC"});
  EXPECT_EQ(refused.exit_code, 2);
  EXPECT_EQ(refused.out, "15\n");
  EXPECT_EQ(Command({"reprint"}).err, "dovevid: Function not available\n");
  SubmitFiles("one\r\n");
  ASSERT_TRUE(WaitForAnswer());
  EXPECT_THAT(Read("SR_OUT.001"), HasSubstr("SCONTR. N.16,E,A1;"));
  EXPECT_EQ(Command({"reprint"}).exit_code, 0);
  printer_commands();
  std::string once = Top() + Row("ONE") + End();
  once.replace(once.find("BAR ROMA"), 8, "NEW HEAD");
  ExpectPrinted(once + once + bytes);
  // The change survives the server's own save at SIGTERM.
  EXPECT_EQ(server_.Stop(), 0);
  EXPECT_THAT(Command({"settings"}).out, HasSubstr("txtHeader(0)=NEW HEAD\n"));
  EXPECT_FALSE(Exists("DOVEVID.SOCK"));
  printer_commands();  // on the port directly
  ExpectPrinted(once + once + bytes + bytes);
  EXPECT_EQ(Command({"printer", "fly"}).exit_code, 2);
}

TEST_F(E2e, ReceiptOnACupsQueueThenOneThatCannotPrintIsAnsweredWithAnErrorAndCancelled) {
  std::unique_ptr<PrivateCupsd> cupsd;
  DOVEVID_START_PRIVATE_CUPSD(cupsd);
  VirtualPrinter device;
  std::string why;
  ASSERT_TRUE(device.Start(cupsd->dir(), &why, VirtualPrinter::Mode::kTcp)) << why;
  ASSERT_TRUE(cupsd->AddRawQueue("DOVQ", device.port(), &why)) << why;
  Configure({"ListPrinters=DOVQ"});
  StartServer();
  SubmitFiles("Hello\r\nTotal 12,50\r\n");
  EXPECT_TRUE(WaitForAnswer() && Exists("FINESCO.001"));
  const std::string expected = Top() + Row("HELLO") + Row("TOTAL 12,50") + End();
  EXPECT_TRUE(device.WaitForCapture(expected.size(), 10000)) << cupsd->LogTail();
  EXPECT_EQ(device.Capture(), expected);
  EXPECT_EQ(printer_.Capture(), "");  // nothing went to the serial printer
  device.Stop();                      // its port, with nothing listening any more
  SubmitFiles("Hello\r\n");
  ASSERT_TRUE(WaitForAnswer()) << cupsd->LogTail();
  EXPECT_THAT(Read("SR_ERR.001"), HasSubstr("Errore generico"));
  EXPECT_EQ(cupsd->RunTool("lpstat", {"-o"}).out, "");  // nothing left to print later
}

// A logo stored with `dovevid logo load` through the running server comes out of the next
// receipt with "Print Logo Up", in the printer's decoding and in the preview.
TEST_F(E2e, StoredLogoPrintsAtTheTopOfReceipts) {
  Configure({"ListPrinters=RS232_PRINTER", "chkOptions(2)=1"});
  logo::Bitmap half(64, 32);  // the left half black
  for (int i = 0; i < 32 * 32; ++i) half.Set(i % 32, i / 32, true);
  Write("logo.bmp", logo::EncodeBmp1(half));
  EXPECT_EQ(Command({"logo", "check", Path("logo.bmp")}, true).out, "64 x 32\n");
  // Acting alone: a missing file, and a load without the NV file the serial printer needs too.
  for (const auto& [verb, file] : {std::pair{"check", "none.bmp"}, {"load", "logo.bmp"}}) {
    const RunResult r = Command({"logo", verb, Path(file)}, true);
    EXPECT_EQ(r.exit_code, 1) << verb;
    EXPECT_THAT(r.err, HasSubstr("File not found"));
  }
  ASSERT_EQ(Command({"logo", "convert", Path("logo.bmp")}, true).exit_code, 0);

  // The running server owns the port: load and print go through it (acting alone, without
  // --com here, they would miss the printer).
  StartServer();
  const RunResult loaded = Command({"logo", "load", Path("logo.bmp")});
  ASSERT_EQ(loaded.exit_code, 0) << loaded.err;
  EXPECT_THAT(loaded.err, HasSubstr("100 %"));
  EXPECT_EQ(loaded.out, "logo stored in RS232_PRINTER\n");
  EXPECT_EQ(Command({"logo", "print"}).exit_code, 0);
  ASSERT_EQ(Submit("Hello\r\n").exit_code, 0);
  ASSERT_TRUE(WaitFor([&] { return printer_.Capture().find("\x1DV") != std::string::npos; }));
  Write("capture.bin", printer_.Capture());
  std::string row, art;
  for (int i = 0; i < 32; ++i) row += i < 16 ? "\u28FF" : "\u2800";
  for (int i = 0; i < 8; ++i) art += row + "\n";
  const std::string decoded =
      RunProgram(VirtualPrinterProgram(), {"decode", Path("capture.bin")}).out;
  EXPECT_THAT(decoded, HasSubstr("<logo defined, 64x32 dots>\n"));
  EXPECT_THAT(decoded,
              HasSubstr("<logo print, mode 0, 64x32 dots>\n" + art + "[C]\n[L]\n[L] HELLO\n"));

  const RunResult preview = Command({"preview", Path("receipt.txt"), "--png", Path("r.png")});
  EXPECT_EQ(preview.exit_code, 0) << preview.err;
  EXPECT_EQ(Read("r.png").substr(1, 3), "PNG");
  EXPECT_THAT(Command({"preview", Path("receipt.txt")}).out,
              HasSubstr("<logo print, mode 0, 64x32 dots>\n" + art));
}

}  // namespace
}  // namespace dovevid::testing
