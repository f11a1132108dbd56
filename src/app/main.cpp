// dovevid: the receipt print server and its commands.
#include <sys/stat.h>

#include <QCoreApplication>
#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "app/control_commands.h"
#include "app/headless.h"
#include "app/logo_command.h"
#include "app/preview_command.h"
#include "app/render_command.h"
#include "app/settings_command.h"
#include "app/submit_command.h"
#include "app/window_program.h"

namespace {

constexpr char kHelp[] =
    "DovEvid1 receipt print server\n"
    "\n"
    "usage: dovevid [OPTIONS]              run the server with its window and tray icon\n"
    "       dovevid --headless [OPTIONS]   run the server without a window\n"
    "       dovevid COMMAND [OPTIONS]\n"
    "\n"
    "commands:\n"
    "  render FILE [--set N=V] [--now T]  lay an SL file out, print KV2EP.TXT\n"
    "  settings [set NAME=VALUE ...]  show or change the configuration\n"
    "  logo check|convert|load|print  the receipt logo: check, convert, store, print it\n"
    "  preview FILE [--png OUT.png]   show the whole receipt a job prints\n"
    "  submit FILE                    hand a receipt to a running server, print the answer\n"
    "  status [--json]                is a server running, is its printer ready\n"
    "  printer init|feed|test-paper|drawer|barcode|raw CODES|list|kill-doc\n"
    "                                 printer maintenance\n"
    "  reprint                        print the last job again\n"
    "  counter [N]                    show or set the receipt counter\n"
    "  timer VALUE                    set the polling interval (\"Set timer\")\n"
    "  test-receipt                   queue the test receipt on the running server\n"
    "  help, --version                this text, the program's version\n"
    "\n"
    "common options:\n"
    "  --app-dir DIR    directory of KV2EPcfg.txt and KVVALIVA.txt (default: the\n"
    "                   program's directory if writable and not installed, else\n"
    "                   /var/lib/QNBKORV1 for root and system accounts, else\n"
    "                   $XDG_STATE_HOME/dovevid or ~/.local/state/dovevid)\n"
    "  --data-dir DIR   directory of the job files (default: /var/lib/QNBKORV1, or\n"
    "                   CustomPathDataDir in ~/.config/Quenbridge/QNBKORV1.conf)\n"
    "  --com N=PATH     use PATH as serial port COM N (default /dev/ttyS{N-1})\n"
    "  --printer NAME=URI  add a direct printer to the printer list:\n"
    "                   socket://HOST[:PORT] or usb:/dev/usb/lpN\n"
    "\n"
    "Run 'dovevid COMMAND --help' for the options of one command.\n";

}  // namespace

int main(int argc, char** argv) {
  // The data directory is shared through its group (the cash register, the
  // service user, whoever runs a command): what one creates there, the others
  // must be able to rewrite and delete.
  ::umask(S_IWOTH);
  QCoreApplication::setOrganizationName(QStringLiteral("Quenbridge"));
  QCoreApplication::setApplicationName(QStringLiteral("QNBKORV1"));
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && (args[0] == "help" || args[0] == "--help" || args[0] == "-h")) {
    std::cout << kHelp;
    return 0;
  }
  if (!args.empty() && args[0] == "--version") {
    std::cout << "dovevid " << DOVEVID_VERSION << '\n';
    return 0;
  }
  if (const auto h = std::find(args.begin(), args.end(), "--headless"); h != args.end()) {
    std::vector<std::string> rest(args.begin(), h);
    rest.insert(rest.end(), h + 1, args.end());
    return dovevid::app::RunHeadless(argc, argv, rest);
  }
  // No command, maybe options: the server with its window.
  if (args.empty() || args[0].rfind("--", 0) == 0) {
    return dovevid::app::RunWindowProgram(argc, argv, args);
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  // Laying out needs no event loop, and the application object's set-up
  // (the C locale loaded among it) is a tenth of the command's start-up.
  if (args[0] == "render") return dovevid::app::RunRenderCommand(rest);
  if (args[0] == "settings") {
    QCoreApplication qt(argc, argv);
    return dovevid::app::RunSettingsCommand(rest);
  }
  if (args[0] == "logo") {
    QCoreApplication qt(argc, argv);
    return dovevid::app::RunLogoCommand(rest);
  }
  if (args[0] == "preview") return dovevid::app::RunPreviewCommand(argc, argv, rest);
  if (args[0] == "submit") {
    QCoreApplication qt(argc, argv);
    return dovevid::app::RunSubmitCommand(rest);
  }
  if (dovevid::app::IsControlCommand(args[0])) {
    QCoreApplication qt(argc, argv);
    return dovevid::app::RunControlCommand(args);
  }
  std::cerr << "dovevid: unknown command '" << args[0] << "'\n\n" << kHelp;
  return 2;
}
