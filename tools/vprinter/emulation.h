// The virtual printer's behaviour, apart from its I/O: the state that decides
// the answers to the real-time status queries and the separation of the
// queries from the print data. The decoding of the print data is shared with
// the program's previews (preview/escpos_decoder.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dovevid::vprinter {

enum class State { kReady, kPaperEnd, kOffline, kSilent };

std::string_view StateName(State s);  // "ready", "paper-end", "offline", "silent"
std::optional<State> ParseState(std::string_view name);

// Takes the received bytes in pieces as they arrive, answers DLE EOT n
// (n = 1..4) from the state, and hands out the print data without the
// queries. A query split between two pieces is still recognised.
class StatusResponder {
 public:
  struct Result {
    std::string data;     // everything received except the status queries
    std::string queries;  // the query bytes, in order (for a full capture)
    std::string replies;  // bytes to send back
  };

  State state = State::kReady;

  Result Feed(std::string_view bytes);
  // The reply byte to DLE EOT n in the current state; none when silent.
  std::optional<std::uint8_t> Answer(std::uint8_t n) const;

 private:
  std::string held_;  // the start of a possible query (DLE, or DLE EOT)
};

}  // namespace dovevid::vprinter
