// dovevid-vprinter: a virtual ESC/POS receipt printer on a pseudo terminal or
// a loopback TCP port. See kHelp for what it does and how it is driven.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <QGuiApplication>

#include "display_emulation.h"
#include "emulation.h"
#include "platform/receipt_drawing.h"
#include "preview/escpos_decoder.h"
#include "wire.h"

namespace {

using dovevid::preview::EscPosDecoder;
using dovevid::vprinter::ParseState;
using dovevid::vprinter::State;
using dovevid::vprinter::StateName;
using dovevid::vprinter::StatusResponder;
using dovevid::vprinter::WireModel;

constexpr char kHelp[] = R"(Usage:
  dovevid-vprinter (--link PATH | --tcp PORT) [options]
  dovevid-vprinter decode FILE [--png OUT.png] [--paper-width DOTS]

A virtual ESC/POS receipt printer for DovEvid1: a stand-in for tests, the
demo and anyone without a printer at hand.

Where it listens (one of):
  --link PATH       create a pseudo terminal and a symbolic link PATH to its
                    device; map a COM port to PATH (--com 1=PATH), or use it
                    as a printer-class device (--printer NAME=usb:PATH). The
                    terminal stays usable however often the port is closed
                    and opened again.
  --tcp PORT        listen on 127.0.0.1:PORT (0 picks a free port) and serve
                    one connection after another: a network printer
                    (--printer NAME=socket://127.0.0.1:PORT) or the device of
                    a CUPS queue (lpadmin -v socket://127.0.0.1:PORT).

Options:
  --state STATE     initial state: ready (default), paper-end, offline, silent
  --control PATH    control FIFO (created when missing). Write one command a
                    line: ready, paper-end, offline, silent switch the state;
                    xoff and xon send the flow-control byte 0x13 or 0x11 to
                    the host. After every command the current state name is
                    written to PATH.state (replaced atomically), so a script
                    can wait until a switch has taken effect:
                      echo paper-end > PATH; until grep -qx paper-end PATH.state; do sleep 0.05; done
  --capture FILE    append every byte received to FILE, except the status
                    queries (DLE EOT n), so FILE holds exactly the print data
  --capture-queries also keep the status queries in the capture
  --decode          print a readable decoding of the print data on standard
                    output as it arrives
  --baud N|port     take the time a serial line takes: bytes reach the
                    printer no faster than N baud allow (10 bits a byte), or,
                    with "port", the speed, data bits, parity and stop bits
                    the host set on the terminal (--link only). When the host
                    uses XON/XOFF, the printer holds it with XOFF while bytes
                    wait for the wire, so its writes take the wire's time as
                    on a real port; without, the bytes wait in the terminal.
                    Status answers take their wire time back too.
  --print-speed L   print L lines a second (one per line feed received) out
                    of a receive buffer of --buffer BYTES (4096 by default);
                    a full buffer stops the line until a line is printed
  --buffer BYTES    the receive buffer's size for --print-speed
  --display         be a two-row customer display instead of a printer:
                    0x0B homes the cursor, 0x0C clears, 0x0A moves down a
                    row, text overwrites; every picture it shows (before a
                    clear, and after each piece received) is printed as
                    "display |row 1|" and "        |row 2|".
                    No status answers; --capture keeps every byte.
  --columns N       characters per display row, 16 or 20 (default 20;
                    implies --display)
  --help            this text

Status answers (DLE EOT 1 = printer status, DLE EOT 4 = roll paper sensor):
  ready      0x12 and 0x12
  offline    0x1A (bit 3: off line) and 0x12
  paper-end  0x12 and 0x72 (bits 5 and 6: roll paper end)
  silent     no answer at all
Bytes 0x11 and 0x13 from the host are print data, not flow control.

The first line on standard output says where the printer is:
  "pty DEVICE at PATH" or "listening on 127.0.0.1:PORT".

Decoding (--decode and the decode command): one line per text line, marked
with its justification [L] [C] [R] and DW/DH for double width/height; feeds,
cuts, drawer pulses, barcodes, logo commands and unknown commands (in hex)
appear in angle brackets; a cut is followed by a line of "=" ending the
receipt. Characters 0x80-0xFF are shown as Windows-1252. Pictures the
printer was given (GS *, NV graphics of GS ( L, bit images) are remembered,
and where one is printed a small rendition in braille characters follows.

decode --png OUT.png draws the receipts instead, as the paper would look: one
pixel per printer dot, DOTS wide (512 by default, an 80 mm printer), with
text sizes, pictures, barcodes (an impression, not scannable), feeds and cuts.

The printer never exits when a client hangs up; SIGINT or SIGTERM end it and
remove the link and the files it created.
)";

int g_signal_pipe[2] = {-1, -1};

void OnSignal(int) {
  const char c = 1;
  [[maybe_unused]] const ssize_t n = ::write(g_signal_pipe[1], &c, 1);
}

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Sends to the host without ever blocking: an answer nobody reads is dropped.
void SendToHost(int fd, const std::string& bytes, bool socket) {
  if (fd < 0 || bytes.empty()) return;
  if (socket) {
    (void)::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  } else {
    (void)::write(fd, bytes.data(), bytes.size());
  }
}

void SetNonBlocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

struct Options {
  std::string link;
  std::optional<int> tcp_port;
  std::string control;
  std::string capture;
  bool capture_queries = false;
  bool decode = false;
  State state = State::kReady;
  int display_columns = 0;  // 0: a printer
  std::optional<double> baud;  // a fixed speed (--baud N)
  bool baud_of_port = false;   // --baud port
  double print_speed = 0;      // lines a second, 0: at once
  std::size_t buffer = 4096;
};

double NowSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int Fail(const std::string& message) {
  std::cerr << "dovevid-vprinter: " << message << "\n";
  return 1;
}

// decode FILE [--png OUT] [--paper-width DOTS]
int DecodeFile(int argc, char** argv, const std::vector<std::string>& args) {
  std::string png;
  int paper = 512;
  for (std::size_t i = 2; i < args.size(); ++i) {
    if ((args[i] != "--png" && args[i] != "--paper-width") || i + 1 >= args.size()) {
      return Fail("usage: dovevid-vprinter decode FILE [--png OUT.png] [--paper-width DOTS]");
    }
    if (args[i] == "--png") png = args[++i];
    if (args[i] == "--paper-width" && (paper = std::atoi(args[++i].c_str())) <= 0) return Fail("bad --paper-width");
  }
  const std::string& path = args[1];
  std::ifstream in(path, std::ios::binary);
  if (!in) return Fail("cannot read " + path);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EscPosDecoder decoder;
  if (png.empty()) {
    std::cout << decoder.Feed(bytes) << decoder.Finish();
    return 0;
  }
  decoder.EnablePage();
  decoder.Feed(bytes);
  decoder.Finish();
  dovevid::platform::PreferOffscreenPlatform();
  QGuiApplication app(argc, argv);
  const auto drawn = dovevid::platform::DrawReceiptPng(decoder.page(), paper, png);
  return drawn.ok() ? 0 : Fail(drawn.description());
}

class Printer {
 public:
  explicit Printer(Options o) : o_(std::move(o)) {
    responder_.state = o_.state;
    if (o_.display_columns > 0) display_.emplace(o_.display_columns);
    paced_ = o_.baud || o_.baud_of_port || o_.print_speed > 0;
    wire_.SetLine(o_.baud.value_or(0), 10);
    wire_.SetPrinter(o_.print_speed, o_.buffer);
  }
  ~Printer() { Cleanup(); }

  int Run();

 private:
  bool SetUpPty();
  bool SetUpTcp();
  bool SetUpControl();
  void WriteStateFile();
  void Received(const char* data, std::size_t n);
  void ControlInput();
  void Command(const std::string& line);
  void Cleanup();
  // The serial line in time (--baud, --print-speed).
  void TakeFromHost(const char* data, std::size_t n);
  void Pace();
  void ReplyWhenDue(const std::string& bytes);
  void LineFromPort();
  bool HostUsesXonXoff() const;
  std::size_t HighWater() const;
  std::optional<double> NextWake() const;

  Options o_;
  StatusResponder responder_;
  EscPosDecoder decoder_;
  std::optional<dovevid::vprinter::DisplayEmulation> display_;
  int master_ = -1, slave_keep_ = -1;         // pty mode
  int listen_ = -1, client_ = -1;             // tcp mode
  int control_ = -1, capture_ = -1;
  bool created_fifo_ = false;
  std::string slave_name_;
  std::string control_buffer_;
  bool paced_ = false;
  WireModel wire_;
  bool xoff_sent_ = false;                              // by the flow control below
  bool operator_xoff_ = false;                          // by the control command
  std::deque<std::pair<double, std::string>> replies_;  // due time, bytes
  double replies_free_ = 0;
};

void Printer::TakeFromHost(const char* data, std::size_t n) {
  if (!paced_) {
    Received(data, n);
    return;
  }
  if (o_.baud_of_port) LineFromPort();
  wire_.Send(std::string_view(data, n), NowSeconds());
  Pace();
}

// The speed and framing the host set on the terminal.
void Printer::LineFromPort() {
  termios t{};
  if (slave_keep_ < 0 || ::tcgetattr(slave_keep_, &t) != 0) return;
  static const std::pair<speed_t, double> kSpeeds[] = {
      {B1200, 1200},   {B2400, 2400},   {B4800, 4800},   {B9600, 9600},
      {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
  double baud = 9600;
  for (const auto& [code, value] : kSpeeds) {
    if (::cfgetospeed(&t) == code) baud = value;
  }
  const tcflag_t size = t.c_cflag & CSIZE;
  const double data_bits = size == CS5 ? 5 : size == CS6 ? 6 : size == CS7 ? 7 : 8;
  const double bits =
      1 + data_bits + ((t.c_cflag & PARENB) ? 1 : 0) + ((t.c_cflag & CSTOPB) ? 2 : 1);
  wire_.SetLine(baud, bits);
}

bool Printer::HostUsesXonXoff() const {
  termios t{};
  return slave_keep_ >= 0 && ::tcgetattr(slave_keep_, &t) == 0 && (t.c_iflag & IXON) != 0;
}

// What may wait for the wire before the host is held: 10 ms of it, at least 16 bytes.
std::size_t Printer::HighWater() const {
  const double t = wire_.ByteTime();
  return std::max<std::size_t>(16, t > 0 ? static_cast<std::size_t>(0.010 / t) : 0);
}

void Printer::Pace() {
  const double now = NowSeconds();
  const std::string arrived = wire_.Arrive(now);
  if (!arrived.empty()) Received(arrived.data(), arrived.size());
  while (!replies_.empty() && replies_.front().first <= now) {
    SendToHost(client_ >= 0 ? client_ : master_, replies_.front().second, client_ >= 0);
    replies_.pop_front();
  }
  // The host is let go again once half of what may wait has gone.
  if (!xoff_sent_ && wire_.queued() > HighWater() && HostUsesXonXoff()) {
    SendToHost(master_, "\x13", false);
    xoff_sent_ = true;
  } else if (xoff_sent_ && wire_.queued() <= HighWater() / 2) {
    if (!operator_xoff_) SendToHost(master_, "\x11", false);
    xoff_sent_ = false;
  }
}

void Printer::ReplyWhenDue(const std::string& bytes) {
  const double due =
      std::max(NowSeconds(), replies_free_) + wire_.ByteTime() * static_cast<double>(bytes.size());
  replies_free_ = due;
  replies_.emplace_back(due, bytes);
}

std::optional<double> Printer::NextWake() const {
  std::optional<double> next = wire_.NextArrival();
  if (!replies_.empty() && (!next || replies_.front().first < *next)) next = replies_.front().first;
  return next;
}

bool Printer::SetUpPty() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    Fail(std::string("cannot create a pseudo terminal: ") + std::strerror(errno));
    return false;
  }
  char name[128];
  if (::ptsname_r(master_, name, sizeof name) != 0) return false;
  slave_name_ = name;
  // Holding the terminal's own end open keeps it alive between the host's
  // closes and opens (otherwise the master sees a hang-up).
  slave_keep_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_keep_ < 0) {
    Fail(std::string("cannot open ") + name + ": " + std::strerror(errno));
    return false;
  }
  // Raw until the host configures it: no echo of our answers back to us.
  termios t{};
  ::tcgetattr(slave_keep_, &t);
  ::cfmakeraw(&t);
  ::cfsetispeed(&t, B9600);
  ::cfsetospeed(&t, B9600);
  ::tcsetattr(slave_keep_, TCSANOW, &t);
  SetNonBlocking(master_);

  const std::string tmp = o_.link + ".tmp" + std::to_string(::getpid());
  ::unlink(tmp.c_str());
  if (::symlink(name, tmp.c_str()) != 0 || ::rename(tmp.c_str(), o_.link.c_str()) != 0) {
    Fail("cannot create the link " + o_.link + ": " + std::strerror(errno));
    ::unlink(tmp.c_str());
    return false;
  }
  std::cout << "pty " << slave_name_ << " at " << o_.link << std::endl;
  return true;
}

bool Printer::SetUpTcp() {
  listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int one = 1;
  ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<std::uint16_t>(*o_.tcp_port));
  if (::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listen_, 8) != 0) {
    Fail("cannot listen on 127.0.0.1:" + std::to_string(*o_.tcp_port) + ": " + std::strerror(errno));
    return false;
  }
  socklen_t len = sizeof addr;
  ::getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len);
  std::cout << "listening on 127.0.0.1:" << ntohs(addr.sin_port) << std::endl;
  return true;
}

bool Printer::SetUpControl() {
  struct stat st {};
  if (::stat(o_.control.c_str(), &st) != 0) {
    if (::mkfifo(o_.control.c_str(), 0660) != 0) {
      Fail("cannot create the control FIFO " + o_.control + ": " + std::strerror(errno));
      return false;
    }
    created_fifo_ = true;
  } else if (!S_ISFIFO(st.st_mode)) {
    Fail(o_.control + " exists and is not a FIFO");
    return false;
  }
  // Opened for writing too, so the FIFO never reports end of file when a
  // writer closes it.
  control_ = ::open(o_.control.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (control_ < 0) {
    Fail("cannot open " + o_.control + ": " + std::strerror(errno));
    return false;
  }
  WriteStateFile();
  return true;
}

void Printer::WriteStateFile() {
  if (o_.control.empty()) return;
  const std::string path = o_.control + ".state";
  const std::string tmp = path + ".tmp";
  {
    std::ofstream out(tmp, std::ios::trunc);
    out << StateName(responder_.state) << "\n";
  }
  ::rename(tmp.c_str(), path.c_str());
}

void Printer::Received(const char* data, std::size_t n) {
  if (display_) {
    if (capture_ >= 0 && !WriteAll(capture_, std::string(data, n))) {
      std::cerr << "dovevid-vprinter: capture write failed\n";
    }
    std::cout << display_->Feed(std::string_view(data, n)) << std::flush;
    return;
  }
  const StatusResponder::Result r = responder_.Feed(std::string_view(data, n));
  if (!r.replies.empty()) {
    if (paced_) {
      ReplyWhenDue(r.replies);
    } else {
      SendToHost(client_ >= 0 ? client_ : master_, r.replies, client_ >= 0);
    }
  }
  if (capture_ >= 0) {
    // Status queries are split out of the data stream; with --capture-queries
    // the capture keeps the bytes in the order they came.
    const std::string& bytes = o_.capture_queries ? std::string(data, n) : r.data;
    if (!WriteAll(capture_, bytes)) std::cerr << "dovevid-vprinter: capture write failed\n";
  }
  if (o_.decode) std::cout << decoder_.Feed(r.data) << std::flush;
}

void Printer::Command(const std::string& line) {
  if (line.empty()) return;
  if (line == "xoff" || line == "xon") {
    operator_xoff_ = line == "xoff";
    SendToHost(client_ >= 0 ? client_ : master_, line == "xoff" ? "\x13" : "\x11", client_ >= 0);
  } else if (const auto s = ParseState(line)) {
    responder_.state = *s;
  } else {
    std::cerr << "dovevid-vprinter: unknown command \"" << line << "\"\n";
    return;
  }
  std::cerr << "dovevid-vprinter: " << line << "\n";
  WriteStateFile();
}

void Printer::ControlInput() {
  char buf[256];
  for (;;) {
    const ssize_t n = ::read(control_, buf, sizeof buf);
    if (n <= 0) break;
    control_buffer_.append(buf, static_cast<std::size_t>(n));
  }
  std::size_t nl;
  while ((nl = control_buffer_.find('\n')) != std::string::npos) {
    std::string line = control_buffer_.substr(0, nl);
    control_buffer_.erase(0, nl + 1);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    while (!line.empty() && line.front() == ' ') line.erase(0, 1);
    Command(line);
  }
}

void Printer::Cleanup() {
  if (!o_.link.empty() && !slave_name_.empty()) {
    char target[256];
    const ssize_t n = ::readlink(o_.link.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == slave_name_) {
      ::unlink(o_.link.c_str());
    }
  }
  if (!o_.control.empty() && control_ >= 0) {
    ::unlink((o_.control + ".state").c_str());
    if (created_fifo_) ::unlink(o_.control.c_str());
  }
  for (int* fd : {&master_, &slave_keep_, &listen_, &client_, &control_, &capture_}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}

int Printer::Run() {
  if (!o_.capture.empty()) {
    capture_ = ::open(o_.capture.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (capture_ < 0) return Fail("cannot open " + o_.capture + ": " + std::strerror(errno));
  }
  if (!o_.control.empty() && !SetUpControl()) return 1;
  if (o_.tcp_port ? !SetUpTcp() : !SetUpPty()) return 1;

  char buf[4096];
  for (;;) {
    if (paced_) Pace();
    std::vector<pollfd> fds;
    fds.push_back({g_signal_pipe[0], POLLIN, 0});
    if (control_ >= 0) fds.push_back({control_, POLLIN, 0});
    const int source = master_ >= 0 ? master_ : client_ >= 0 ? client_ : listen_;
    // A host that cannot be held with XOFF is held by leaving its bytes in
    // the terminal or the socket.
    const bool take = !paced_ || source == listen_ || wire_.queued() <= HighWater() ||
                      (source == master_ && HostUsesXonXoff());
    fds.push_back({source, static_cast<short>(take ? POLLIN : 0), 0});
    timespec wait{};
    const std::optional<double> wake = paced_ ? NextWake() : std::nullopt;
    if (wake) {
      const double left = std::max(0.0, *wake - NowSeconds());
      wait.tv_sec = static_cast<time_t>(left);
      wait.tv_nsec = static_cast<long>((left - static_cast<double>(wait.tv_sec)) * 1e9);
    }
    if (::ppoll(fds.data(), fds.size(), wake ? &wait : nullptr, nullptr) < 0) {
      if (errno == EINTR) continue;
      return Fail(std::string("poll: ") + std::strerror(errno));
    }
    if (fds[0].revents) break;  // SIGINT or SIGTERM
    if (control_ >= 0 && fds[1].revents) ControlInput();
    const short ev = fds.back().revents;
    if (!ev) continue;
    if (source == listen_) {
      client_ = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      continue;
    }
    const ssize_t n = ::read(source, buf, sizeof buf);
    if (n > 0) {
      TakeFromHost(buf, static_cast<std::size_t>(n));
    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
      if (source == client_) {  // the client hung up: wait for the next one
        ::close(client_);
        client_ = -1;
        if (o_.decode) std::cout << decoder_.Finish() << std::flush;
      } else {
        ::usleep(10000);  // a terminal hiccup; never spin
      }
    }
  }
  if (o_.decode) std::cout << decoder_.Finish() << std::flush;
  return 0;
}

// An option that takes a value: stores it, or says why it is refused.
std::optional<std::string> ApplyValueOption(const std::string& a, const std::string& v,
                                            Options* o) {
  if (a == "--link") o->link = v;
  if (a == "--control") o->control = v;
  if (a == "--capture") o->capture = v;
  if (a == "--tcp") {
    char* end = nullptr;
    const long port = std::strtol(v.c_str(), &end, 10);
    if (*end != '\0' || port < 0 || port > 65535) return "bad port " + v;
    o->tcp_port = static_cast<int>(port);
  }
  if (a == "--baud" || a == "--print-speed" || a == "--buffer") {
    char* end = nullptr;
    const double number = std::strtod(v.c_str(), &end);
    if (a == "--baud" && v == "port") {
      o->baud_of_port = true;
    } else if (*end != '\0' || !(number > 0 && number <= 1e7)) {
      return a + " takes a positive number" + (a == "--baud" ? " or \"port\"" : "");
    } else if (a == "--baud") {
      o->baud = number;
    } else if (a == "--print-speed") {
      o->print_speed = number;
    } else {
      o->buffer = static_cast<std::size_t>(number);
    }
  }
  if (a == "--columns") {
    if (v != "16" && v != "20") return "--columns takes 16 or 20";
    o->display_columns = std::stoi(v);
  }
  if (a == "--state") {
    const auto state = ParseState(v);
    if (!state) return "unknown state " + v;
    o->state = *state;
  }
  return std::nullopt;
}

// The printer's options; an exit code when the program ends here (help, or a
// refused option).
std::optional<int> ParseOptions(const std::vector<std::string>& args, Options* o) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help") {
      std::cout << kHelp;
      return 0;
    } else if (a == "--capture-queries") {
      o->capture_queries = true;
    } else if (a == "--decode") {
      o->decode = true;
    } else if (a == "--display") {
      if (o->display_columns == 0) o->display_columns = 20;
    } else if (a == "--link" || a == "--tcp" || a == "--control" || a == "--capture" ||
               a == "--state" || a == "--baud" || a == "--columns" || a == "--print-speed" ||
               a == "--buffer") {
      if (i + 1 >= args.size()) return Fail(a + " needs a value");
      if (const auto refused = ApplyValueOption(a, args[++i], o)) return Fail(*refused);
    } else {
      return Fail("unknown option " + a + " (see --help)");
    }
  }
  if (o->link.empty() == !o->tcp_port.has_value()) {
    return Fail("give exactly one of --link or --tcp");
  }
  if (o->baud_of_port && o->link.empty()) return Fail("--baud port needs --link");
  return std::nullopt;
}

// SIGINT and SIGTERM end the printer through its signal pipe; a vanished
// peer or terminal does not.
bool InstallSignalHandlers() {
  if (::pipe2(g_signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  ::signal(SIGHUP, SIG_IGN);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == "--version") {
    std::cout << "dovevid-vprinter " << DOVEVID_VERSION << '\n';
    return 0;
  }
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    std::cout << kHelp;
    return args.empty() ? 2 : 0;
  }
  if (args[0] == "decode") {
    if (args.size() < 2) return Fail("usage: dovevid-vprinter decode FILE [--png OUT.png]");
    return DecodeFile(argc, argv, args);
  }

  Options o;
  if (const auto exit_code = ParseOptions(args, &o)) return *exit_code;
  if (!InstallSignalHandlers()) return Fail("pipe");
  Printer printer(std::move(o));
  return printer.Run();
}
