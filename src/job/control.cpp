#include "job/control.h"

#include <charconv>

namespace dovevid::job {

namespace {

constexpr std::string_view kMagic = "DOVEVID1 ";

// Reads a decimal number ending with `stop` at `*at`. kNeedMore when the
// buffer ends first; kInvalid on anything else but digits (at most 6).
DecodeOutcome ReadNumber(std::string_view buffer, std::size_t* at, char stop, std::size_t* n) {
  const std::size_t end = buffer.find(stop, *at);
  const std::size_t digits = (end == std::string_view::npos ? buffer.size() : end) - *at;
  if (digits > 6) return DecodeOutcome::kInvalid;
  for (std::size_t i = *at; i < *at + digits; ++i) {
    if (buffer[i] < '0' || buffer[i] > '9') return DecodeOutcome::kInvalid;
  }
  if (end == std::string_view::npos) return DecodeOutcome::kNeedMore;
  if (digits == 0) return DecodeOutcome::kInvalid;
  std::from_chars(buffer.data() + *at, buffer.data() + end, *n);
  *at = end + 1;
  return DecodeOutcome::kComplete;
}

}  // namespace

std::string EncodeControlMessage(const std::vector<std::string>& fields) {
  std::string out = std::string(kMagic) + std::to_string(fields.size()) + "\n";
  for (const std::string& f : fields) out += std::to_string(f.size()) + ":" + f + ",";
  return out;
}

DecodeOutcome DecodeControlMessage(std::string_view buffer, std::vector<std::string>* fields) {
  fields->clear();
  if (buffer.size() > kMaxControlMessageBytes) return DecodeOutcome::kInvalid;
  const std::size_t magic = std::min(buffer.size(), kMagic.size());
  if (buffer.substr(0, magic) != kMagic.substr(0, magic)) return DecodeOutcome::kInvalid;
  if (buffer.size() < kMagic.size()) return DecodeOutcome::kNeedMore;
  std::size_t at = kMagic.size();
  std::size_t count = 0;
  DecodeOutcome o = ReadNumber(buffer, &at, '\n', &count);
  if (o != DecodeOutcome::kComplete) return o;
  if (count > kMaxControlFields) return DecodeOutcome::kInvalid;
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t length = 0;
    o = ReadNumber(buffer, &at, ':', &length);
    if (o != DecodeOutcome::kComplete) return o;
    if (length > kMaxControlMessageBytes) return DecodeOutcome::kInvalid;
    if (buffer.size() < at + length + 1) return DecodeOutcome::kNeedMore;
    if (buffer[at + length] != ',') return DecodeOutcome::kInvalid;
    fields->emplace_back(buffer.substr(at, length));
    at += length + 1;
  }
  // A complete message with bytes after it is not what a client sends.
  return at == buffer.size() ? DecodeOutcome::kComplete : DecodeOutcome::kInvalid;
}

std::string EncodeControlReply(const ControlReply& reply) {
  return EncodeControlMessage({std::to_string(reply.exit_code), reply.out, reply.err});
}

bool DecodeControlReply(const std::vector<std::string>& fields, ControlReply* reply) {
  if (fields.size() != 3) return false;
  int code = 0;
  const std::string& c = fields[0];
  const auto [end, ec] = std::from_chars(c.data(), c.data() + c.size(), code);
  if (ec != std::errc() || end != c.data() + c.size()) return false;
  *reply = {code, fields[1], fields[2]};
  return true;
}

}  // namespace dovevid::job
