// Arbitrary bytes as an SL data file: the receipt renderer, the invoice
// renderer and NormalizeSlRecord must neither crash nor invoke undefined
// behaviour, whatever the cash register writes, and no text of it may reach
// the printer as a command. The first byte picks the row
// length and the closing options.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/log.h"
#include "base/text.h"
#include "config/settings.h"
#include "fake_env.h"
#include "sl/fields.h"
#include "sl/invoice.h"
#include "sl/receipt.h"
#include "sl/render.h"
#include "sl/vat.h"

namespace {

using namespace dovevid;

void Check(bool ok) {
  if (!ok) std::abort();
}

// No text of the data reaches the printer as a command: a rendered line is
// a control line of the renderer (ESC or GS first) or holds no control byte.
void CheckNoControlBytesInTexts(const std::string& rendered) {
  LineReader reader(rendered, LineReader::Ends::kCrLf);
  for (std::string_view line; reader.Next(&line);) {
    if (!line.empty() && (line[0] == '\x1B' || line[0] == '\x1D')) continue;
    for (char c : line) Check(!IsControlByte(c));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t knobs = data[0];
  const std::string sl(reinterpret_cast<const char*>(data + 1), size - 1);

  config::Settings settings;
  static constexpr int kRowLengths[] = {24, 30, 32, 40, 48, 60, 34, 42};
  const int row_length = kRowLengths[knobs & 7];
  config::SelectListItem(settings, config::List::kRowLength,
                         row_length == 24 ? 0 : row_length == 30 ? 1 : (row_length - 32) / 2 + 2);
  Check(settings.RowLength() == row_length);
  settings.chkOptions[config::kJumpPayments] = (knobs & 8) != 0;
  settings.chkOptions[config::kCalcPrintVat] = (knobs & 16) != 0;
  if (knobs & 32) {
    for (auto& w : settings.txtWords) w.clear();
  }

  for (const std::string& line : SplitAnyLineEnd(sl)) {
    const std::string n = sl::NormalizeSlRecord(line, row_length + 5);
    Check(line.empty() ? n.empty() : n.find(';') != std::string::npos);
    (void)sl::ClassifySlRecord(sl::PrepareReceiptLine(line, row_length + 5));
  }

  testing::FakeEnv env;
  env.AddDirectory("/app");
  env.AddDirectory("/data");
  if (knobs & 64) env.SetFile("/app/KVVALIVA.txt", "500\r\n0\r\n2200\r\n-10000\r\n");
  env.SetFile("/data/SR_DATI.001", sl);
  config::Directories dirs{"/app", "/data", "/data", true};
  TraceLog trace(env, [] { return true; }, [] { return std::string("/data"); });
  SilentOperator op;
  sl::NoCustomerDisplay display;
  sl::VatRates rates = sl::DefaultVatRates();
  sl::RenderContext ctx{env, dirs, settings, rates, trace, op, display, env.Now()};

  const sl::RenderResult receipt = sl::SimulazioneScontrino(ctx, "/data/SR_DATI.001");
  Check(receipt.result ==
        (env.FileExists("/data/KV2EP.TXT") || sl.empty() ? sl::kPrint : sl::kRepeat));
  if (receipt.result == sl::kPrint && !sl.empty()) {
    // Every rendered line ends with CR LF.
    const std::string out = env.File("/data/KV2EP.TXT");
    Check(out.empty() || out.size() >= 2);
    Check(out.empty() || out.compare(out.size() - 2, 2, "\r\n") == 0);
    CheckNoControlBytesInTexts(out);
  }
  rates = sl::LoadVatRates(env, dirs.app_dir);
  if (sl::SimulazioneFattura(ctx, "/data/SR_DATI.001").result == sl::kPrint) {
    CheckNoControlBytesInTexts(env.File("/data/KV2EP.TXT"));
  }
  return 0;
}
