// The serial line from the host to the printer and the printer's receive
// buffer, in time: bytes arrive no faster than the line's speed allows, and
// with a print speed the buffer empties one printed line at a time, so a
// full buffer holds the line up. A pseudo terminal or a socket alone passes
// bytes at memory speed; this model gives them the time a real wire takes.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace dovevid::vprinter {

class WireModel {
 public:
  // `baud` 0: no time on the wire. `bits_per_byte`: start, data, parity
  // and stop bits (10 for 8N1). `lines_per_second` 0: printed at once.
  void SetLine(double baud, double bits_per_byte);
  void SetPrinter(double lines_per_second, std::size_t buffer_bytes);

  // Seconds one byte takes on the wire (0 without a speed).
  double ByteTime() const;
  // Bytes the host has written, taken at time `now` (seconds).
  void Send(std::string_view bytes, double now);
  // The bytes that have arrived by `now`, each handed out once, in order.
  std::string Arrive(double now);
  // When Arrive may next hand out a byte; nothing while no byte waits.
  std::optional<double> NextArrival() const;
  // Bytes still on the host's side of the wire.
  std::size_t queued() const { return queue_.size() - head_; }

 private:
  struct Line {
    double printed_at;
    std::size_t bytes;
  };
  void Printed();  // the first buffered line has been printed
  bool BufferFull() const;

  double byte_time_ = 0;
  double line_time_ = 0;
  std::size_t buffer_bytes_ = 4096;
  std::string queue_;
  std::size_t head_ = 0;    // the first byte of queue_ not yet arrived
  double wire_free_ = 0;    // when the last byte handed out had arrived
  std::deque<Line> lines_;  // received, not yet printed
  std::size_t buffered_ = 0;
  std::size_t partial_ = 0;  // bytes of the line being received
  double last_printed_ = 0;
};

}  // namespace dovevid::vprinter
