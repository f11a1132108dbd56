#include "app/settings_command.h"

#include <iostream>

#include "app/options.h"
#include "app/remote.h"
#include "app/terminal_text.h"
#include "base/text.h"
#include "config/schema.h"

namespace dovevid::app {

namespace {

constexpr char kUsage[] =
    "usage: dovevid settings [--describe] [--app-dir DIR] [--data-dir DIR]\n"
    "       dovevid settings set NAME=VALUE ... [--app-dir DIR] [--data-dir DIR]\n"
    "\n"
    "Without 'set', prints every setting as NAME=VALUE: lists by item text\n"
    "(<none> when nothing is selected), check boxes as 1 or 0, texts as stored;\n"
    "--describe adds each setting's caption and tool tip in the settings\n"
    "window and the values it takes.\n"
    "With 'set', checks every value against its list or type; when all are\n"
    "accepted it saves KV2EPcfg.txt (application directory) and KV2EPcfg2.txt\n"
    "(data directory); when one is refused nothing is written.\n"
    "Texts are typed and shown in the terminal's encoding and stored in\n"
    "Windows-1252, the code page of the files; other characters are refused.\n"
    "txtTimerVal takes seconds (below 100, at most 60) or milliseconds\n"
    "(100 to 60000) and is saved to KVTIMER1.TXT.\n"
    "ListPrinters takes a printer name: RS232_PRINTER, a CUPS queue, or a direct\n"
    "printer of [Printers] in QNBKORV1.conf or of --printer (give the server the\n"
    "same --printer, or the selection is dropped when it saves).\n"
    "\n"
    "With a server running on the data directory, both go through it: the\n"
    "listing shows the values it works with, and a change applies to its next\n"
    "job at once (as in the settings window) and is saved.\n"
    "\n"
    "Exit status: 0 done, 1 the data directory is missing or a file could not\n"
    "be written, 2 bad usage or a refused value.\n";

// The listing with what the settings window says of each setting.
std::string Describe(const std::string& listing) {
  std::vector<std::pair<std::string, std::string>> values;
  config::Settings settings;  // for the limits that follow other settings
  for (const std::string& line : SplitAnyLineEnd(listing)) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    values.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    if (values.back().first == "cboRowLength") (void)config::SetSetting(settings, "cboRowLength", values.back().second);
  }
  std::string out;
  for (const auto& [name, value] : values) {
    out += name + "=" + value + "\n";
    if (const auto d = config::DescribeSetting(settings, name)) {
      out += "    caption: " + (d->caption.empty() ? "-" : d->caption) + "\n";
      if (!d->tool_tip.empty()) out += "    tip:     " + d->tool_tip + "\n";
      out += "    takes:   " + d->allowed + "\n";
    }
  }
  return out;
}

}  // namespace

int RunSettingsCommand(const std::vector<std::string>& args) {
  CommonOptions common;
  std::vector<std::string> rest;
  std::string error;
  if (!TakeCommonOptions(args, &common, &rest, &error)) {
    std::cerr << "dovevid settings: " << error << '\n' << kUsage;
    return 2;
  }
  bool describe = false;
  for (auto it = rest.begin(); it != rest.end();) {
    if (*it == "--help" || *it == "-h") {
      std::cout << kUsage;
      return 0;
    }
    describe = describe || *it == "--describe";
    it = *it == "--describe" ? rest.erase(it) : it + 1;
  }
  const bool set = !rest.empty() && rest[0] == "set";
  if ((!set && !rest.empty()) || (set && rest.size() < 2)) {
    std::cerr << kUsage;
    return 2;
  }

  // The files hold Windows-1252: what is typed is stored in it, and what is
  // stored is shown in the terminal's encoding.
  for (size_t i = 1; set && i < rest.size(); ++i) {
    const auto stored = TerminalToWindows1252(rest[i]);
    if (!stored) {
      std::cerr << "dovevid settings: " << rest[i]
                << ": a character cannot be stored (the files hold Windows-1252 text)\n";
      return 2;
    }
    rest[i] = *stored;
  }

  // A listing only reads: it needs no lock when no server runs.
  RequestOptions options;
  options.exclusive = set;
  rest.insert(rest.begin(), "settings");
  RequestResult result = SendRequest(common, rest, options);
  if (describe && !set && result.reply.exit_code == 0) result.reply.out = Describe(result.reply.out);
  result.reply.out = Windows1252ToTerminal(result.reply.out);
  result.reply.err = Windows1252ToTerminal(result.reply.err);
  return PrintReply(result);
}

}  // namespace dovevid::app
