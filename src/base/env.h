// The seam between the core and the machine: files, clocks and waiting.
// The program wires in the real one (platform/), tests a fake one, so every
// timing rule and every file fault can be exercised without sleeping or
// breaking a disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/datetime.h"
#include "base/status.h"

namespace dovevid {

// Every file the system reads (job data, settings, rendered lines) is a few
// kilobytes; ReadFile refuses anything larger, so no input can exhaust memory.
inline constexpr std::size_t kMaxFileBytes = 16 * 1024 * 1024;
// Tells one version of a file from another without reading it: which file
// it is, its size and when it was last changed.
struct FileStamp {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modified_ns = 0;
  std::int64_t changed_ns = 0;  // the inode's change time
  bool operator==(const FileStamp&) const = default;
};

class Env {
 public:
  virtual ~Env() = default;

  // Files. Every call opens and closes the file it touches; contents are
  // bytes, never re-encoded. Other users can write into the directories, so
  // only regular files count: a symbolic link or a device is never followed,
  // read or written through.
  virtual bool FileExists(const std::string& path) = 0;
  virtual bool DirectoryExists(const std::string& path) = 0;
  // Fails with fault::kOutOfMemory beyond kMaxFileBytes.
  // The stamp of a regular file; nothing when there is none to look at.
  virtual std::optional<FileStamp> Stamp(const std::string& path) = 0;
  virtual Status ReadFile(const std::string& path, std::string* contents) = 0;
  // Creates or replaces the file as a whole: a reader sees the old contents
  // or all of the new ones, never a part, also when the disk is full.
  virtual Status WriteFile(const std::string& path, std::string_view contents) = 0;
  // Creates the file when missing.
  virtual Status AppendFile(const std::string& path, std::string_view contents) = 0;
  // Fails with kFileNotFound when the file does not exist.
  virtual Status RemoveFile(const std::string& path) = 0;
  virtual Status CopyFile(const std::string& from, const std::string& to) = 0;

  // Local wall-clock time.
  virtual DateTime Now() = 0;
  // The locale's short date, one blank, its long time (LOGFILE.TXT lines).
  virtual std::string FormatLocaleDateTime(const DateTime& t) = 0;
  // A monotonic clock in milliseconds, for timeouts.
  virtual std::int64_t MonotonicMs() = 0;
  // Blocks the calling thread.
  virtual void SleepMs(int ms) = 0;
  // Lets pending window or service events run (a no-op without an event loop).
  virtual void PumpEvents() = 0;
};

// Waits about `ms` milliseconds in whole 50 ms steps (ms rounded, divided by
// 50, truncated), letting events run after each step.
void Attendi(Env& env, double ms);

// dir + separator + name. Directories are kept without a trailing separator.
std::string JoinPath(const std::string& dir, std::string_view name);

}  // namespace dovevid
