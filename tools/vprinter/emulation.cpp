#include "emulation.h"

namespace dovevid::vprinter {

namespace {
constexpr char kDle = 0x10, kEot = 0x04;
constexpr std::uint8_t kOnline = 0x12;  // bits 1 and 4 are always set
}  // namespace

std::string_view StateName(State s) {
  switch (s) {
    case State::kReady: return "ready";
    case State::kPaperEnd: return "paper-end";
    case State::kOffline: return "offline";
    case State::kSilent: return "silent";
  }
  return "ready";
}

std::optional<State> ParseState(std::string_view name) {
  for (State s : {State::kReady, State::kPaperEnd, State::kOffline, State::kSilent}) {
    if (name == StateName(s)) return s;
  }
  return std::nullopt;
}

std::optional<std::uint8_t> StatusResponder::Answer(std::uint8_t n) const {
  switch (state) {
    case State::kSilent: return std::nullopt;
    case State::kReady: return kOnline;
    case State::kOffline: return n == 1 ? kOnline | 0x08 : kOnline;
    // The roll paper sensor reports the end (bits 5 and 6). The printer
    // status stays on line so that a job starts and meets the paper end at
    // its first line (a real printer may also report itself off line).
    case State::kPaperEnd: return n == 4 ? kOnline | 0x60 : kOnline;
  }
  return std::nullopt;
}

StatusResponder::Result StatusResponder::Feed(std::string_view bytes) {
  Result r;
  std::string in = held_;
  in += bytes;
  held_.clear();
  std::size_t i = 0;
  while (i < in.size()) {
    if (in[i] != kDle) {
      r.data += in[i++];
      continue;
    }
    const std::size_t left = in.size() - i;
    if (left == 1 || (left == 2 && in[i + 1] == kEot)) {  // may still become a query
      held_ = in.substr(i);
      break;
    }
    const auto n = static_cast<std::uint8_t>(in[i + 2]);
    if (in[i + 1] == kEot && n >= 1 && n <= 4) {
      r.queries.append(in, i, 3);
      if (const auto a = Answer(n)) r.replies += static_cast<char>(*a);
      i += 3;
    } else {
      r.data += in[i++];
    }
  }
  return r;
}

}  // namespace dovevid::vprinter
