// An in-memory Env for unit tests: files in a map, a clock that only moves
// when the code under test sleeps (or the test advances it), and faults that
// a test can inject per operation and path.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/env.h"

namespace dovevid::testing {

class FakeEnv : public Env {
 public:
  enum class Op { kRead, kWrite, kAppend, kRemove, kCopy };

  FakeEnv();

  void AddDirectory(const std::string& path) { dirs_.insert(path); }
  void SetFile(const std::string& path, std::string contents) {
    files_[path] = std::move(contents);
    Touch(path);
  }
  bool HasFile(const std::string& path) const { return files_.count(path) != 0; }
  // The contents, or "<missing>" so a failed expectation reads clearly.
  std::string File(const std::string& path) const {
    return HasFile(path) ? files_.at(path) : "<missing>";
  }
  const std::map<std::string, std::string>& files() const { return files_; }

  // Makes the next `times` calls of `op` on `path` fail with `status` (an error).
  void FailNext(Op op, const std::string& path, int times, Status status) {
    faults_.push_back({op, path, times, std::move(status)});
  }
  void SetNow(const DateTime& t);
  void AdvanceMs(std::int64_t ms) {
    wall_ms_ += ms;
    monotonic_ms_ += ms;
  }
  // Called by PumpEvents: lets a test act "while the system waits".
  void OnPump(std::function<void()> hook) { pump_hook_ = std::move(hook); }
  std::int64_t slept_ms() const { return slept_ms_; }
  int pump_count() const { return pump_count_; }

  bool FileExists(const std::string& path) override { return HasFile(path); }
  bool DirectoryExists(const std::string& path) override { return dirs_.count(path) != 0; }
  // Every write makes a new version, however fast they follow each other.
  std::optional<FileStamp> Stamp(const std::string& path) override;
  Status ReadFile(const std::string& path, std::string* contents) override;
  Status WriteFile(const std::string& path, std::string_view contents) override;
  Status AppendFile(const std::string& path, std::string_view contents) override;
  Status RemoveFile(const std::string& path) override;
  Status CopyFile(const std::string& from, const std::string& to) override;
  DateTime Now() override;
  std::string FormatLocaleDateTime(const DateTime& t) override;
  std::int64_t MonotonicMs() override { return monotonic_ms_; }
  void SleepMs(int ms) override {
    slept_ms_ += ms;
    AdvanceMs(ms);
  }
  void PumpEvents() override {
    ++pump_count_;
    if (pump_hook_) pump_hook_();
  }

 private:
  // The fault injected into this call, else OK.
  Status Injected(Op op, const std::string& path);
  Status Contents(const std::string& path, std::string* contents) const;
  void Touch(const std::string& path) { versions_[path] = ++last_version_; }

  struct Fault {
    Op op;
    std::string path;
    int times;
    Status status;
  };
  std::map<std::string, std::string> files_;
  std::set<std::string> dirs_;
  std::map<std::string, std::int64_t> versions_;
  std::int64_t last_version_ = 0;
  std::vector<Fault> faults_;
  std::int64_t wall_ms_ = 0;  // since 1970-01-01 00:00:00 local time
  std::int64_t monotonic_ms_ = 0;
  std::int64_t slept_ms_ = 0;
  int pump_count_ = 0;
  std::function<void()> pump_hook_;
};

// The message field of each entry of a trace log, in order.
inline std::vector<std::string> TraceMessages(const std::string& trace) {
  std::vector<std::string> messages;
  for (size_t at = 0; at < trace.size(); at = trace.find("\r\n", at) + 2) {
    messages.push_back(trace.substr(at + 4, trace.find(" | ", at) - at - 4));
  }
  return messages;
}

}  // namespace dovevid::testing
