#include "app/render_command.h"

#include <malloc.h>

#include <QTemporaryDir>
#include <cstdio>
#include <iostream>
#include <optional>

#include "app/configuration.h"
#include "app/options.h"
#include "base/datetime.h"
#include "base/log.h"
#include "config/schema.h"
#include "display/customer_display.h"
#include "platform/com_ports.h"
#include "platform/display_link.h"
#include "platform/posix_env.h"
#include "platform/user_settings.h"
#include "sl/fields.h"
#include "sl/invoice.h"
#include "sl/receipt.h"
#include "sl/render.h"
#include "sl/vat.h"

namespace dovevid::app {

namespace {

constexpr char kUsage[] =
    "usage: dovevid render FILE [--set NAME=VALUE ...] [--now YYYY-MM-DDTHH:MM:SS]\n"
    "                           [--app-dir DIR] [--data-dir DIR] [--com N=PATH]\n"
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
    "  --com N=PATH      serial device of COM N (the customer display's port)\n"
    "\n"
    "Customer display rows and operator messages go to standard error. With\n"
    "the display enabled (chkEnableComPortDisplay) on a display port\n"
    "(cmbComPortDisplay), the rows are shown on that display too, unless a\n"
    "running server holds it.\n"
    "Exit status: 0 when a rendered-lines file was produced, 1 when none was,\n"
    "2 on bad usage.\n";

// The real environment with the clock fixed by --now.
class RenderEnv : public platform::PosixEnv {
 public:
  explicit RenderEnv(std::optional<DateTime> now) : now_(now) {}
  DateTime Now() override { return now_ ? *now_ : PosixEnv::Now(); }

 private:
  std::optional<DateTime> now_;
};

class StderrOperator : public Operator {
 public:
  void ShowMessage(std::string_view text) override { std::cerr << "message: " << text << '\n'; }
};

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

}  // namespace

int RunRenderCommand(const std::vector<std::string>& args) {
  // The data, the rendered lines and their copies are a few large buffers:
  // kept in the heap and reused rather than mapped and faulted in afresh
  // for each, which on a large file costs more than laying it out.
  ::mallopt(M_MMAP_THRESHOLD, 64 << 20);
  ::mallopt(M_TRIM_THRESHOLD, 128 << 20);
  ::mallopt(M_TOP_PAD, 4 << 20);
  CommonOptions common;
  std::vector<std::string> rest;
  std::string error;
  if (!TakeCommonOptions(args, &common, &rest, &error)) return Usage(error);

  std::optional<std::string> file;
  std::optional<DateTime> now;
  std::vector<std::pair<std::string, std::string>> overrides;
  for (size_t i = 0; i < rest.size(); ++i) {
    const std::string& a = rest[i];
    if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (a == "--set" || a == "--now") {
      if (i + 1 >= rest.size()) return Usage(a + " needs a value");
      const std::string& value = rest[++i];
      if (a == "--now") {
        DateTime t;
        if (!ParseIsoDateTime(value, &t)) return Usage("--now takes YYYY-MM-DDTHH:MM:SS");
        now = t;
      } else {
        const size_t eq = value.find('=');
        if (eq == std::string::npos || eq == 0) return Usage("--set takes NAME=VALUE");
        overrides.emplace_back(value.substr(0, eq), value.substr(eq + 1));
      }
      continue;
    }
    if (a.rfind("--", 0) == 0 || file) return Usage("unexpected argument '" + a + "'");
    file = a;
  }
  if (!file) return Usage("FILE is missing");

  RenderEnv env(now);
  // The settings come from the installation's directories; the rendered
  // lines go to --data-dir or to a private temporary directory.
  std::optional<QTemporaryDir> temp;
  if (!common.data_dir) {
    temp.emplace(QDir::tempPath() + "/dovevid-render.XXXXXX");
    if (!temp->isValid()) {
      std::cerr << "dovevid render: cannot create a temporary data directory\n";
      return 1;
    }
  }
  config::Directories dirs;
  std::string resolve_error;
  if (auto resolved = ResolveDirectories(env, common, &resolve_error)) {
    dirs = *resolved;
  } else if (common.data_dir ||
             (common.app_dir && !env.DirectoryExists(*common.app_dir))) {
    return Usage(resolve_error);
  } else {
    // No data directory installed: the label words keep their defaults.
    dirs.app_dir = common.app_dir.value_or(platform::ExecutableDirectory());
    dirs.data_dir = temp->path().toStdString();
  }
  config::Settings settings = LoadSettings(env, dirs, {}, false, /*cups_queues=*/false);
  if (temp) dirs.data_dir = temp->path().toStdString();
  // Start-up shows the display rows 20 wide whatever the list holds; an
  // explicit --set cboDisplayLength below changes that, as a selection does.
  settings.display_line_length = 20;
  for (const auto& [name, value] : overrides) {
    const Status st = config::SetSetting(settings, name, value);
    if (!st.ok()) return Usage("--set " + name + ": " + st.description());
  }

  TraceLog trace(
      env, [&settings] { return settings.Option(config::kTraceEnable); },
      [&dirs] { return dirs.vista ? dirs.data_dir : dirs.app_dir; });
  StderrOperator op;
  platform::PosixDisplayLink link(platform::ComPortOverrides(common.com));
  display::SerialDisplay serial_display(env, trace, settings, link);
  StderrDisplay display(serial_display);
  sl::VatRates rates = sl::DefaultVatRates();
  sl::RenderContext ctx{env, dirs, settings, rates, trace, op, display, env.Now()};

  const std::string out_path = sl::RenderedLinesPath(dirs);
  bool produced = false;
  // The renderer is chosen on the bytes read once (VerificaStampaCopia and
  // VerificaFattura would each read the file again).
  std::string data;
  if (!env.ReadFile(*file, &data).ok()) data.clear();
  const bool reprint = sl::IsReprintRequest(data);
  const bool invoice = !reprint && sl::IsInvoiceData(data);
  std::string().swap(data);  // its memory serves the renderer's own read
  if (reprint) {
    produced = env.FileExists(out_path);
    if (!produced) std::cerr << "dovevid render: reprint request, but " << out_path << " does not exist\n";
  } else if (invoice) {
    rates = sl::LoadVatRates(env, dirs.app_dir);
    produced = sl::SimulazioneFattura(ctx, *file).result == 0 && env.FileExists(out_path);
  } else {
    produced = sl::SimulazioneScontrino(ctx, *file).result == 0 && env.FileExists(out_path);
  }
  if (!produced) {
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
