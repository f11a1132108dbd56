#include "wire.h"

#include <algorithm>

namespace dovevid::vprinter {

void WireModel::SetLine(double baud, double bits_per_byte) {
  byte_time_ = baud > 0 ? bits_per_byte / baud : 0;
}

void WireModel::SetPrinter(double lines_per_second, std::size_t buffer_bytes) {
  line_time_ = lines_per_second > 0 ? 1 / lines_per_second : 0;
  buffer_bytes_ = std::max<std::size_t>(buffer_bytes, 1);
}

double WireModel::ByteTime() const { return byte_time_; }

void WireModel::Send(std::string_view bytes, double now) {
  if (head_ == queue_.size()) {
    queue_.clear();
    head_ = 0;
    wire_free_ = std::max(wire_free_, now);  // the line was idle until now
  }
  if (head_ > 65536) {
    queue_.erase(0, head_);
    head_ = 0;
  }
  queue_.append(bytes);
}

// Only complete lines hold the line up: a long run of bytes without a line
// feed (an image) must not stop the wire for ever.
bool WireModel::BufferFull() const { return buffered_ >= buffer_bytes_ && !lines_.empty(); }

void WireModel::Printed() {
  buffered_ -= lines_.front().bytes;
  lines_.pop_front();
}

std::string WireModel::Arrive(double now) {
  std::string out;
  while (head_ < queue_.size()) {
    // Lines printed before the wire got this far made room in time.
    while (!lines_.empty() && lines_.front().printed_at <= wire_free_) Printed();
    if (BufferFull()) {
      if (lines_.front().printed_at > now) break;
      wire_free_ = lines_.front().printed_at;  // the line stood still until then
      Printed();
      continue;
    }
    const double at = wire_free_ + byte_time_;
    if (at > now) break;
    wire_free_ = at;
    const char c = queue_[head_++];
    out += c;
    if (line_time_ > 0) {
      ++buffered_;
      ++partial_;
      if (c == '\n') {
        last_printed_ = std::max(at, last_printed_) + line_time_;
        lines_.push_back({last_printed_, partial_});
        partial_ = 0;
      }
    }
  }
  return out;
}

std::optional<double> WireModel::NextArrival() const {
  if (head_ == queue_.size()) return std::nullopt;
  const double from = BufferFull() ? std::max(wire_free_, lines_.front().printed_at) : wire_free_;
  return from + byte_time_;
}

}  // namespace dovevid::vprinter
