// Keeps every operator message, in order, for a test to check.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/operator.h"

namespace dovevid::testing {

class RecordingOperator : public Operator {
 public:
  void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
  std::vector<std::string> messages;
};

}  // namespace dovevid::testing
