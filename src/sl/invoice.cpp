#include "sl/invoice.h"

#include <fmt/format.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>

#include "base/text.h"
#include "sl/amounts.h"
#include "sl/fields.h"
#include "sl/format.h"

namespace dovevid::sl {

namespace {

// Codes A to E of the invoice, by the fixed table (not the VAT rates file).
constexpr std::array<std::int32_t, 5> kInvoiceRates = {400, 1000, 1600, 2200, 0};

enum class TenderGroup { kCash, kCheque, kCard, kTerminal, kCredit };

__extension__ typedef __int128 Int128;

// n / d rounded to the nearest integer, halves to the even one; d > 0.
Int128 DivideHalfEven128(Int128 n, Int128 d) {
  Int128 q = n / d;
  Int128 r = n % d;
  if (r < 0) --q, r += d;  // floor division: 0 <= r < d
  if (2 * r > d || (2 * r == d && q % 2 != 0)) ++q;
  return q;
}

class Invoice {
 public:
  Invoice(int row_length, const config::Settings& settings, const DateTime& now, Operator& op,
          const InvoiceOptions& options)
      : row_(row_length),
        width_(row_length - 2),
        settings_(settings),
        now_(now),
        op_(op),
        options_(options) {}

  // Handles one line of the data file; false when the invoice must stop.
  bool Handle(std::string_view raw) {
    // The OPFS record keeps its customer texts as the register sent them,
    // all but the control bytes.
    const bool opfs = raw.find("OPFS") != std::string_view::npos;
    const std::string line = BlankControlBytes(raw, !opfs);
    const std::string record = opfs ? line : NormalizeSlRecord(line, width_);
    const SlCommand command = ClassifySlRecord(record);
    switch (command) {
      case SlCommand::kOpfs: Opfs(record); break;
      case SlCommand::kOper: Oper(record); break;
      case SlCommand::kClfs: header_pending_ = false; break;
      case SlCommand::kDate: Date(record); break;
      case SlCommand::kSale: return Sale(record);
      case SlCommand::kCoup:
      case SlCommand::kCost:
      case SlCommand::kAddi:
      case SlCommand::kAdds: Adjustment(command, record); break;
      case SlCommand::kCash: Tender(TenderGroup::kCash, record); break;
      case SlCommand::kCheq: Tender(TenderGroup::kCheque, record); break;
      case SlCommand::kCard: Tender(TenderGroup::kCard, record); break;
      case SlCommand::kTend: Tender(TenderGroup::kTerminal, record); break;
      case SlCommand::kCred: Tender(TenderGroup::kCredit, record); break;
      case SlCommand::kPrnt: Prnt(record); break;
      case SlCommand::kExtl: Extl(record); break;
      default: break;  // receipt-only and unknown records write nothing
    }
    return true;
  }

  // The closing lines after the last record.
  void Finish() {
    Write(BlankRow());
    Write(TenderLine(Word(20, "CORRISP. PAGATO"), paid_));
    Write(TenderLine(Word(19, "CORRISP. NON PAGATO"), credit_));
    Write(BlankRow());
    SpreadSubtotalAdjustments();
    VatSummary();
    Write(" --- " + Word(24, "Intestazione Cliente") + " ---");
    for (const std::string& line : customer_lines_) Write(line + " ");
    text_ += extl_lines_;  // counted when they came
  }

  // The rendered lines, each with its CR LF.
  std::string TakeText() { return std::move(text_); }
  // The rendered lines would pass kMaxFileBytes.
  bool too_large() const { return budget_.over(); }

 private:
  void Fail(const Fault& fault) {
    op_.ShowMessage(fmt::format("{} - {}", fault.number, fault.description));
  }

  // One step of a record: a fault is told and the record goes on with its
  // next step, whatever the failed step was to set keeping its value.
  template <typename F>
  void Step(F&& step) {
    try {
      step();
    } catch (const Fault& fault) {
      Fail(fault);
    }
  }

  void Write(std::string_view line) {
    if (!budget_.Take(line.size() + 2)) return;
    text_.append(line);
    text_.append("\r\n");
  }

  std::string Word(int index, std::string_view fallback) const {
    return SelectTxtWords(settings_, index, fallback);
  }

  std::string BlankRow() const { return std::string(static_cast<size_t>(std::max(0, row_)), ' '); }

  // Label, blanks, amount in W characters. A label too long for its row is
  // shortened to keep one blank before the amount, so no total or payment is
  // ever lost from the invoice; only an amount wider than the row fails.
  std::string FitAmountLine(std::string_view label, std::string_view amount) {
    if (auto line = AmountLine(label, amount, width_)) return *line;
    const long room = static_cast<long>(width_) - static_cast<long>(amount.size()) - 1;
    if (room >= 0) return *AmountLine(label.substr(0, static_cast<size_t>(room)), amount, width_);
    Fail(kInvalidCall);
    return "";
  }

  std::string TenderLine(std::string_view label, std::int64_t cents) {
    return FitAmountLine(label, FormatCents(cents)) + " ";
  }

  // Adds to a 32-bit amount; a sum that would leave 32 bits fails and the
  // amount stays.
  void Add(std::int32_t* amount, std::int32_t delta) {
    Step([&] { *amount = CheckedAdd(*amount, delta); });
  }
  void Subtract(std::int32_t* amount, std::int32_t delta) {
    Step([&] { *amount = CheckedSub(*amount, delta); });
  }

  // The whole cents of a numeric field; 0 after a fault.
  std::int32_t Cents(const std::string& text) {
    std::int32_t cents = 0;
    Step([&] { cents = WholeCents(text); });
    return cents;
  }

  static bool IsNumericField(const std::optional<std::string>& field) {
    return field && IsNumeric(*field);
  }

  void WriteHeaderBlock(const std::string& date_line) {
    if (options_.print_date) Write(date_line);
    Write(std::string(static_cast<size_t>(std::max(0, row_ - 6)), ' ') + "EURO");
    Write(BlankRow());
    header_pending_ = false;
  }

  void FlushHeader() {
    if (header_pending_) WriteHeaderBlock(FormatInvoiceTimestamp(now_));
  }

  void Opfs(const std::string& record) {
    const auto number = GetField(record, ",N");
    invoice_number_ = IsNumericField(number) ? CanonicalNumber(*ParseNumber(*number)) : "1";

    given_total_.reset();
    if (const auto v = GetField(record, ",V")) Step([&] { given_total_ = WholeCents(*v); });

    static constexpr std::array<const char*, 4> kCustomerKeys = {",:", ",<", ",=", ",>"};
    for (size_t i = 0; i < kCustomerKeys.size(); ++i) {
      if (auto text = GetField(record, kCustomerKeys[i])) {
        customer_lines_[i] = text->substr(0, static_cast<size_t>(std::max(0, width_)));
      }
    }
    header_pending_ = true;
    if (options_.print_invoice_number) Write("FATTURA NUM. " + invoice_number_);
  }

  void Oper(const std::string& record) {
    FlushHeader();
    if (const auto c = GetField(record, ",C")) Write("OPERATORE N. " + OperatorNumber(*c));
  }

  void Date(const std::string& record) {
    if (const auto text = GetField(record, ",:")) {
      WriteHeaderBlock(*text);
    } else {
      FlushHeader();
    }
  }

  bool Sale(const std::string& record) {
    FlushHeader();

    std::int32_t rate = 0;
    if (const auto i = GetField(record, ",I"); IsNumericField(i)) {
      // Rates are whole hundredths; anything finer matches no code.
      const double hundredths = *ParseNumber(*i) * 100;
      const double whole = std::nearbyint(hundredths);
      rate = std::fabs(whole) < 1e9 && std::fabs(hundredths - whole) < 1e-6
                 ? static_cast<std::int32_t>(whole)
                 : -1;
    }
    const std::string description = GetField(record, ",:").value_or("");

    std::string quantity_text = "1";
    std::int32_t thousandths = 1000;
    if (const auto q = GetField(record, ",Q")) {
      quantity_text = PointToComma(Trim(*q));
      Step([&] { thousandths = QuantityThousandths(*q); });
    }

    std::int32_t unit_price = 0;
    if (const auto p = GetField(record, ",P"); IsNumericField(p)) unit_price = Cents(*p);
    Write(quantity_text + "    X    " + FormatCents(unit_price));

    // 64-bit product: 30000,00 x 1 is 3000000000 thousandths of a cent.
    std::int32_t amount = 0;
    Step([&] { amount = SaleAmount(unit_price, thousandths); });

    const std::string letter = InvoiceVatCode(rate, &last_vat_index_);
    if (last_vat_index_ < 0) {
      op_.ShowMessage("Dati IVA incoerenti");
      return false;
    }
    Add(&buckets_[static_cast<size_t>(last_vat_index_)], amount);
    Add(&invoice_total_, amount);
    Add(&items_total_, amount);

    const std::string amount_text = FormatCents(amount);
    const long room = static_cast<long>(width_) - static_cast<long>(description.size()) -
                      static_cast<long>(amount_text.size());
    if (room < 0) width_ = static_cast<int>(description.size() + amount_text.size() + 5);
    Write(*AmountLine(description, amount_text, width_) + " " + letter);
    return true;
  }

  void Adjustment(SlCommand kind, const std::string& record) {
    if (last_vat_index_ < 0) return;
    const auto v = GetField(record, ",V");
    if (!IsNumericField(v)) return;
    const char* fallback = kind == SlCommand::kCoup   ? "SCONTO SU ITEM"
                           : kind == SlCommand::kCost ? "SCONTO SU SUBT."
                           : kind == SlCommand::kAddi ? "MAGG. SU ITEM"
                                                      : "MAGG. SU SUBT.";
    const std::string label = GetField(record, ",:").value_or(fallback);
    const std::int32_t value = Cents(*v);
    std::int32_t& bucket = buckets_[static_cast<size_t>(last_vat_index_)];
    switch (kind) {
      case SlCommand::kCoup:
        Subtract(&bucket, value);
        Subtract(&invoice_total_, value);
        break;
      case SlCommand::kCost:
        Subtract(&invoice_total_, value);
        Add(&subtotal_discounts_, value);
        break;
      case SlCommand::kAddi:
        Add(&bucket, value);
        Add(&invoice_total_, value);
        break;
      default:  // ADDS
        Add(&invoice_total_, value);
        Add(&subtotal_surcharges_, value);
        break;
    }
    Write(TenderLine(label, value));
  }

  void Tender(TenderGroup group, const std::string& record) {
    static constexpr std::array<const char*, 5> kDefaultLabels = {
        "CONTANTI", "ASSEGNI", "CARTA CRED.", "BANCOMAT", "CREDITO"};
    if (first_tender_) {
      Write(BlankRow());
      const char* total_label =
          group == TenderGroup::kCash ? "TOT. FATTURA EURO" : "TOTALE FATTURA EURO";
      const std::int32_t total = given_total_.value_or(invoice_total_);
      Write(FitAmountLine(total_label, FormatCents(total)));
    }
    const std::string label =
        GetField(record, ",:").value_or(kDefaultLabels[static_cast<size_t>(group)]);

    std::int32_t amount = 0;
    const auto v = GetField(record, ",V");
    if (IsNumericField(v)) {
      amount = Cents(*v);
      if (group == TenderGroup::kCredit) Add(&credit_, amount);
    } else {
      Step([&] { amount = CheckedSub(invoice_total_, paid_); });
      if (group == TenderGroup::kCredit) credit_ = amount;
    }
    if (group != TenderGroup::kCredit) Add(&paid_, amount);

    if (options_.print_tenders) Write(TenderLine(label, amount));
    first_tender_ = false;
  }

  void Prnt(const std::string& record) {
    if (!first_tender_) return;
    if (auto text = GetField(record, ",:")) Write(*text);
  }

  void Extl(const std::string& record) {
    if (!first_tender_) return;
    const auto text = GetField(record, ",:");
    if (!IsNumericField(GetField(record, ",N")) || !text) return;
    std::string line = text->substr(0, static_cast<size_t>(std::max(0, width_)));
    line.resize(static_cast<size_t>(std::max(0, width_)), ' ');
    line += " \r\n";
    if (budget_.Take(line.size())) extl_lines_ += line;
  }

  // Subtotal discounts and surcharges carry no VAT code of their own: they
  // are shared out over the codes in proportion to the items of each.
  void SpreadSubtotalAdjustments() {
    if (items_total_ <= 0) return;
    const std::int64_t net = std::int64_t{subtotal_surcharges_} - subtotal_discounts_;
    for (std::int32_t& bucket : buckets_) {
      Step([&] {
        // 128 bits: net x bucket x 100 leaves 64 bits long before the share
        // stops fitting 32 (a 10000000,00 discount on a 15000000,00 code).
        const Int128 scaled = Int128{net} * bucket * 100;
        // Rounded to hundredths of a cent first, then to the cent.
        const Int128 share = DivideHalfEven128(DivideHalfEven128(scaled, items_total_), 100);
        const Int128 sum = share + bucket;
        if (sum != static_cast<std::int32_t>(sum)) throw kOverflow;
        bucket = static_cast<std::int32_t>(sum);
      });
    }
  }

  void VatSummary() {
    std::int64_t taxable_total = 0;
    std::int64_t tax_total = 0;
    for (size_t k = 0; k < buckets_.size(); ++k) {
      const std::int32_t bucket = buckets_[k];
      if (bucket <= 0) continue;
      // The rate that put the items into this code, so the summary always
      // states the letter and rate printed on the item lines.
      const std::int32_t rate = kInvoiceRates[k];
      int unused = 0;
      const std::string rate_text =
          InvoiceVatCode(rate, &unused) + "=" + FormatCents(rate) + "%";
      const std::int64_t taxable = TaxableCents(bucket, rate);
      if (rate > 0) {
        Write(TenderLine(Word(21, "IMPONIBILE") + " " + rate_text, taxable));
        Write(TenderLine(Word(23, "IVA") + " " + rate_text, bucket - taxable));
        taxable_total += taxable;
        tax_total += bucket - taxable;
      } else {
        Write(TenderLine(Word(22, "ESENTE") + " " + rate_text, taxable));
      }
    }
    Write(BlankRow());
    Write(TenderLine("TOT. " + Word(21, "IMPONIBILE"), taxable_total));
    Write(TenderLine("TOT. " + Word(23, "IVA"), tax_total));
    Write(BlankRow());
  }

  const int row_;
  int width_;
  const config::Settings& settings_;
  const DateTime now_;
  Operator& op_;
  const InvoiceOptions options_;

  std::int32_t invoice_total_ = 0;
  std::int32_t items_total_ = 0;
  std::array<std::int32_t, 5> buckets_{};
  int last_vat_index_ = -1;
  std::int32_t subtotal_discounts_ = 0;
  std::int32_t subtotal_surcharges_ = 0;
  std::int32_t paid_ = 0;
  std::int32_t credit_ = 0;
  std::optional<std::int32_t> given_total_;
  std::string invoice_number_ = "1";
  bool header_pending_ = false;
  bool first_tender_ = true;
  std::array<std::string, 4> customer_lines_;  // from OPFS
  std::string extl_lines_;                     // each with its blank and CR LF
  std::string text_;
  OutputBudget budget_;
};

// Feeds the lines that `next` gives to the invoice until one stops it or the
// output grows too large; the closing lines follow a complete run.
template <typename Next>
bool LayOut(Invoice& invoice, Next next) {
  for (std::string_view line; next(&line);) {
    if (!invoice.Handle(line)) return false;
    if (invoice.too_large()) return false;
  }
  invoice.Finish();
  return true;
}

}  // namespace

std::string FormatInvoiceTimestamp(const DateTime& now) {
  return fmt::format("{:02}-{:02}-{:04}   {:02}:{:02}", now.day, now.month, now.year, now.hour,
                     now.minute);
}

std::string InvoiceVatCode(std::int32_t rate, int* index) {
  for (size_t i = 0; i < kInvoiceRates.size(); ++i) {
    if (kInvoiceRates[i] == rate) {
      *index = static_cast<int>(i);
      return std::string(1, static_cast<char>('A' + i));
    }
  }
  return "";
}

InvoiceLayout LayOutInvoice(std::span<const std::string> records, int row_length,
                            const config::Settings& settings, const DateTime& now, Operator& op,
                            const InvoiceOptions& options) {
  Invoice invoice(row_length, settings, now, op, options);
  InvoiceLayout layout;
  size_t i = 0;
  layout.completed = LayOut(invoice, [&](std::string_view* line) {
    if (i == records.size()) return false;
    *line = records[i++];
    return true;
  });
  layout.lines = SplitCrLf(invoice.TakeText());
  return layout;
}

RenderResult SimulazioneFattura(const RenderContext& ctx, const std::string& data_path,
                                const InvoiceOptions& options) {
  RenderResult result;
  result.path = RenderedLinesPath(ctx.dirs);
  // A stale file that cannot be removed is never offered for printing:
  // result stays 1 unless this rendering writes the file itself.
  (void)ctx.env.RemoveFile(result.path);

  if (!ctx.env.FileExists(data_path)) {
    ctx.op.ShowMessage("Il file " + data_path + " non esiste");
    return result;
  }
  std::string data;
  if (Status st = ctx.env.ReadFile(data_path, &data); !st.ok()) {
    ctx.op.ShowMessage(fmt::format("{} - {}", st.number(), st.description()));
    return result;
  }
  if (data.empty()) return result;

  Invoice invoice(ctx.settings.RowLength(), ctx.settings, ctx.now, ctx.op, options);
  LineReader reader(data, LineReader::Ends::kAny);
  const bool completed = LayOut(invoice, [&](std::string_view* line) { return reader.Next(line); });
  if (invoice.too_large()) {
    ctx.trace.WriteErrorLog("SimulazioneFattura", Status::Error(fault::kOutOfMemory, "File too large"));
    result.too_large = true;
    return result;
  }
  data = std::string();
  if (Status st = ctx.env.WriteFile(result.path, invoice.TakeText()); !st.ok()) {
    ctx.op.ShowMessage(fmt::format("{} - {}", st.number(), st.description()));
    return result;
  }
  result.result = kPrint;
  result.completed = completed;
  return result;
}

}  // namespace dovevid::sl
