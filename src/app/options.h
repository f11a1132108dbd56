// Command-line options shared by the program's commands.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/env.h"
#include "base/operator.h"
#include "config/data_dir.h"
#include "printer/transport.h"

namespace dovevid::app {

// Operator messages of a command: one line each on standard error, after
// `prefix`.
class CommandOperator : public Operator {
 public:
  explicit CommandOperator(std::string prefix) : prefix_(std::move(prefix)) {}
  void ShowMessage(std::string_view text) override;

 private:
  std::string prefix_;
};

struct CommonOptions {
  std::optional<std::string> app_dir;   // --app-dir
  std::optional<std::string> data_dir;  // --data-dir
  std::map<int, std::string> com;       // --com N=PATH
  std::vector<printer::DirectPrinter> printers;  // --printer NAME=URI
};

// Walks argv, taking the common options out; the rest stays in `rest` in
// order. False with *error set on a malformed option.
bool TakeCommonOptions(const std::vector<std::string>& args, CommonOptions* common,
                       std::vector<std::string>* rest, std::string* error);

// The directories as the server would use them: --app-dir or the
// executable's directory; --data-dir or the standard resolution with the
// user's CustomPathDataDir. Nothing, with *error, when the data directory
// does not exist.
std::optional<config::Directories> ResolveDirectories(Env& env, const CommonOptions& common,
                                                      std::string* error);

}  // namespace dovevid::app
