#include "sl/receipt.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <exception>
#include <vector>

#include "base/text.h"
#include "printer/escpos.h"
#include "sl/amounts.h"
#include "sl/fields.h"
#include "sl/format.h"

namespace dovevid::sl {

namespace {

constexpr char kRendererName[] = "SimulazioneScontrino";

// Label words: index and fallback.
struct Word {
  int index;
  const char* fallback;
};
constexpr Word kTotalWord{0, "TOTALE"};
constexpr Word kCashWord{8, "CONTANTI"};
constexpr Word kCardWord{9, "CARTA CRED."};
constexpr Word kChequeWord{10, "ASSEGNI"};
constexpr Word kChangeWord{16, "RESTO"};
constexpr Word kTerminalWord{17, "PAG. POS"};
constexpr Word kCreditWord{18, "CREDITO"};
constexpr Word kUnpaidWord{19, "CORRISP. NON PAGATO"};
constexpr Word kPaidWord{20, "CORRISP. PAGATO"};
constexpr Word kTaxableWord{21, "IMPONIBILE"};
constexpr Word kExemptWord{22, "ESENTE"};
constexpr Word kVatWord{23, "IVA"};
constexpr Word kReturnWord{29, " *** RESO *** "};
constexpr Word kOperatorWord{30, "OPERATORE"};

class ReceiptRenderer {
 public:
  // `vat_stamp`: the stamp of the rates file as read at the start.
  ReceiptRenderer(const RenderContext& ctx, std::optional<FileStamp> vat_stamp)
      : ctx_(ctx),
        settings_(ctx.settings),
        width_(ctx.settings.RowLength()),
        vat_path_(JoinPath(ctx.dirs.app_dir, kVatRatesFileName)),
        vat_stamp_(vat_stamp),
        vat_checked_ms_(ctx.env.MonotonicMs()) {}

  // Handles every line of the data; false when "Dati IVA incoerenti" or the
  // size limit ended the rendering.
  bool Run(std::string_view data);
  void Reserve(size_t bytes) { out_.reserve(bytes); }
  void End();
  // The rendered lines would pass kMaxFileBytes.
  bool too_large() const { return budget_.over(); }
  std::string TakeOutput() { return std::move(out_); }

 private:
  // Runs one step of a record; a fault is reported and the record goes on.
  // False when the step failed.
  template <typename F>
  bool Step(F&& f) {
    try {
      f();
      return true;
    } catch (const Fault& fault) {
      Report(fault);
      return false;
    }
  }
  // Writes the line that `compose` builds; a line whose composition fails is
  // written empty.
  template <typename F>
  void Line(F&& compose) {
    std::string line;
    try {
      line = compose();
    } catch (const Fault& fault) {
      Report(fault);
      line.clear();
    }
    Emit(line);
  }
  void Report(const Fault& fault);
  void Emit(std::string_view line) {
    if (!budget_.Take(line.size() + 2)) return;
    out_.append(line);
    out_.append("\r\n");
  }
  // The amount line of `label`, or an empty line when the amount could not
  // be computed: a wrong amount must never be printed.
  void AmountLineIf(bool computed, std::string_view label, std::int32_t cents) {
    if (!computed) {
      Emit("");
      return;
    }
    Line([&] { return Amount(label, cents); });
  }

  std::string WordText(const Word& w) const {
    return SelectTxtWords(settings_, w.index, w.fallback);
  }
  std::string Blanks() const { return std::string(static_cast<size_t>(width_), ' '); }
  std::string Amount(std::string_view label, std::int64_t cents) const {
    return AmountLineOrFault(label, FormatCents(cents), width_);
  }
  // A display row: like an amount line, but the label gives way to the
  // amount instead of failing, since the display must never stop a receipt.
  std::string DisplayRow(std::string_view label, std::string_view amount) const;
  // The record's text field, or the label word.
  std::string LabelOf(const std::string& record, const Word& w) const {
    return GetField(record, ",:").value_or(WordText(w));
  }
  // Posts an amount to the receipt total and, with to_bucket, to VAT bucket
  // `vat`; each posting is a step of its own.
  void Post(int vat, std::int32_t amount, bool to_bucket) {
    if (to_bucket) {
      Step([&] {
        buckets_[static_cast<size_t>(vat)] = CheckedAdd(buckets_[static_cast<size_t>(vat)], amount);
      });
    }
    Step([&] { total_ = CheckedAdd(total_, amount); });
  }
  void WriteHeaderIfPending() {
    if (header_pending_) WriteHeader();
  }
  void WriteHeader();
  // Reads the rates file again when it changed since it was last read. A
  // look at the file is a system call, dearer than laying out a line, so it
  // is looked at once the clock has moved on since the last look (and
  // always after a failed read): a change applies to the lines from the
  // next millisecond on.
  void RefreshVatRates() {
    const std::int64_t now_ms = ctx_.env.MonotonicMs();
    if (vat_stamp_ && now_ms == vat_checked_ms_) return;
    vat_checked_ms_ = now_ms;
    const std::optional<FileStamp> now = ctx_.env.Stamp(vat_path_);
    if (now && now == vat_stamp_) return;
    ctx_.vat_rates = LoadVatRates(ctx_.env, ctx_.dirs.app_dir, &vat_stamp_);
  }

  bool Dispatch(const std::string& record);
  void PrintLine(std::string_view line);
  void Oper(const std::string& record);
  void Date(const std::string& record);
  bool Sale(const std::string& record);
  // The VAT rate of the sale's department (",N1" to ",N4"); 0 without one.
  std::int32_t DepartmentRate(const std::string& record);
  // "<description>    <amount>", the description cut to fit the row.
  void SaleLine(const std::string& description, std::int32_t amount);
  void PercentAdjustment(const std::string& record, SlCommand command);
  void FixedAdjustment(const std::string& record, SlCommand command);
  void TotalBlock();
  void Tender(const std::string& record, SlCommand command);
  void Credit(const std::string& record);
  void Opfs(const std::string& record);
  void Prnt(const std::string& record);
  void Cutt(const std::string& record);
  void Open(const std::string& record);
  void Barc(const std::string& record);
  void Extl(const std::string& record);
  void Dext(const std::string& record);
  void VatSummary();
  void PaymentState();

  const RenderContext& ctx_;
  const config::Settings& settings_;
  const int width_;
  const std::string vat_path_;
  std::optional<FileStamp> vat_stamp_;
  std::int64_t vat_checked_ms_;
  std::string out_;

  std::int32_t total_ = 0;
  std::array<std::int32_t, 5> buckets_{};
  std::int32_t last_amount_ = 0;
  int last_vat_ = -1;
  bool last_return_ = false;
  bool header_pending_ = false;
  std::optional<std::int32_t> given_total_;
  bool first_tender_ = true;
  std::int32_t paid_ = 0;
  std::int32_t credit_ = 0;
  // The EXTL lines, each with its CR LF, written at the end.
  std::string extra_lines_;
  bool customer_lines_ = false;
  OutputBudget budget_;
};

void ReceiptRenderer::Report(const Fault& fault) {
  const Status status = Status::Error(fault.number, fault.description);
  ctx_.trace.WriteErrorLog(kRendererName, status);
  ctx_.op.ShowMessage(std::string("err_") + kRendererName + ": " + status.ToString());
}

std::string ReceiptRenderer::DisplayRow(std::string_view label, std::string_view amount) const {
  const int w = ctx_.display.RowWidth();
  if (w <= 0) return "";
  if (static_cast<int>(amount.size()) >= w) return std::string(amount);
  const size_t room = static_cast<size_t>(w) - amount.size();
  return *AmountLine(label.substr(0, room), amount, w);
}

void ReceiptRenderer::WriteHeader() {
  Emit(std::string(static_cast<size_t>(std::max(0, width_ - 4)), ' ') + "EURO");
  Emit(Blanks());
  header_pending_ = false;
}

bool ReceiptRenderer::Run(std::string_view data) {
  const int max_text = width_ + 5;
  LineReader reader(data, LineReader::Ends::kAny);
  for (std::string_view line; reader.Next(&line);) {
    if (too_large()) return false;
    const LineKind kind = ClassifyReceiptLine(line);
    const std::string raw = BlankControlBytes(line, kind == LineKind::kNormalised);
    switch (kind) {
      case LineKind::kSkipped:
        continue;
      case LineKind::kPrintLine:
        PrintLine(raw);
        continue;
      case LineKind::kAsIs:
      case LineKind::kNormalised:
        if (!Dispatch(PrepareReceiptLine(raw, max_text))) return false;
    }
  }
  return true;
}

// A PRNT line whose text holds no "," prints at any time, cut into rows;
// one with further fields goes through the dispatch as it stands.
void ReceiptRenderer::PrintLine(std::string_view line) {
  std::string_view text = line.size() > 6 ? line.substr(6) : std::string_view();
  if (!text.empty() && text.back() == ';') text.remove_suffix(1);
  if (text.find(',') != std::string_view::npos) {
    Dispatch(std::string(line));
    return;
  }
  const std::string t = text.empty() ? std::string(" ") : std::string(text);
  const size_t w = static_cast<size_t>(std::max(1, width_));
  for (size_t i = 0; i < t.size(); i += w) Emit(std::string_view(t).substr(i, w));
}

bool ReceiptRenderer::Dispatch(const std::string& record) {
  const SlCommand command = ClassifySlRecord(record);
  switch (command) {
    case SlCommand::kNone:
    case SlCommand::kOpnf:
    case SlCommand::kClnf:
      break;
    case SlCommand::kOpfs: Opfs(record); break;
    case SlCommand::kDext: Dext(record); break;
    case SlCommand::kOper: Oper(record); break;
    case SlCommand::kClfs: header_pending_ = false; break;
    case SlCommand::kDate: Date(record); break;
    case SlCommand::kSale: return Sale(record);
    case SlCommand::kDisc:
    case SlCommand::kMagg:
    case SlCommand::kDost:
    case SlCommand::kMost: PercentAdjustment(record, command); break;
    case SlCommand::kSubt:
      Line([&] { return Amount("SUBTOTALE ", total_); });
      break;
    case SlCommand::kCutt: Cutt(record); break;
    case SlCommand::kCoup:
    case SlCommand::kCost:
    case SlCommand::kAddi:
    case SlCommand::kAdds: FixedAdjustment(record, command); break;
    case SlCommand::kCash:
    case SlCommand::kCheq:
    case SlCommand::kCard:
    case SlCommand::kTend: Tender(record, command); break;
    case SlCommand::kCred: Credit(record); break;
    case SlCommand::kOpen: Open(record); break;
    case SlCommand::kPrnt: Prnt(record); break;
    case SlCommand::kExtl: Extl(record); break;
    case SlCommand::kBarc: Barc(record); break;
  }
  return true;
}

void ReceiptRenderer::Oper(const std::string& record) {
  WriteHeaderIfPending();
  const auto c = GetField(record, ",C");
  if (!c) return;
  Line([&] {
    return WordText(kOperatorWord) + " N. " + OperatorNumber(*c);
  });
}

void ReceiptRenderer::Date(const std::string& record) {
  if (GetField(record, ",:")) {
    WriteHeader();
  } else {
    WriteHeaderIfPending();
  }
}

std::int32_t ReceiptRenderer::DepartmentRate(const std::string& record) {
  std::int32_t rate = 0;
  Step([&] {
    const auto n = GetField(record, ",N");
    if (!n) return;
    const auto dept = ParseNumber(*n);
    if (dept && *dept > 0 && *dept < 5) {
      // Department 0.01 rounds to entry -1: no entry, the rate stays 0.
      const long long entry = RoundHalfEven(*dept - 1);
      if (entry < 0 || entry >= static_cast<long long>(ctx_.vat_rates.size())) {
        throw kSubscriptOutOfRange;
      }
      rate = ctx_.vat_rates[static_cast<size_t>(entry)];
    }
  });
  return rate;
}

void ReceiptRenderer::SaleLine(const std::string& description, std::int32_t amount) {
  Line([&] {
    const std::string amount_text = FormatCents(amount);
    if (description.size() + amount_text.size() < static_cast<size_t>(width_)) {
      return AmountLineOrFault(description, amount_text, width_);
    }
    const long keep = static_cast<long>(width_) - static_cast<long>(amount_text.size()) - 4;
    if (keep < 0) ThrowInvalidCall();
    return description.substr(0, static_cast<size_t>(keep)) + "    " + amount_text;
  });
}

bool ReceiptRenderer::Sale(const std::string& record) {
  WriteHeaderIfPending();
  const bool is_return = GetField(record, ",R").has_value();
  const std::int32_t rate = DepartmentRate(record);
  const std::string description = GetField(record, ",:").value_or("");
  if (is_return) Emit(WordText(kReturnWord));

  std::string quantity_text = "1";
  std::int64_t thousandths = 1000;
  if (const auto q = GetField(record, ",Q")) {
    quantity_text = PointToComma(*q);
    thousandths = 0;
    Step([&] { thousandths = QuantityThousandths(*q); });
  }
  int decimals = 2;
  if (const auto z = GetField(record, ",Z")) {
    Step([&] { decimals = PriceDecimals(*z); });
  }
  std::int32_t unit_price = 0;
  bool computed = true;
  if (const auto p = GetField(record, ",P"); p && IsNumeric(*p)) {
    computed = Step([&] { unit_price = UnitPriceCents(*p, decimals); });
  }
  if (thousandths != 1000) {
    Emit(quantity_text + "    X    " + FormatCents(unit_price));
  }
  if (is_return) unit_price = -unit_price;

  std::int32_t amount = 0;
  computed = Step([&] { amount = SaleAmount(unit_price, thousandths); }) && computed;

  // The table is checked for every sale line, so a changed file counts from
  // here on for the rates of the next lines and of the VAT summary too, not
  // only for this line's code.
  RefreshVatRates();
  int vat = -1;
  VatCodeOfRate(ctx_.vat_rates, rate, &vat);
  if (vat < 0) vat = last_vat_;
  if (vat < 0) {
    ctx_.op.ShowMessage("Dati IVA incoerenti");
    return false;
  }
  Post(vat, amount, true);
  last_amount_ = amount;
  last_vat_ = vat;
  last_return_ = is_return;

  if (computed) {
    SaleLine(description, amount);
  } else {
    Emit("");
  }
  return true;
}

void ReceiptRenderer::PercentAdjustment(const std::string& record, SlCommand command) {
  if (last_vat_ < 0) return;
  const auto percent = GetField(record, ",%");
  if (!percent) return;  // no percentage, no amount
  const bool on_item = command == SlCommand::kDisc || command == SlCommand::kMagg;
  const bool discount = command == SlCommand::kDisc || command == SlCommand::kDost;
  std::string label;
  if (const auto text = GetField(record, ",:")) {
    label = *text;
  } else {
    static constexpr Word kWords[] = {
        {25, "SCONTO ART"}, {27, "MAGG. ART"}, {26, "SCONTO SUBT"}, {28, "MAGG. SUBT"}};
    const Word& w = kWords[(on_item ? 0 : 2) + (discount ? 0 : 1)];
    label = WordText(w) + " " + PercentLabel(*percent) + "%";
  }
  std::int32_t amount = 0;
  const bool computed = Step([&] {
    const std::int32_t base = on_item ? last_amount_ : total_;
    const std::int32_t adjustment = PercentAdjustmentCents(base, *percent);
    amount = discount ? CheckedNegate(adjustment) : adjustment;
  });
  // Also the subtotal percentages go to the last item's code.
  Post(last_vat_, amount, true);
  AmountLineIf(computed, label, amount);
}

void ReceiptRenderer::FixedAdjustment(const std::string& record, SlCommand command) {
  if (last_vat_ < 0) return;
  const auto v = GetField(record, ",V");
  if (!v || !IsNumeric(*v)) return;
  static constexpr Word kCoupWord{25, "SCONTO SU ITEM"};
  static constexpr Word kCostWord{26, "SCONTO SU SUBT."};
  static constexpr Word kAddiWord{27, "MAGG. SU ITEM"};
  static constexpr Word kAddsWord{28, "MAGG. SU SUBT."};
  const Word& word = command == SlCommand::kCoup   ? kCoupWord
                     : command == SlCommand::kCost ? kCostWord
                     : command == SlCommand::kAddi ? kAddiWord
                                                   : kAddsWord;
  const std::string label = LabelOf(record, word);
  std::int32_t amount = 0;
  const bool computed = Step([&] {
    const std::int32_t value = WholeCents(*v);
    // A discount on a returned item gives money back to the till, a
    // surcharge on it takes money away; subtotal adjustments keep their sign.
    bool negative = command == SlCommand::kCoup || command == SlCommand::kCost;
    if (last_return_ && (command == SlCommand::kCoup || command == SlCommand::kAddi)) {
      negative = !negative;
    }
    amount = negative ? CheckedNegate(value) : value;
  });
  // Fixed subtotal adjustments go to no code.
  Post(last_vat_, amount, command == SlCommand::kCoup || command == SlCommand::kAddi);
  AmountLineIf(computed, label, amount);
}

void ReceiptRenderer::TotalBlock() {
  const std::string label = WordText(kTotalWord);
  const std::int32_t shown = given_total_.value_or(total_);
  std::string total_line;
  try {
    total_line = Amount(label, shown);
  } catch (const Fault& fault) {
    Report(fault);
  }
  Emit(std::string(total_line.size(), '='));
  Emit(total_line);
  ctx_.display.SendToDisplay(DisplayRow(label, FormatCents(shown)),
                             std::string(static_cast<size_t>(std::max(0, ctx_.display.RowWidth())), ' '));
}

void ReceiptRenderer::Tender(const std::string& record, SlCommand command) {
  if (first_tender_) TotalBlock();
  const Word& word = command == SlCommand::kCash   ? kCashWord
                     : command == SlCommand::kCheq ? kChequeWord
                     : command == SlCommand::kCard ? kCardWord
                                                   : kTerminalWord;
  const std::string label = LabelOf(record, word);
  std::int32_t amount = 0;
  const bool computed = Step([&] {
    const auto v = GetField(record, ",V");
    amount = v && IsNumeric(*v) ? WholeCents(*v) : CheckedSub(total_, paid_);
  });
  Step([&] { paid_ = CheckedAdd(paid_, amount); });
  AmountLineIf(computed, label, amount);
  if (paid_ >= total_) {
    std::int32_t change = 0;
    Step([&] { change = CheckedSub(paid_, total_); });
    const std::string change_label = WordText(kChangeWord);
    Line([&] { return Amount(change_label, change); });
    ctx_.display.SendToDisplay("", DisplayRow(change_label, FormatCents(change)));
  }
  first_tender_ = false;
}

void ReceiptRenderer::Credit(const std::string& record) {
  if (first_tender_) TotalBlock();
  const std::string label = LabelOf(record, kCreditWord);
  std::int32_t amount = 0;
  const bool computed = Step([&] {
    const auto v = GetField(record, ",V");
    if (v && IsNumeric(*v)) {
      amount = WholeCents(*v);
      credit_ = CheckedAdd(credit_, amount);
    } else {
      amount = CheckedSub(total_, paid_);
      credit_ = amount;
    }
  });
  AmountLineIf(computed, label, amount);
  first_tender_ = false;
  ctx_.display.SendToDisplay(std::to_string(paid_), DisplayRow(label, FormatCents(amount)));
}

void ReceiptRenderer::Opfs(const std::string& record) {
  // With customer lines no extra line is written at the end: the customer
  // texts and the EXTL lines are left out of the receipt.
  customer_lines_ = true;
  extra_lines_.clear();
  given_total_.reset();
  if (const auto v = GetField(record, ",V")) {
    Step([&] { given_total_ = WholeCents(*v); });
  }
  Emit(record);
  header_pending_ = true;
}

void ReceiptRenderer::Prnt(const std::string& record) {
  if (!first_tender_) return;
  const std::string text = GetField(record, ",:").value_or("");
  bool attributes = false;
  for (const char* key : {",H", ",W", ",A"}) {
    const auto value = GetField(record, key);
    if (!value) continue;
    const auto number = ParseNumber(*value);
    if (number && *number > 0) attributes = true;
  }
  if (!attributes) {
    Emit(text);
    return;
  }
  std::string rest = record;
  for (size_t pos = rest.find("PRNT,:"); pos != std::string::npos; pos = rest.find("PRNT,:", pos)) {
    rest.erase(pos, 6);
  }
  Emit("TRAS,:" + rest);
}

void ReceiptRenderer::Cutt(const std::string& record) {
  if (const auto n = GetField(record, ",N")) {
    const auto lines = ParseNumber(*n);
    if (lines && *lines > 0) {
      Line([&] { return escpos::FeedLines(ByteValue(*lines)); });
    }
  }
  const auto t = GetField(record, ",T");
  const auto type = t ? ParseNumber(*t) : std::nullopt;
  Emit(escpos::Cut(type && *type == 1 ? escpos::CutMode::kPartial : escpos::CutMode::kFull));
}

void ReceiptRenderer::Open(const std::string& record) {
  const auto n = GetField(record, ",N");
  const auto drawer = n ? ParseNumber(*n) : std::nullopt;
  Emit(escpos::SlDrawerPulse(drawer && *drawer == 2 ? 1 : 0));
}

void ReceiptRenderer::Barc(const std::string& record) {
  const auto data = GetField(record, ",:");
  const auto t = GetField(record, ",T");
  if (!data || !t) return;
  const auto type = ParseNumber(*t);
  struct Symbology {
    std::uint8_t m;
    bool form_b;
  };
  static constexpr Symbology kSymbologies[] = {
      {2, false}, {3, false}, {4, false}, {escpos::kCode128, true}, {0, false},
      {1, false}, {5, false}, {6, false}, {escpos::kCode93, true}};
  if (!type || *type < 1 || *type > 9 || *type != std::floor(*type)) return;
  const Symbology& s = kSymbologies[static_cast<size_t>(*type) - 1];

  std::uint8_t hri = 0;
  if (const auto h = GetField(record, ",H"); h && !h->empty() && (*h)[0] >= '0' && (*h)[0] <= '9') {
    hri = static_cast<std::uint8_t>((*h)[0] - '0');
    if (hri > 3) hri = 0;
  }
  Emit(escpos::BarcodeHeight(80));
  Emit(escpos::BarcodeWidth(3));
  Emit(escpos::BarcodeHri(hri));
  Emit(escpos::Justify(escpos::Justification::kCenter));
  Emit("\r\n");
  Emit(s.form_b ? escpos::BarcodePrintB(s.m, *data) : escpos::BarcodePrintA(s.m, *data));
}

void ReceiptRenderer::Extl(const std::string& record) {
  const auto n = GetField(record, ",N");
  const auto text = GetField(record, ",:");
  if (!n || !IsNumeric(*n) || !text) return;
  if (customer_lines_) return;
  std::string line = text->substr(0, static_cast<size_t>(std::max(0, width_)));
  line.resize(static_cast<size_t>(std::max(0, width_)), ' ');
  if (!budget_.Take(line.size() + 2)) return;
  extra_lines_ += line + "\r\n";
}

void ReceiptRenderer::Dext(const std::string& record) {
  // The record's terminator is not text for the customer.
  std::string s = record.ends_with(';') ? record.substr(0, record.size() - 1) : record;
  for (size_t i = 6; i < s.size() && i < 6 + 40; ++i) {
    if (s[i] == ',') s[i] = '.';
  }
  const size_t start = s.find(",:");
  std::string text = start == std::string::npos ? "" : s.substr(start + 2, 40);
  text.resize(40, ' ');
  ctx_.display.SendToDisplay("", text);
}

void ReceiptRenderer::VatSummary() {
  std::int64_t summary_total = 0;
  for (size_t k = 0; k < 5; ++k) {
    const std::int32_t bucket = buckets_[k];
    if (bucket <= 0) continue;
    const std::int32_t rate = ctx_.vat_rates[k];
    const std::string rate_text = FormatCents(rate) + "%";
    std::int32_t taxable = 0;
    bool computed = false;
    Step([&] {
      taxable = TaxableCents(bucket, rate);
      computed = true;
    });
    if (!computed) continue;
    if (rate > 0) {
      Line([&] { return Amount(WordText(kTaxableWord) + " " + rate_text, taxable); });
      Line([&] { return Amount(WordText(kVatWord) + " " + rate_text, bucket - taxable); });
      summary_total += taxable;
    } else if (rate == 0) {
      Line([&] { return Amount(WordText(kExemptWord) + " " + rate_text, taxable); });
    }
  }
  Line([&] { return Amount("TOTAL ", CheckedInt32(summary_total)); });
}

void ReceiptRenderer::PaymentState() {
  Line([&] { return Amount(WordText(kPaidWord), paid_); });
  Line([&] { return Amount(WordText(kUnpaidWord), credit_); });
  Emit(Blanks());
}

void ReceiptRenderer::End() {
  if (settings_.Option(config::kJumpPayments)) return;
  Emit(Blanks());
  if (settings_.Option(config::kCalcPrintVat)) {
    VatSummary();
  } else {
    PaymentState();
  }
  if (!customer_lines_) out_ += extra_lines_;  // counted when they came
}

}  // namespace

RenderResult SimulazioneScontrino(const RenderContext& ctx, const std::string& data_path) {
  RenderResult result;
  result.path = RenderedLinesPath(ctx.dirs);
  if (!ctx.env.FileExists(data_path)) {
    ctx.op.ShowMessage("Il file " + data_path + " non esiste");
    // The previous receipt's KV2EP.TXT stays for a reprint, but this job has
    // nothing to print: printing the old file would answer a receipt that
    // was never laid out.
    result.result = kRepeat;
    return result;
  }
  std::optional<FileStamp> vat_stamp;
  ctx.vat_rates = LoadVatRates(ctx.env, ctx.dirs.app_dir, &vat_stamp);
  if (ctx.env.FileExists(result.path)) (void)ctx.env.RemoveFile(result.path);

  std::string data;
  const Status read = ctx.env.ReadFile(data_path, &data);
  if (!read.ok()) {
    ctx.trace.WriteErrorLog(kRendererName, read);
    ctx.op.ShowMessage(std::string("err_") + kRendererName + ": " + read.ToString());
    result.result = kRepeat;
    return result;
  }
  if (data.empty()) {
    // Nothing to lay out and no file: the print run finds no rendered lines.
    result.result = kPrint;
    return result;
  }

  std::string output;
  try {
    ReceiptRenderer renderer(ctx, vat_stamp);
    renderer.Reserve(data.size() * 2);
    result.completed = renderer.Run(data);
    if (result.completed) renderer.End();
    if (renderer.too_large()) {
      ctx.trace.WriteErrorLog(kRendererName, Status::Error(fault::kOutOfMemory, "File too large"));
      result.completed = false;
      result.too_large = true;
      return result;
    }
    data = std::string();
    output = renderer.TakeOutput();
  } catch (const std::exception& e) {
    ctx.trace.WriteErrorLog(kRendererName, Status::Error(7, e.what()));
    result.result = kRepeat;
    return result;
  }
  const Status written = ctx.env.WriteFile(result.path, output);
  if (!written.ok()) {
    ctx.trace.WriteErrorLog(kRendererName, written);
    ctx.op.ShowMessage(std::string("err_") + kRendererName + ": " + written.ToString());
    // A half-written file must never be printed.
    if (ctx.env.FileExists(result.path)) (void)ctx.env.RemoveFile(result.path);
  }
  result.result = ctx.env.FileExists(result.path) && written.ok() ? kPrint : kRepeat;
  return result;
}

}  // namespace dovevid::sl
