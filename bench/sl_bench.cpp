// Rendering speed of a 100-item receipt with quantities, item and subtotal
// adjustments, a return, three tenders and the VAT summary; reported as SL
// records per second.
#include <benchmark/benchmark.h>

#include <string>

#include "base/log.h"
#include "config/settings.h"
#include "fake_env.h"
#include "sl/fields.h"
#include "sl/receipt.h"
#include "sl/render.h"

namespace {

using namespace dovevid;

std::string HundredItemReceipt(int* records) {
  std::string sl = "OPER,C3\r\n";
  int n = 1;
  for (int i = 0; i < 100; ++i) {
    const int dept = i % 5 + 1;
    if (i % 10 == 9) {
      sl += "SALE,N" + std::to_string(dept) + ",R,P" + std::to_string(150 + i) + ",:RESO ARTICOLO\r\n";
    } else if (i % 3 == 0) {
      sl += "SALE,N" + std::to_string(dept) + ",Q2.500,P" + std::to_string(199 + i) +
            ",:MELE GOLDEN AL KG DI PRIMA SCELTA\r\n";
    } else {
      sl += "PLUD,N" + std::to_string(dept) + ",P" + std::to_string(1000 + 7 * i) + ",:ARTICOLO " +
            std::to_string(i) + "\r\n";
    }
    ++n;
    if (i % 4 == 0) sl += "DISC,%12.5\r\n", ++n;
    if (i % 7 == 0) sl += "COUP,V50,:BUONO SCONTO\r\n", ++n;
  }
  sl += "SUBT\r\nDOST,%5\r\nADDS,V100\r\nSUBT\r\nPRNT,:GRAZIE E ARRIVEDERCI\r\n";
  sl += "CASH,V5000\r\nCARD,V10000\r\nTEND,N4\r\nEXTL,N1,:PUNTI FEDELTA 120\r\n";
  n += 10;
  *records = n;
  return sl;
}

void BM_ReceiptHundredItems(benchmark::State& state) {
  int records = 0;
  const std::string sl = HundredItemReceipt(&records);
  testing::FakeEnv env;
  env.AddDirectory("/app");
  env.AddDirectory("/data");
  env.SetFile("/data/SR_DATI.001", sl);
  config::Settings settings;
  settings.chkOptions[config::kJumpPayments] = false;
  settings.chkOptions[config::kCalcPrintVat] = true;
  config::Directories dirs{"/app", "/data", "/data", true};
  TraceLog trace(env, [] { return false; }, [] { return std::string("/data"); });
  SilentOperator op;
  sl::NoCustomerDisplay display;
  sl::VatRates rates = sl::DefaultVatRates();
  sl::RenderContext ctx{env, dirs, settings, rates, trace, op, display, env.Now()};
  for (auto _ : state) {
    const sl::RenderResult r = sl::SimulazioneScontrino(ctx, "/data/SR_DATI.001");
    if (r.result != sl::kPrint || !r.completed) state.SkipWithError("rendering failed");
    benchmark::DoNotOptimize(r);
  }
  state.counters["records/s"] =
      benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["bytes_out"] = static_cast<double>(env.File("/data/KV2EP.TXT").size());
}
BENCHMARK(BM_ReceiptHundredItems);

void BM_NormalizeSlRecord(benchmark::State& state) {
  const std::string record = "sale,n1,q 2.5 ,p1.250,:CAFF\xC8 TOTALE & C\xC0\t;";
  for (auto _ : state) benchmark::DoNotOptimize(sl::NormalizeSlRecord(record, 37));
  state.counters["records/s"] =
      benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_NormalizeSlRecord);

}  // namespace

BENCHMARK_MAIN();
