// The control requests the running server carries out (and the commands run
// without a server, which go through the same code).
#include <fmt/format.h>

#include <charconv>
#include <limits>

#include "base/text.h"
#include "config/schema.h"
#include "job/server.h"

namespace dovevid::job {

namespace {

ControlReply Refused(std::string text) { return {2, "", "dovevid: " + std::move(text) + "\n"}; }

std::string Iso(const DateTime& t) {
  return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}", t.year, t.month, t.day, t.hour,
                     t.minute, t.second);
}

// The picture of a logo request, while the request runs.
constexpr char kLogoRequestFile[] = "LogoRequest.bmp";

std::optional<int> WholeNumber(std::string_view text, int low, int high) {
  int n = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec != std::errc() || end != text.data() + text.size() || n < low || n > high) return std::nullopt;
  return n;
}

bool ParseLogoOptions(const std::vector<std::string>& words, logo::ConvertOptions* options) {
  for (const std::string& w : words) {
    const std::size_t eq = w.find('=');
    const std::string name = w.substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : w.substr(eq + 1);
    if (w == "dither") {
      options->method = logo::Monochrome::kDither;
    } else if (const auto n = WholeNumber(value, 1, 255); name == "threshold" && n) {
      options->threshold = *n;
    } else if (const auto dots = WholeNumber(value, 1, 0xFFFF); name == "paper-width" && dots) {
      options->paper_width_dots = *dots;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

std::vector<std::string> LogoOptionWords(const logo::ConvertOptions& options) {
  std::vector<std::string> words;
  if (options.method == logo::Monochrome::kDither) words.emplace_back("dither");
  words.push_back("threshold=" + std::to_string(options.threshold));
  words.push_back("paper-width=" + std::to_string(options.paper_width_dots));
  return words;
}

ControlReply Server::Execute(const std::vector<std::string>& request) {
  ControlReply reply;
  std::string messages;  // what the operator was told meanwhile
  // A settings listing may answer while a request waits for the printer.
  std::string* const outer = op_.capture;
  op_.capture = &messages;
  const std::string verb = request.empty() ? "" : request[0];
  const std::size_t n = request.size();
  if (verb == "status" && n == 1) {
    reply = StatusReport(true);
  } else if (verb == "settings" && n == 1) {
    reply = ListSettings();
  } else if (verb == "settings" && n >= 3 && request[1] == "set") {
    reply = ChangeSettings({request.begin() + 2, request.end()}, true);
  } else if (verb == "printer" && n >= 2) {
    reply = PrinterCommand(request);
  } else if (verb == "reprint" && n == 1) {
    reply = Reprint();
  } else if (verb == "counter" && n <= 2) {
    reply = Counter(request);
  } else if (verb == "timer" && n == 2) {
    reply = Timer(request);
  } else if (verb == "test-receipt" && n == 1) {
    reply = TestReceipt();
  } else if (verb == "logo" && n >= 2) {
    reply = LogoCommand(request);
  } else {
    reply = Refused("not a request this server takes: '" + verb + "'");
  }
  op_.capture = outer;
  reply.err = messages + reply.err;
  return reply;
}

std::pair<std::string, std::string> Server::CurrentPrinter() const {
  const auto items = channel_.PrinterListItems();
  const int selected = settings_.listPrinters;
  if (channel_.transport_kind() != printer::TransportKind::kSerial && selected >= 0 &&
      selected < static_cast<int>(items.size())) {
    return {items[static_cast<std::size_t>(selected)].name,
            items[static_cast<std::size_t>(selected)].uri};
  }
  const int com = settings_.PrinterComPort();
  return {std::string(printer::kSerialPrinterName),
          com > 0 && e_.com_port_device ? e_.com_port_device(com) : ""};
}

ControlReply Server::StatusReport(bool probe) {
  if (probe) {
    last_probe_ = state_.port_usable || channel_.transport_kind() != printer::TransportKind::kSerial
                      ? printer::ProbePrinter(channel_)
                      : printer::PrinterProbe{printer::PrinterState::kPortUnusable, ""};
    if (last_probe_.state == printer::PrinterState::kPortUnusable && last_probe_.reason.empty()) {
      channel_.Generic_OpenPort();  // the system's reason, for the technician
      last_probe_.reason = channel_.open_status().description();
      channel_.Generic_ClosePort();
    }
  } else if (channel_.paper_end_episode()) {  // the job waits for paper
    last_probe_ = {printer::PrinterState::kPaperEnd, ""};
  }
  const printer::TransportKind kind = channel_.transport_kind();
  const auto [name, device] = CurrentPrinter();
  std::string out;
  const auto line = [&out](std::string_view key, const std::string& value) {
    out += fmt::format("{}={}\n", key, value);
  };
  line("server", since_ ? "running" : "not running");
  line("pid", std::to_string(e_.process_id));
  line("since", since_ ? Iso(*since_) : "");
  line("data_dir", dirs_.data_dir);
  line("printer", name);
  line("transport", std::string(printer::TransportName(kind)));
  line("device", device);
  line("state", std::string(printer::PrinterStateText(last_probe_.state)));
  line("reason", last_probe_.reason);
  line("job", state_.job_in_progress ? "printing" : probe ? "idle" : "busy");
  line("extension", settings_.FileExtension());
  line("polling_ms", std::to_string(settings_.polling_interval_ms));
  line("receipt_counter", std::to_string(settings_.receipt_counter));
  line("identification", state_.device_identification);
  line("last_job", last_job_status_ ? std::string(StatusText(*last_job_status_)) : "");
  line("last_job_time", last_job_status_ ? Iso(last_job_time_) : "");
  line("answer_not_written", cycle_.unwritten_answer());
  return {last_probe_.state == printer::PrinterState::kReady ? 0 : 1, out, ""};
}

ControlReply Server::ListSettings() {
  ControlReply reply;
  for (const std::string& name : config::SettingNames()) {
    std::string value;
    config::GetSetting(settings_, name, &value);
    reply.out += name + "=" + value + "\n";
  }
  return reply;
}

ControlReply Server::ChangeSettings(const std::vector<std::string>& assignments, bool save) {
  // Everything is checked on a copy first: one refused value changes nothing.
  config::Settings next = settings_;
  std::optional<std::string> timer_value;
  for (const std::string& a : assignments) {
    const std::size_t eq = a.find('=');
    if (eq == std::string::npos) return Refused("'" + a + "' is not NAME=VALUE");
    const std::string name = a.substr(0, eq);
    const std::string value = a.substr(eq + 1);
    if (name == "txtTimerVal") {
      if (Val(value) <= 0) {
        return Refused("txtTimerVal: '" + value +
                       "' is not accepted: a positive number of seconds, or of milliseconds");
      }
      timer_value = value;
      continue;
    }
    if (const Status st = config::SetSetting(next, name, value); !st.ok()) {
      return Refused(st.description());
    }
  }
  const config::Settings before = settings_;
  settings_ = next;
  ApplySelectionHandlers(before);
  if (timer_value) cycle_.ChangePollingInterval(*timer_value);
  std::string err;
  if (save && !Save(&err)) return {1, "", err};
  e_.view.ShowSettingsChanged();
  return {};
}

void Server::ApplySelectionHandlers(const config::Settings& before) {
  if (settings_.cboComPort != before.cboComPort) {
    state_.port_usable = channel_.TestPrinterPort();
    channel_.BuildPrinterList();
  }
  if (settings_.listPrinters != before.listPrinters) {
    channel_.SelectListedPrinter();
    channel_.CloseStatusMonitor();
    if (channel_.spooler_transport()) channel_.OpenStatusMonitor();
    state_.port_usable = channel_.TestPrinterPort();
  }
  if (settings_.cmbComPortDisplay != before.cmbComPortDisplay) display_.Reopen();
  if (settings_.receipt_counter != before.receipt_counter) {
    e_.view.ShowReceiptCounter(settings_.receipt_counter);
  }
}

ControlReply Server::PrinterCommand(const std::vector<std::string>& request) {
  const std::string& sub = request[1];
  const std::size_t n = request.size();
  if (sub == "raw" && n == 3) {
    printer::SendRawCodes(channel_, request[2]);
    return {};
  }
  if (n != 2) return Refused("printer " + sub + ": unexpected arguments");
  if (sub == "init") {
    printer::InitPrinter(channel_);
  } else if (sub == "feed") {
    printer::PaperFeed(channel_);
  } else if (sub == "test-paper") {
    printer::TestPaper(channel_);
  } else if (sub == "drawer") {
    printer::OpenDrawer(channel_);
  } else if (sub == "barcode") {
    printer::TestBarcode(channel_);
  } else if (sub == "kill-doc") {
    channel_.AbandonDocument();
  } else if (sub == "list") {
    channel_.BuildPrinterList();
    ControlReply reply;
    const auto items = channel_.PrinterListItems();
    for (std::size_t i = 0; i < items.size(); ++i) {
      const bool selected = static_cast<int>(i) == settings_.listPrinters;
      reply.out += fmt::format("{} {}  {}  {}\n", selected ? '*' : ' ', items[i].name,
                               printer::TransportName(items[i].transport), items[i].uri);
    }
    return reply;
  } else {
    return Refused("printer: no such command '" + sub + "'");
  }
  return {};
}

ControlReply Server::Reprint() {
  const std::optional<JobStatus> status = cycle_.ReprintLastJob();
  if (!status) return {1, "", ""};  // "Function not available" is in err already
  return {*status == kJobOk ? 0 : 1, std::string(StatusText(*status)) + "\n", ""};
}

ControlReply Server::Counter(const std::vector<std::string>& request) {
  std::int32_t& counter = settings_.receipt_counter;
  if (request.size() == 2) {
    const std::string& text = request[1];
    const std::optional<double> v = ParseNumber(text);
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    if (Trim(text).empty() || !v || *v > kMax || *v < -kMax) {
      return {2, std::to_string(counter) + "\n",
              "dovevid: counter: '" + text + "' is not a receipt number; it stays " +
                  std::to_string(counter) + "\n"};
    }
    counter = static_cast<std::int32_t>(RoundHalfEven(*v));
    e_.view.ShowReceiptCounter(counter);
    std::string err;
    // Saved at once: a receipt number set by hand must survive a crash.
    if (!PersistCounter(&err)) return {1, std::to_string(counter) + "\n", err};
  }
  return {0, std::to_string(counter) + "\n", ""};
}

ControlReply Server::Timer(const std::vector<std::string>& request) {
  const bool zero = Val(request[1]) == 0;
  if (!cycle_.ChangePollingInterval(request[1])) return {1, "", ""};
  const std::string out = fmt::format("txtTimerVal={} (polling every {} ms)\n",
                                      settings_.txtTimerVal, settings_.polling_interval_ms);
  return {zero ? 1 : 0, out, ""};
}

ControlReply Server::TestReceipt() {
  if (!since_) {
    return {3, "", "dovevid: no server is serving " + dirs_.data_dir +
                       ": the test receipt is printed by a running server\n"};
  }
  if (!cycle_.QueueTestReceipt()) {
    return {1, "", "dovevid: test receipt refused: the printer port is not usable\n"};
  }
  return {0, fmt::format("test receipt queued as {}; the answer comes in {} or {}\n",
                         files_.Path(kSrStart), files_.Path(kSrOut), files_.Path(kSrErr)),
          ""};
}

ControlReply Server::LogoCommand(const std::vector<std::string>& request) {
  const std::string& sub = request[1];
  const std::size_t n = request.size();
  const bool picture = sub == "load" || sub == "preview" || sub == "download";
  logo::ConvertOptions options = e_.logo_options;
  if (!picture && sub != "print") return Refused("logo: no such request '" + sub + "'");
  if ((sub == "print" && n > 2) ||
      (n > 3 && (sub == "download" || !ParseLogoOptions({request.begin() + 3, request.end()}, &options)))) {
    return Refused("logo " + sub + ": unexpected arguments");
  }
  logo::LogoImages images({e_.env, op_, channel_, settings_,
                           e_.image_reader ? *e_.image_reader : bmp_reader_, dirs_.app_dir, options,
                           [this](int percent) { e_.view.ShowLogoProgress(percent); }});
  if (sub == "print") {
    if (!images.PrintImage()) return {1, "", ""};
    return {0, "logo printed on " + CurrentPrinter().first + "\n", ""};
  }
  // The picture is written into the application directory for as long as
  // the request runs.
  const std::string bytes = n > 2 ? request[2] : "";
  const std::string path = bytes.empty() ? "" : JoinPath(dirs_.app_dir, kLogoRequestFile);
  if (!path.empty()) {
    if (const Status st = e_.env.WriteFile(path, bytes); !st.ok()) {
      (void)e_.env.RemoveFile(path);
      return {1, "", "dovevid: " + path + ": " + st.description() + "\n"};
    }
  }
  bool done = false;
  std::string out;
  if (sub == "load") {
    done = images.LoadLogo(path.empty() ? images.PreviewFilePath() : path);
    out = "logo stored in " + CurrentPrinter().first + "\n";
  } else if (sub == "preview") {
    done = images.Preview(path);
    out = images.PreviewFilePath() + "\n";
  } else {
    done = images.DownloadBitImage(path);
    out = "logo downloaded to " + CurrentPrinter().first + "\n";
  }
  if (!path.empty()) (void)e_.env.RemoveFile(path);
  return {done ? 0 : 1, done ? out : "", ""};
}

}  // namespace dovevid::job
