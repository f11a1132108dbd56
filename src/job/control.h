// The control protocol between the running server and the commands that
// drive it: a request is a list of words (a command and its arguments, as
// typed on the command line), a reply is an exit code and the two texts the
// command prints. Both travel as one framed message:
//
//   "DOVEVID1 <count>\n" then <count> fields, each "<length>:<bytes>,"
//
// Lengths make any byte safe inside a field; the header and the bounds below
// let the server drop garbage and oversized requests before acting on them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace dovevid::job {

inline constexpr std::size_t kMaxControlMessageBytes = 64 * 1024;
inline constexpr std::size_t kMaxControlFields = 256;

std::string EncodeControlMessage(const std::vector<std::string>& fields);

enum class DecodeOutcome { kComplete, kNeedMore, kInvalid };

// Decodes one message from the start of `buffer`. kNeedMore while the
// message is still arriving; kInvalid for anything that is not a message or
// exceeds the bounds (buffered bytes included).
DecodeOutcome DecodeControlMessage(std::string_view buffer, std::vector<std::string>* fields);

// What a command run by the server prints and how it ends.
struct ControlReply {
  int exit_code = 0;
  std::string out;  // standard output
  std::string err;  // standard error
};

std::string EncodeControlReply(const ControlReply& reply);
// False when the message is not a reply.
bool DecodeControlReply(const std::vector<std::string>& fields, ControlReply* reply);

}  // namespace dovevid::job
