// The display routines over a recording link: the bytes each sends, the
// gates, and the faults that must only reach the trace log.
#include "display/customer_display.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "fake_env.h"

namespace dovevid::display {
namespace {

using Events = std::vector<std::string>;

struct FakeLink : SerialLink {
  Status Open(int port, std::string_view settings) override {
    if (refuse_open) return Status::Error(fault::kPortAlreadyOpen, "Port already open");
    events.push_back("open " + std::to_string(port) + " " + std::string(settings));
    open = true;
    return Status::OK();
  }
  bool IsOpen() const override { return open; }
  Status Write(std::string_view bytes) override {
    if (failed_writes-- > 0) return Status::Error(fault::kDeviceIo, "write: Input/output error");
    events.push_back(std::string(bytes));
    return Status::OK();
  }
  void Close() override {
    if (open) events.push_back("close");
    open = false;
  }
  Events events;
  bool open = false, refuse_open = false;
  int failed_writes = 0;
};

const std::string kClear = "\x0B\x0C", kRow2 = "\x0B\x0A";
std::string B(int n) { return std::string(static_cast<size_t>(n), ' '); }

struct Case {
  const char* what;
  std::function<void(config::Settings&, FakeLink&)> setup;
  std::function<void(SerialDisplay&, config::Settings&)> run;
  Events events;
  Events traced = {};
};

TEST(SerialDisplay, RoutinesGatesAndFaults) {
  const Case cases[] = {
      {"start", {}, [](SerialDisplay& d, auto&) { d.Start(); },
       {"open 3 9600,N,8,1", kClear, kClear + "** Buongiorno **"}},
      {"empty greeting word", [](auto& s, auto&) { s.txtWords[31].clear(); },
       [](SerialDisplay& d, auto&) { d.Bonjour(); }, {"open 3 9600,N,8,1", kClear + "*** Bonjour ***"}},
      {"empty rows are blank rows", [](auto& s, auto&) { s.display_line_length = 16; },
       [](SerialDisplay& d, auto&) { d.SendToDisplay("", "RESTO 1,00"); d.SendToDisplay("400", ""); },
       {"open 3 9600,N,8,1", kClear + B(16) + kRow2 + "RESTO 1,00", kClear + "400" + kRow2 + B(16)}},
      {"a new port, then shutdown", {},
       [](SerialDisplay& d, auto& s) { d.OpenPort(); s.display_com_port = 4; d.Reopen(); d.Shutdown(); },
       {"open 3 9600,N,8,1", "close", "open 4 9600,N,8,1", kClear, "close"}},
      {"enable box clear: the port is held, nothing is sent",
       [](auto& s, auto&) { s.chkEnableComPortDisplay = false; },
       [](SerialDisplay& d, auto&) { d.Start(); d.SendToDisplay("A", "B"); d.Shutdown(); },
       {"open 3 9600,N,8,1", "close"}},
      {"text input: nothing at all", [](auto& s, auto&) { s.optInputType = {false, true}; },
       [](SerialDisplay& d, auto&) { d.Start(); d.SendToDisplay("A", "B"); d.Shutdown(); }, {}},
      {"no display port", [](auto& s, auto&) { s.display_com_port = -1; },
       [](SerialDisplay& d, auto&) { d.Start(); d.SendToDisplay("A", "B"); },
       {}, {"AsemDisplay_ResetDisplay", "AsemDisplay_Bonjour", "AsemDisplay_SendToDisplay"}},
      {"port busy", [](auto&, auto& l) { l.refuse_open = true; },
       [](SerialDisplay& d, auto&) { d.Start(); d.Shutdown(); }, {},
       {"AsemDisplay_OpenPort", "AsemDisplay_ResetDisplay", "AsemDisplay_Bonjour",
        "AsemDisplay_ResetDisplay"}},
      {"a failed write closes, the next one opens again", [](auto&, auto& l) { l.failed_writes = 1; },
       [](SerialDisplay& d, auto&) { d.ResetDisplay(); d.ResetDisplay(); d.ProgrammaPortaSeriale(0, 9600); },
       {"open 3 9600,N,8,1", "close", "open 3 9600,N,8,1", kClear},
       {"AsemDisplay_ResetDisplay", "AsemDisplay_ProgrammaPortaSeriale"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::FakeEnv env;
    TraceLog trace(env, [] { return true; }, [] { return std::string("/d"); });
    config::Settings s;
    s.display_com_port = 3;
    s.chkEnableComPortDisplay = true;
    FakeLink link;
    if (c.setup) c.setup(s, link);
    SerialDisplay display(env, trace, s, link);
    c.run(display, s);
    EXPECT_EQ(link.events, c.events);
    Events traced;
    std::istringstream log(env.files().empty() ? "" : env.files().begin()->second);
    for (std::string line; std::getline(log, line);) traced.push_back(line.substr(4, line.find(" |") - 4));
    EXPECT_EQ(traced, c.traced);
  }
}

}  // namespace
}  // namespace dovevid::display
