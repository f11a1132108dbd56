// The virtual printer's behaviour, apart from its I/O: the state that decides
// the answers to the real-time status queries, the separation of the queries
// from the print data, and a readable decoding of the ESC/POS print data.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dovevid::vprinter {

// A Windows-1252 byte as UTF-8; empty for the five undefined bytes.
std::string Cp1252ToUtf8(unsigned char c);

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

// Streaming decoding of print data into readable lines: text lines with
// their justification ([L], [C], [R]) and size marks (DW, DH), and one line
// per feed, cut, drawer pulse, barcode, logo command or unknown command in
// angle brackets. A cut is followed by a separator line: it ends a receipt.
// Bytes 0x80..0xFF are shown as Windows-1252 characters (in UTF-8), other
// control bytes in hex.
class EscPosDecoder {
 public:
  // The complete lines these bytes finish, each ended by "\n".
  std::string Feed(std::string_view bytes);
  // Whatever is still pending: a line without LF, an incomplete command.
  std::string Finish();

 private:
  // Decodes one item at pending_[pos]; false when more bytes are needed.
  bool Step(std::size_t* pos, std::string* out);
  void FlushLine(std::string* out);
  void Event(const std::string& text, std::string* out);
  void AddText(std::string_view text);
  std::string Marks() const;

  std::string pending_;
  std::string line_;
  bool line_started_ = false;
  std::string line_marks_;
  char justify_ = 'L';
  bool esc_dh_ = false, esc_dw_ = false;  // ESC !
  bool gs_dh_ = false, gs_dw_ = false;    // GS !
  int barcode_height_ = 162, barcode_width_ = 3, barcode_hri_ = 0;
};

}  // namespace dovevid::vprinter
