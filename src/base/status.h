// Outcome of an operation that touches the outside world (a file, a port).
// A fault carries a number and a description, the pair that the trace log and
// the operator messages print.
#pragma once

#include <string>
#include <utility>

namespace dovevid {

// Fault numbers used across the system: the numbers the trace log shows and
// support staff look up.
namespace fault {
inline constexpr int kOutOfMemory = 7;  // also: a file too large to be read
inline constexpr int kFileNotFound = 53;
inline constexpr int kDeviceIo = 57;
inline constexpr int kDiskFull = 61;
inline constexpr int kPermissionDenied = 70;
inline constexpr int kPathFileAccess = 75;
inline constexpr int kPathNotFound = 76;
inline constexpr int kPortAlreadyOpen = 8005;
inline constexpr int kInvalidPortNumber = 8002;
}  // namespace fault

class Status {
 public:
  Status() = default;
  static Status OK() { return Status(); }
  static Status Error(int number, std::string description) {
    return Status(number, std::move(description));
  }

  bool ok() const { return number_ == 0; }
  int number() const { return number_; }
  const std::string& description() const { return description_; }
  // "Disk full 61": the description, a blank and the number, as operator
  // messages show a fault ("err_End_Execution: <file> Disk full 61"); empty
  // when OK.
  std::string ToString() const {
    return ok() ? std::string() : description_ + " " + std::to_string(number_);
  }

 private:
  Status(int number, std::string description)
      : number_(number), description_(std::move(description)) {}

  int number_ = 0;
  std::string description_;
};

}  // namespace dovevid
