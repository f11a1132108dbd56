#include "job/print_run.h"

#include <fmt/format.h>

#include <optional>
#include <vector>

#include "base/text.h"
#include "printer/escpos.h"
#include "sl/fields.h"

namespace dovevid::job {

namespace {

using escpos::Justification;
namespace esc = escpos;

std::string PrintModeZero() { return esc::PrintMode(false, false); }

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

// The number of feeds a "0".."20" list selects; 0 when nothing is selected.
int Feeds(const config::Settings& s, config::List list) {
  return static_cast<int>(Val(s.SelectedItem(list)));
}

// A field's value when it is numeric and above 0.
std::optional<double> PositiveField(std::string_view line, std::string_view key) {
  std::string value;
  if (!sl::FindField(false, &value, line, key) || !IsNumeric(value)) return std::nullopt;
  const double v = Val(value);
  if (v <= 0) return std::nullopt;
  return v;
}

}  // namespace

std::string ReceiptDateLine(const DateTime& t) {
  return fmt::format("{:02}-{:02}-{:02}  {:02}:{:02}", t.day, t.month, t.year % 100, t.hour,
                     t.minute);
}

// One call of DoSendFile: what is sent, the faults met and the outcome.
class PrintRun::Run {
 public:
  Run(PrintRun& run) : d_(run.d_), ch_(run.d_.channel) {}

  RunResult Print(const std::string& input_path) {
    // From here on a fault is forgiven once; the second one ends the run.
    std::string input;
    Status input_status = input_path.empty()
                              ? Status::Error(fault::kFileNotFound, "File not found")
                              : d_.env.ReadFile(input_path, &input);
    if (!input_status.ok()) Fault(input_status);
    d_.trace.WriteErrorLog("DoSendFile n.4 ");
    const Status out = d_.env.WriteFile(d_.files.Path(kSrOut), "");
    if (!out.ok() && Fault(out)) return Abort();
    // Reading from an input that never opened is the next fault.
    if (!input_status.ok() && Fault(input_status)) return Abort();

    Body(input);
    EndOfReceipt();
    return Finish();
  }

 private:
  const config::Settings& S() const { return d_.settings; }
  bool Opt(int i) const { return S().Option(i); }

  // Nothing more goes into a printer that ran out of paper or fell silent.
  bool Stopped() const { return paper_out_ || silent_; }
  printer::SendResult Send(std::string_view text) {
    if (Stopped()) return printer::kPaperEndGaveUp;
    return Note(ch_.Generic_TrasmettiStringa_CRLF(text));
  }
  printer::SendResult SendRaw(std::string_view bytes) {
    if (Stopped()) return printer::kPaperEndGaveUp;
    return Note(ch_.Generic_TrasmettiStringa_NoCRLF(bytes));
  }
  printer::SendResult Note(printer::SendResult r) {
    if (r == printer::kPaperEndGaveUp) {
      paper_out_ = true;
    } else if (r == printer::kNoAnswer) {
      silent_ = true;
    } else if (r != printer::kSent) {
      line_failed_ = true;
    }
    return r;
  }

  // True when this is the second fault of the run.
  bool Fault(const Status& st) {
    ++faults_;
    last_fault_ = st;
    return faults_ >= 2;
  }

  RunResult Abort() {
    d_.trace.WriteErrorLog("DoSendFile n.9 ", last_fault_);
    d_.op.ShowMessage("ERRORE3 = " + last_fault_.description());
    ch_.Generic_ClosePort();
    return kRunFailed;
  }

  void Header(bool footer) {
    for (int i = 0; i < config::kHeaderLines; ++i) {
      const auto k = static_cast<size_t>(i);
      const std::string& text = footer ? S().txtFooter[k] : S().txtHeader[k];
      if (text.empty()) continue;
      const bool dh = footer ? S().chkDH_Footer[k] : S().chkDH_Header[k];
      const bool dw = footer ? S().chkDW_Footer[k] : S().chkDW_Header[k];
      Send(esc::PrintMode(dh, dw) + std::string(esc::kJustifyCenter) + text);
    }
  }

  void DateLine(std::uint8_t feeds) {
    const bool centred = Opt(config::kDateCentered);
    if (centred) SendRaw(esc::kJustifyCenter);
    if (Opt(config::kPostDateLf)) SendRaw(esc::FeedLines(feeds));
    Send(ReceiptDateLine(d_.env.Now()));
    if (centred) SendRaw(esc::kJustifyLeft);
  }

  void TopOfReceipt() {
    Send(esc::RotationOff());
    Send(esc::kJustifyCenter);
    Header(false);
    Send(std::string(esc::kJustifyLeft) + PrintModeZero());
    if (Opt(config::kPrintLogoUp)) {
      Send(esc::kJustifyCenter);
      SendRaw(S().listPrinters == 0 ? esc::BitImagePrint() : esc::NvGraphicsPrint());
      Send(std::string(esc::kJustifyLeft) + PrintModeZero());
    }
    if (Opt(config::kPrintDateUp)) DateLine(2);
  }

  void AttributeLine(const std::string& line) {
    SendRaw(esc::kJustifyLeft);
    if (const auto a = PositiveField(line, ",A")) {
      if (*a <= 1) {
        SendRaw(esc::kJustifyLeft);
      } else if (*a == 2) {
        SendRaw(esc::kJustifyCenter);
      } else if (*a >= 3) {
        SendRaw(esc::kJustifyRight);
      }
    }
    SendRaw(esc::RotationOff());
    SendRaw(PrintModeZero());
    // Without a text field the previous attribute line's text is printed.
    sl::FindField(false, &tras_text_, line, ",:");
    const bool dw = PositiveField(line, ",W").has_value();
    const bool dh = PositiveField(line, ",H").has_value();
    Send(esc::PrintMode(dh, dw) + tras_text_);
  }

  void Body(std::string_view input) {
    bool top_sent = false;
    LineReader reader(input, LineReader::Ends::kCrLf);
    for (std::string_view line; reader.Next(&line);) {
      if (!top_sent) {
        TopOfReceipt();
        top_sent = true;
      }
      line_failed_ = false;
      d_.trace.WriteErrorLog("DoSendFile n.5 ");
      SendRaw(esc::kJustifyLeft);
      if (!line.empty() && (line[0] == esc::kEsc || line[0] == esc::kGs)) {
        std::string control(line);
        // ESC ! alone would swallow the next byte as its mode.
        if (control == "\x1B!") control.push_back('\0');
        SendRaw(control);
      } else {
        const std::string upper = ToUpper1252(line);
        if (!StartsWith(upper, "TRAS,")) {
          Send(upper);
          SendRaw(PrintModeZero());
          d_.trace.WriteErrorLog("DoSendFile n.6 ");
        } else {
          AttributeLine(upper);
        }
      }
      if (Stopped()) return;
      if (line_failed_) {
        result_ = kRunFailed;
        return;
      }
      SendRaw(std::string(esc::kJustifyLeft) + esc::CharSizeReset());
    }
  }

  void EndOfReceipt() {
    SendRaw(std::string(esc::kJustifyLeft) + esc::CharSizeReset());
    if (Opt(config::kPrintDateDown)) DateLine(1);
    Send(esc::kJustifyCenter);
    Header(true);
    Send(std::string(esc::kJustifyLeft) + PrintModeZero());
    const int pre = Feeds(S(), config::List::kEndSpaces);
    if (pre > 0) Send(esc::FeedLines(static_cast<std::uint8_t>(pre)));
    if (Opt(config::kPartialCut)) {
      Send(esc::Cut(esc::CutMode::kPartial));
    } else if (Opt(config::kTotalCut)) {
      Send(esc::Cut(esc::CutMode::kFull));
    }
    const int post = Feeds(S(), config::List::kPostCutFeeds);
    if (post > 0) Send(esc::FeedLines(static_cast<std::uint8_t>(post)));
  }

  RunResult Finish() {
    const printer::SendResult closed = ch_.Generic_ClosePort();
    d_.trace.WriteErrorLog("DoSendFile n.7 ");
    d_.trace.WriteErrorLog("DoSendFile n.8 ");
    if (paper_out_) return kRunPaperEnd;
    if (silent_) return kRunNotReady;
    // Bytes still queued when the port closed may never have been printed.
    if (closed != printer::kSent && result_ == kRunSent) return kRunFailed;
    return result_;
  }

  PrintRun::Deps& d_;
  printer::PrinterChannel& ch_;
  RunResult result_ = kRunSent;
  int faults_ = 0;
  Status last_fault_;
  bool paper_out_ = false;
  bool silent_ = false;
  bool line_failed_ = false;
  std::string tras_text_;
};

PrintRun::PrintRun(Deps deps) : d_(std::move(deps)) {}

bool PrintRun::NeedsComPort() const {
  const printer::TransportKind kind = d_.channel.transport_kind();
  return kind != printer::TransportKind::kTcp && kind != printer::TransportKind::kDevice;
}

RunResult PrintRun::DoSendFile(const std::string& data_path) {
  d_.trace.WriteErrorLog("DoSendFile n.1 ");
  d_.channel.UpdateTransport();
  if (d_.settings.cboRowLength == config::kNone) d_.settings.cboRowLength = 0;
  d_.trace.WriteErrorLog("DoSendFile n.2 ");

  const bool sl_run = d_.settings.IsSlInput() && !d_.state.test_receipt;
  sl::RenderOutcome render_result = sl::kPrint;
  bool render_stopped = false;
  if (sl_run) {
    if (sl::VerificaStampaCopia(d_.env, data_path)) {
      // A reprint: the rendered lines of the previous receipt, as they are.
    } else {
      const bool invoice = sl::VerificaFattura(d_.env, data_path);
      const sl::RenderResult r =
          invoice ? d_.renderers.Invoice(data_path) : d_.renderers.Receipt(data_path);
      rendered_path_ = r.path;
      if (r.too_large) {
        d_.trace.WriteErrorLog("DoSendFile n.3 ", Status::Error(fault::kOutOfMemory, "File too large"));
        return kRunFailed;
      }
      if (!invoice) render_result = r.result;
      // A rendering that stopped early (inconsistent VAT data, a data file it
      // could not read) would print a cut-off receipt and answer it as printed.
      // Without any rendered lines (an empty data file) there is nothing cut
      // off: the run goes on and fails on the missing file.
      render_stopped = !r.completed && (invoice || r.result == sl::kPrint) && d_.env.FileExists(r.path);
    }
  }
  d_.trace.WriteErrorLog("DoSendFile n.3 ");
  if (render_result == sl::kRepeat) return kRunRepeat;
  if (render_stopped) return kRunFailed;

  d_.channel.Generic_OpenPort();
  const bool not_ready = d_.channel.spooler_transport() ? d_.channel.CheckNoResponse()
                                                        : d_.channel.VerificaStatoStampante();
  if (not_ready) {
    d_.channel.Generic_ClosePort();
    return kRunNotReady;
  }
  Run run(*this);
  return run.Print(sl_run ? rendered_path_ : data_path);
}

}  // namespace dovevid::job
