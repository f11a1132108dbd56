// The real Env: files through POSIX calls (no links followed), local time from the C
// library, locale formats from Qt, events through a hook the program sets.
#pragma once

#include <functional>

#include "base/env.h"

namespace dovevid::platform {

class PosixEnv : public Env {
 public:
  // `pump` lets pending events run (QCoreApplication::processEvents in the
  // program); empty means there is no event loop.
  explicit PosixEnv(std::function<void()> pump = {});

  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  std::optional<FileStamp> Stamp(const std::string& path) override;
  Status ReadFile(const std::string& path, std::string* contents) override;
  Status WriteFile(const std::string& path, std::string_view contents) override;
  Status AppendFile(const std::string& path, std::string_view contents) override;
  Status RemoveFile(const std::string& path) override;
  Status CopyFile(const std::string& from, const std::string& to) override;
  DateTime Now() override;
  std::string FormatLocaleDateTime(const DateTime& t) override;
  std::int64_t MonotonicMs() override;
  void SleepMs(int ms) override;
  void PumpEvents() override;

  // Maps an errno value to the system's fault number and description.
  static Status FromErrno(int err);

 private:
  std::function<void()> pump_;
};

}  // namespace dovevid::platform
