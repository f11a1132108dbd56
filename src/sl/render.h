// What the SL renderers share: their inputs, their outcome, the customer
// display they show totals on, the label words and the amount line layout.
// The receipt renderer is SimulazioneScontrino (receipt.h), the invoice
// renderer SimulazioneFattura (invoice.h); both write KV2EP.TXT in the data
// directory, which the print run then wraps and sends.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "base/datetime.h"
#include "base/env.h"
#include "base/log.h"
#include "base/operator.h"
#include "config/files.h"
#include "config/settings.h"
#include "sl/vat.h"

namespace dovevid::sl {

inline constexpr char kRenderedLinesFileName[] = "KV2EP.TXT";

// The two-row customer display as the renderers see it
// (AsemDisplay_SendToDisplay). Writing never fails towards the renderer.
class CustomerDisplay {
 public:
  virtual ~CustomerDisplay() = default;
  // Characters per display row.
  virtual int RowWidth() const = 0;
  // Shows two rows; an empty row is shown as a blank row.
  virtual void SendToDisplay(const std::string& row1, const std::string& row2) = 0;
};

// For runs without a display.
class NoCustomerDisplay : public CustomerDisplay {
 public:
  int RowWidth() const override { return 20; }
  void SendToDisplay(const std::string&, const std::string&) override {}
};

// Everything one rendering reads or touches. The references must outlive
// the call.
struct RenderContext {
  Env& env;
  const config::Directories& dirs;  // data_dir: KV2EP.TXT; app_dir: KVVALIVA.txt
  const config::Settings& settings;
  // The process-wide VAT table. The receipt renderer reloads it at its start
  // and at every sale line; the invoice renderer expects the caller to have
  // loaded it.
  VatRates& vat_rates;
  TraceLog& trace;
  Operator& op;
  CustomerDisplay& display;
  DateTime now;  // the invoice's date line
};

// What the print run does after a rendering.
enum class RenderOutcome {
  // Print `path`. The receipt renderer also answers this for an empty data
  // file, after removing KV2EP.TXT: the print run then fails on the missing
  // file.
  kPrint,
  // This rendering produced no rendered-lines file: the print run asks for a
  // repeat without opening the printer. A KV2EP.TXT of an earlier job may
  // still be there for a reprint.
  kRepeat,
};
using enum RenderOutcome;

struct RenderResult {
  RenderOutcome result = kRepeat;
  // Data directory + "/KV2EP.TXT", set whatever the outcome (a reprint
  // request prints it again).
  std::string path;
  // The rendering reached the end of the data file (false after an empty
  // file or "Dati IVA incoerenti"). The invoice renderer's own result.
  bool completed = false;
  // The rendered lines would pass kMaxFileBytes: no file was written and the
  // job must not be printed (a receipt is a few kilobytes).
  bool too_large = false;
};

// Counts the bytes a rendering is going to write, lines kept for the end
// included, and says when they would pass kMaxFileBytes.
class OutputBudget {
 public:
  // False, from then on, once `bytes` more would pass the limit.
  bool Take(std::size_t bytes) {
    if (over_ || bytes > kMaxFileBytes - used_) over_ = true;
    if (!over_) used_ += bytes;
    return !over_;
  }
  bool over() const { return over_; }

 private:
  std::size_t used_ = 0;
  bool over_ = false;
};

// The settings' label word `index` (txtWords), or `fallback` when it is empty.
std::string SelectTxtWords(const config::Settings& settings, int index, std::string_view fallback);

// label + blanks + amount, exactly `width` characters; nothing when label
// and amount together are longer than `width`.
std::optional<std::string> AmountLine(std::string_view label, std::string_view amount,
                                      int width);

// data_dir + "/KV2EP.TXT".
std::string RenderedLinesPath(const config::Directories& dirs);

}  // namespace dovevid::sl
