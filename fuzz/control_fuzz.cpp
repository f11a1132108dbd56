// Arbitrary bytes as a control request arriving on the server's socket: the
// decoder must stay within its bounds, what it accepts must encode back to a
// message that decodes to the same fields, and a message cut short (as it
// arrives in pieces) must ask for more, never be refused or taken early.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "job/control.h"

namespace {

using namespace dovevid::job;

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> fields;
  const DecodeOutcome outcome = DecodeControlMessage(input, &fields);
  ControlReply reply;
  (void)DecodeControlReply(fields, &reply);
  if (outcome != DecodeOutcome::kComplete) return 0;

  Check(input.size() <= kMaxControlMessageBytes && fields.size() <= kMaxControlFields);
  std::vector<std::string> again;
  Check(DecodeControlMessage(EncodeControlMessage(fields), &again) == DecodeOutcome::kComplete);
  Check(again == fields);
  for (std::size_t cut : {std::size_t{0}, input.size() / 2, input.size() - 1}) {
    Check(DecodeControlMessage(input.substr(0, cut), &again) == DecodeOutcome::kNeedMore);
  }
  return 0;
}
