#include "app/control_commands.h"

#include <fmt/format.h>

#include <iostream>
#include <map>

#include "app/remote.h"
#include "base/text.h"

namespace dovevid::app {

namespace {

constexpr char kCommonHelp[] =
    "\n"
    "Through the server serving the data directory when one runs (it carries the\n"
    "request out between jobs, never in the middle of a receipt); otherwise on\n"
    "the files and the printer port directly.\n"
    "\n"
    "  --data-dir DIR   directory of the job files\n"
    "  --app-dir DIR    directory of KV2EPcfg.txt\n"
    "  --com N=PATH     serial device of COM N (without a running server)\n";

struct Command {
  const char* name;
  const char* usage;      // after "usage: dovevid "
  const char* help;       // what it does, and its exit status
  std::size_t min_args;   // words after the name
  std::size_t max_args;
  RequestOptions options;
};

const Command kCommands[] = {
    {"status", "status [--json]",
     "Tells whether a server serves the data directory (pid, since when), its\n"
     "printer and transport, the printer's state (ready, paper end, offline, no\n"
     "response, port unusable, with the device and the system's reason), the\n"
     "file extension, polling interval, receipt counter, identification and the\n"
     "last job's result, and the answer file the last job could not write (the\n"
     "cash register then has no answer). --json prints one JSON object.\n"
     "\n"
     "Exit status: 0 server running and printer ready, 1 server running and\n"
     "printer not ready, 3 no server.\n",
     0, 0, {true, false, 10000}},
    {"printer", "printer init|feed|test-paper|drawer|barcode|list|kill-doc\n"
                "       dovevid printer raw CODES",
     "Maintenance of the selected printer:\n"
     "  init        initialize the printer (ESC @)\n"
     "  feed        feed paper\n"
     "  test-paper  check the paper, then feed\n"
     "  drawer      open the cash drawer\n"
     "  barcode     print the test barcodes\n"
     "  raw CODES   send decimal byte codes, e.g. 27,64 (serial printer; a CUPS\n"
     "              printer opens its drawer instead)\n"
     "  list        reload and show the printer list (* marks the selected one)\n"
     "  kill-doc    ask the CUPS printer to abandon its current document\n"
     "\n"
     "Exit status: 0 done, 1 failed, 2 bad usage.\n",
     1, 2, {}},
    {"reprint", "reprint",
     "Prints the last job again from its saved copy (COPIA.TMP); the job files\n"
     "are not touched.\n"
     "\n"
     "Exit status: 0 printed, 1 failed or \"Function not available\" (no job yet).\n",
     0, 0, {}},
    {"counter", "counter [N]",
     "Shows the receipt counter, or sets it to N (saved at once). The next\n"
     "receipt counted is N+1.\n"
     "\n"
     "Exit status: 0 done, 2 N is not a number (the counter stays as it is).\n",
     0, 1, {}},
    {"timer", "timer VALUE",
     "Sets the polling interval as the \"Set timer\" button does: below 100 it\n"
     "is seconds (at most 60), from 100 to 60000 milliseconds; saved in\n"
     "KVTIMER1.TXT.\n"
     "\n"
     "Exit status: 0 done, 1 refused (\"Valore non ammesso\": 1 s is used).\n",
     1, 1, {}},
    {"test-receipt", "test-receipt",
     "Queues the test receipt (\"PROVA DI STAMPA\") on the running server, as the\n"
     "test button does; the answer comes in SR_OUT or SR_ERR.\n"
     "\n"
     "Exit status: 0 queued, 1 refused (printer port not usable), 3 no server.\n",
     0, 0, {true, true, 600000}},
};

const Command* Find(const std::string& name) {
  for (const Command& c : kCommands) {
    if (name == c.name) return &c;
  }
  return nullptr;
}

std::string Usage(const Command& c) {
  return fmt::format("usage: dovevid {} [--data-dir DIR] [--app-dir DIR]\n\n{}{}", c.usage, c.help,
                     kCommonHelp);
}

std::map<std::string, std::string> StatusFields(const std::string& out) {
  std::map<std::string, std::string> fields;
  for (const std::string& line : SplitAnyLineEnd(out)) {
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos) fields[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return fields;
}

std::string JsonString(std::string_view s) {
  std::string out = "\"";
  for (const char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      out += fmt::format("\\u{:04x}", static_cast<unsigned char>(c));
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string StatusJson(const std::string& out) {
  std::string json = "{";
  for (const std::string& line : SplitAnyLineEnd(out)) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    const std::string value = line.substr(eq + 1);
    const bool number = (key == "pid" || key == "polling_ms" || key == "receipt_counter") &&
                        IsNumeric(value);
    json += (json.size() > 1 ? ", " : "") + JsonString(key) + ": " +
            (number ? value : JsonString(value));
  }
  return json + "}\n";
}

std::string StatusText(const std::string& out) {
  auto f = StatusFields(out);
  std::string state = f["state"];
  if (!f["reason"].empty()) state += " (" + f["reason"] + ")";
  std::string text = fmt::format(
      "server:          running (pid {}, since {})\n"
      "data directory:  {}\n"
      "printer:         {} ({}, {})\n"
      "printer state:   {}\n"
      "job:             {}\n"
      "file extension:  {}\n"
      "polling:         every {} ms\n"
      "receipt counter: {}\n"
      "identification:  {}\n",
      f["pid"], f["since"], f["data_dir"], f["printer"], f["transport"],
      f["device"].empty() ? "no device" : f["device"], state, f["job"], f["extension"],
      f["polling_ms"], f["receipt_counter"],
      f["identification"].empty() ? "(not yet published)" : f["identification"]);
  text += "last job:        " +
          (f["last_job"].empty() ? "none yet" : f["last_job"] + " at " + f["last_job_time"]) +
          "\n";
  // The cash register got no answer: what the operator must look at first.
  if (!f["answer_not_written"].empty()) {
    text += "answer:          NOT WRITTEN, " + f["answer_not_written"] + "\n";
  }
  return text;
}

int Status(const CommonOptions& common, bool json, const RequestOptions& options) {
  const RequestResult r = SendRequest(common, {"status"}, options);
  if (r.route == RequestRoute::kNoServer) {
    std::cout << (json ? "{\"server\": \"not running\", \"data_dir\": " + JsonString(r.data_dir) +
                             "}\n"
                       : "server:          not running on " + r.data_dir + "\n");
    return 3;
  }
  if (r.route != RequestRoute::kServer) return PrintReply(r);
  std::cout << (json ? StatusJson(r.reply.out) : StatusText(r.reply.out));
  std::cerr << r.reply.err;
  return r.reply.exit_code;
}

}  // namespace

bool IsControlCommand(const std::string& name) { return Find(name) != nullptr; }

int RunControlCommand(const std::vector<std::string>& args) {
  const Command& c = *Find(args[0]);
  CommonOptions common;
  std::vector<std::string> rest;
  std::string error;
  if (!TakeCommonOptions({args.begin() + 1, args.end()}, &common, &rest, &error)) {
    std::cerr << "dovevid " << c.name << ": " << error << '\n' << Usage(c);
    return 2;
  }
  bool json = false;
  std::vector<std::string> request = {c.name};
  for (const std::string& a : rest) {
    if (a == "--help" || a == "-h") {
      std::cout << Usage(c);
      return 0;
    }
    if (a == "--json" && std::string(c.name) == "status") {
      json = true;
    } else {
      request.push_back(a);
    }
  }
  const std::size_t words = request.size() - 1;
  if (words < c.min_args || words > c.max_args) {
    std::cerr << Usage(c);
    return 2;
  }
  if (std::string(c.name) == "status") return Status(common, json, c.options);
  const RequestResult r = SendRequest(common, request, c.options);
  if (r.route == RequestRoute::kNoServer) {
    std::cerr << "dovevid " << c.name << ": no server is serving " << r.data_dir
              << " (start one with 'dovevid --headless')\n";
    return 3;
  }
  return PrintReply(r);
}

}  // namespace dovevid::app
