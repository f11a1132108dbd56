#include "app/render_command.h"

#include <malloc.h>
#include <cstdio>
#include <iostream>
#include <optional>

#include "app/offline_run.h"
#include "app/options.h"
#include "base/datetime.h"
#include "base/log.h"
#include "display/customer_display.h"
#include "platform/com_ports.h"
#include "platform/display_link.h"
#include "sl/fields.h"
#include "sl/invoice.h"
#include "sl/receipt.h"
#include "sl/render.h"
#include "sl/vat.h"

namespace dovevid::app {

namespace {

constexpr char kUsage[] =
    "usage: dovevid render FILE [--set NAME=VALUE ...] [--now YYYY-MM-DDTHH:MM:SS]\n"
    "                           [--app-dir DIR] [--data-dir DIR]\n"
    "\n"
    "Lays the SL data FILE out as the print run would and copies the rendered\n"
    "lines (KV2EP.TXT) byte for byte to standard output:\n"
    "  - a first line beginning with RLPR (any case) asks for a reprint: the\n"
    "    KV2EP.TXT already in the data directory is printed again;\n"
    "  - a line beginning with OPFS (capitals) makes FILE an invoice;\n"
    "  - anything else is a receipt.\n"
    "\n"
    "Settings are loaded as 'dovevid settings' loads them (KV2EPcfg.txt and\n"
    "KVVALIVA.txt from the application directory, the label words from the data\n"
    "directory; defaults where a file is missing).\n"
    "\n"
    "options:\n"
    "  --set NAME=VALUE  override one setting for this run only (names as\n"
    "                    'dovevid settings' shows them; the value may be empty,\n"
    "                    e.g. --set 'txtWords(9)=')\n"
    "  --now TIME        fix the clock (the invoice's date line, log entries)\n"
    "  --data-dir DIR    write KV2EP.TXT there; without it a fresh temporary\n"
    "                    directory is used (and removed), so a running server is\n"
    "                    never disturbed\n"
    "  --app-dir DIR     directory of KV2EPcfg.txt and KVVALIVA.txt\n"
    "\n"
    "Customer display rows and operator messages go to standard error.\n"
    "Exit status: 0 when a rendered-lines file was produced, 1 when none was,\n"
    "2 on bad usage.\n";

// Shows the two rows as the display would, then hands them to the display.
class StderrDisplay : public sl::CustomerDisplay {
 public:
  explicit StderrDisplay(sl::CustomerDisplay& display) : display_(display) {}
  int RowWidth() const override { return display_.RowWidth(); }
  void SendToDisplay(const std::string& row1, const std::string& row2) override {
    std::cerr << "display: [" << display::ShownRow(row1, RowWidth()) << "] ["
              << display::ShownRow(row2, RowWidth()) << "]\n";
    display_.SendToDisplay(row1, row2);
  }

 private:
  sl::CustomerDisplay& display_;
};

int Usage(const std::string& error) {
  std::cerr << "dovevid render: " << error << "\n\n" << kUsage;
  return 2;
}

// Lays out `file` with the receipt or invoice renderer, or takes the last
// rendered lines for a reprint request. True when the rendered-lines file is
// there to print.
bool Render(Env& env, const OfflineSetup& setup, const JobArguments& a, const std::string& file,
            const std::string& out_path) {
  const config::Directories& dirs = setup.dirs;
  const config::Settings& settings = setup.settings;
  TraceLog trace(
      env, [&settings] { return settings.Option(config::kTraceEnable); },
      [&dirs] { return dirs.vista ? dirs.data_dir : dirs.app_dir; });
  CommandOperator op("message: ");
  platform::PosixDisplayLink link(platform::ComPortOverrides(a.common.com));
  display::SerialDisplay serial_display(env, trace, settings, link);
  StderrDisplay display(serial_display);
  sl::VatRates rates = sl::DefaultVatRates();
  sl::RenderContext ctx{env, dirs, settings, rates, trace, op, display, env.Now()};

  // The renderer is chosen on the bytes read once (VerificaStampaCopia and
  // VerificaFattura would each read the file again).
  std::string data;
  if (!env.ReadFile(file, &data).ok()) data.clear();
  const bool reprint = sl::IsReprintRequest(data);
  const bool invoice = !reprint && sl::IsInvoiceData(data);
  std::string().swap(data);  // its memory serves the renderer's own read
  if (reprint) {
    if (env.FileExists(out_path)) return true;
    std::cerr << "dovevid render: reprint request, but " << out_path << " does not exist\n";
    return false;
  }
  if (invoice) {
    rates = sl::LoadVatRates(env, dirs.app_dir);
    return sl::SimulazioneFattura(ctx, file).result == sl::kPrint && env.FileExists(out_path);
  }
  return sl::SimulazioneScontrino(ctx, file).result == sl::kPrint && env.FileExists(out_path);
}

}  // namespace

int RunRenderCommand(const std::vector<std::string>& args) {
  // The data, the rendered lines and their copies are a few large buffers:
  // kept in the heap and reused rather than mapped and faulted in afresh
  // for each, which on a large file costs more than laying it out.
  ::mallopt(M_MMAP_THRESHOLD, 64 << 20);
  ::mallopt(M_TRIM_THRESHOLD, 128 << 20);
  ::mallopt(M_TOP_PAD, 4 << 20);
  JobArguments a;
  if (auto error = ParseJobArguments(args, {}, &a)) return Usage(*error);
  if (a.help) {
    std::cout << kUsage;
    return 0;
  }
  if (!a.file) return Usage("FILE is missing");
  const std::optional<std::string>& file = a.file;

  FixedClockEnv env(a.now);
  OfflineSetup setup;
  // Laying out needs no printer: the CUPS queues are not asked for.
  if (auto failed = PrepareOffline(env, a, false, Usage, &setup, /*cups_queues=*/false)) {
    return *failed;
  }
  const std::string out_path = sl::RenderedLinesPath(setup.dirs);
  if (!Render(env, setup, a, *file, out_path)) {
    std::cerr << "dovevid render: no rendered-lines file was produced\n";
    return 1;
  }
  std::string bytes;
  const Status read = env.ReadFile(out_path, &bytes);
  if (!read.ok()) {
    std::cerr << "dovevid render: " << out_path << ": " << read.description() << '\n';
    return 1;
  }
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
  return 0;
}

}  // namespace dovevid::app
