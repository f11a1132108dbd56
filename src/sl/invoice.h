// The invoice renderer: an SL data file holding an "OPFS" record is laid out
// as an invoice (items with their VAT letter, adjustments, totals and
// tenders, a VAT summary per code and the customer block) into KV2EP.TXT.
// Every line it writes is plain text; the print run adds header, logo, date,
// footer and cut.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/datetime.h"
#include "base/operator.h"
#include "config/settings.h"
#include "sl/render.h"

namespace dovevid::sl {

// The three switches of the renderer; the print run turns them all on.
struct InvoiceOptions {
  bool print_tenders = true;         // tender lines of CASH, CARD, CRED...
  bool print_invoice_number = true;  // "FATTURA NUM. n" at OPFS
  bool print_date = true;            // the date line of the header block
};

// "DD-MM-YYYY   hh:mm" (three blanks, no seconds).
std::string FormatInvoiceTimestamp(const DateTime& now);

// The VAT letter of an invoice rate by the fixed table A 400, B 1000,
// C 1600, D 2200, E 0, with its index 0..4 in *index; "" and *index untouched
// for any other rate.
std::string InvoiceVatCode(std::int32_t rate, int* index);

struct InvoiceLayout {
  std::vector<std::string> lines;  // without line ends
  bool completed = false;          // false: stopped on "Dati IVA incoerenti"
};

// Lays out the records of one invoice (the lines of the data file as read)
// for `row_length` characters. Label words come from settings.txtWords;
// faults inside a record are told to `op` and the rendering goes on.
InvoiceLayout LayOutInvoice(std::span<const std::string> records, int row_length,
                            const config::Settings& settings, const DateTime& now, Operator& op,
                            const InvoiceOptions& options = {});

// SimulazioneFattura: renders the data file at `data_path` with the row
// length of ctx.settings into KV2EP.TXT in the data directory. result is 0
// when this rendering wrote that file (also when it stopped early: the lines
// so far stay), 1 when it wrote none (empty or unreadable data file, or a
// write fault); completed tells whether the invoice was laid out to its end.
RenderResult SimulazioneFattura(const RenderContext& ctx, const std::string& data_path,
                                const InvoiceOptions& options = {});

}  // namespace dovevid::sl
