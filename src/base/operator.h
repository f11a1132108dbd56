// Messages for the person at the workstation. The window shows them without
// blocking the job cycle; the headless service writes them to standard error
// and the trace log. Raising a message never waits for an answer.
#pragma once

#include <string_view>

namespace dovevid {

class Operator {
 public:
  virtual ~Operator() = default;
  virtual void ShowMessage(std::string_view text) = 0;
};

// Drops every message; for tools that have nobody to tell.
class SilentOperator : public Operator {
 public:
  void ShowMessage(std::string_view) override {}
};

}  // namespace dovevid
