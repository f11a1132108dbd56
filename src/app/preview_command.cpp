#include "app/preview_command.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <charconv>
#include <iostream>
#include <memory>

#include "app/offline_run.h"
#include "base/log.h"
#include "job/job_files.h"
#include "job/print_run.h"
#include "job/server_state.h"
#include "job/sl_renderers.h"
#include "logo/logo.h"
#include "platform/receipt_drawing.h"
#include "platform/user_settings.h"
#include "preview/escpos_decoder.h"
#include "printer/memory_transport.h"
#include "sl/render.h"

namespace dovevid::app {

namespace {

constexpr char kUsage[] =
    "usage: dovevid preview FILE [--png OUT.png] [--paper-width DOTS]\n"
    "                            [--set NAME=VALUE ...] [--now YYYY-MM-DDTHH:MM:SS]\n"
    "                            [--app-dir DIR] [--data-dir DIR]\n"
    "\n"
    "Runs the print run on the job data FILE (SL records or preformatted text,\n"
    "as optInputType says) with the installation's settings, the way the server\n"
    "would send it to the printer, and shows the whole receipt: header lines,\n"
    "logo, date lines, body, footer, feeds and cut.\n"
    "  - without --png: the bytes decoded as text, one line per printed line\n"
    "    ([L] [C] [R] justification, DW DH sizes) and per command in <...>, as\n"
    "    'dovevid-vprinter decode' shows them;\n"
    "  - with --png OUT.png: drawn as the paper would look, one pixel a dot.\n"
    "The logo is the one last converted (NVImageFile.BIN in the application\n"
    "directory), as if it were stored in the printer.\n"
    "\n"
    "Nothing is written where a server looks: the run writes into a temporary\n"
    "data directory. Operator messages go to standard error.\n"
    "\n"
    "options:\n"
    "  --png OUT.png       draw the receipt into OUT.png\n"
    "  --paper-width DOTS  width of the drawing (default 512, or PaperWidthDots\n"
    "                      in group [Logo] of ~/.config/Quenbridge/QNBKORV1.conf)\n"
    "  --set, --now, --app-dir, --data-dir  as for 'dovevid render'\n"
    "\n"
    "Exit status: 0 shown, 1 the print run failed (what it sent is still\n"
    "shown), 2 bad usage.\n";

int Usage(const std::string& error) {
  std::cerr << "dovevid preview: " << error << "\n\n" << kUsage;
  return 2;
}

// The print run against a printer in memory; *bytes gets what it sent.
job::RunResult RunPrint(Env& env, OfflineSetup& setup, const std::string& data_path,
                        std::string* bytes) {
  const config::Directories& dirs = setup.dirs;
  config::Settings& settings = setup.settings;
  TraceLog trace(env, [&] { return settings.Option(config::kTraceEnable); },
                 [&] { return dirs.data_dir; });
  CommandOperator op("message: ");
  printer::MemorySerialPort port;
  printer::NoSpooler spooler;
  printer::NoStatusMonitor monitor;
  printer::PrinterChannel channel(env, op, settings, port, spooler, monitor);
  job::ServerState state;
  job::JobFiles files(env, trace, op, dirs, settings);
  sl::NoCustomerDisplay display;
  job::SlRenderers renderers(env, dirs, settings, trace, op, display);
  job::PrintRun run({env, trace, op, dirs, settings, state, files, channel, renderers});
  const job::RunResult result = run.DoSendFile(data_path);
  *bytes = port.printed();
  return result;
}

// The pictures the printer would hold: the converted logo, as an NV graphic
// and as the downloaded bit image.
void StoreLogo(Env& env, const std::string& app_dir, preview::EscPosDecoder* decoder) {
  std::string nv;
  if (!env.ReadFile(JoinPath(app_dir, logo::kNvFileName), &nv).ok()) return;
  preview::EscPosDecoder definitions;
  definitions.Feed(nv);
  decoder->memory() = definitions.memory();
  if (const auto it = decoder->memory().nv.find("  "); it != decoder->memory().nv.end()) {
    decoder->memory().downloaded = it->second;
  }
}

}  // namespace

int RunPreviewCommand(int argc, char** argv, const std::vector<std::string>& args) {
  JobArguments a;
  if (auto error = ParseJobArguments(args, {"--png", "--paper-width"}, &a)) return Usage(*error);
  if (a.help) {
    std::cout << kUsage;
    return 0;
  }
  if (!a.file) return Usage("FILE is missing");
  int paper = platform::ReadLogoPaperWidth().value_or(logo::kDefaultPaperWidthDots);
  if (const auto it = a.values.find("--paper-width"); it != a.values.end()) {
    const auto [end, ec] = std::from_chars(it->second.data(), it->second.data() + it->second.size(), paper);
    if (ec != std::errc() || end != it->second.data() + it->second.size() || paper <= 0) {
      return Usage("--paper-width takes a number of dots");
    }
  }
  const auto png = a.values.find("--png");
  std::unique_ptr<QCoreApplication> qt;
  if (png != a.values.end()) platform::PreferOffscreenPlatform();
  if (png != a.values.end()) {
    qt = std::make_unique<QGuiApplication>(argc, argv);
  } else {
    qt = std::make_unique<QCoreApplication>(argc, argv);
  }

  FixedClockEnv env(a.now);
  OfflineSetup setup;
  if (auto failed = PrepareOffline(env, a, true, Usage, &setup)) return *failed;
  if (!env.FileExists(*a.file)) {
    std::cerr << "dovevid preview: " << *a.file << ": File not found\n";
    return 1;
  }
  // A reprint request prints the installation's last rendered lines.
  const std::string rendered = JoinPath(setup.installed_data_dir, sl::kRenderedLinesFileName);
  if (env.FileExists(rendered)) (void)env.CopyFile(rendered, sl::RenderedLinesPath(setup.dirs));

  std::string bytes;
  const job::RunResult result = RunPrint(env, setup, *a.file, &bytes);
  preview::EscPosDecoder decoder;
  StoreLogo(env, setup.dirs.app_dir, &decoder);
  if (png == a.values.end()) {
    std::cout << decoder.Feed(bytes) << decoder.Finish();
  } else {
    decoder.EnablePage();
    decoder.Feed(bytes);
    decoder.Finish();
    if (Status s = platform::DrawReceiptPng(decoder.page(), paper, png->second); !s.ok()) {
      std::cerr << "dovevid preview: " << s.description() << '\n';
      return 1;
    }
  }
  if (result == job::kRunSent) return 0;
  std::cerr << "dovevid preview: the print run did not complete (result "
            << static_cast<int>(result) << ")\n";
  return 1;
}

}  // namespace dovevid::app
