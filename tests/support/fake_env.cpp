#include "fake_env.h"

#include <fmt/format.h>

#include <chrono>
#include <ctime>

namespace dovevid::testing {

namespace {
Status NotFound() { return Status::Error(fault::kFileNotFound, "File not found"); }
Status TooLarge() { return Status::Error(fault::kOutOfMemory, "File too large"); }
}  // namespace

FakeEnv::FakeEnv() { SetNow(DateTime{2026, 3, 7, 9, 5, 12}); }

Status FakeEnv::Injected(Op op, const std::string& path) {
  for (Fault& f : faults_) {
    if (f.op == op && f.path == path && f.times > 0) {
      --f.times;
      return f.status;
    }
  }
  return Status::OK();
}

Status FakeEnv::Contents(const std::string& path, std::string* contents) const {
  const auto it = files_.find(path);
  if (it == files_.end()) return NotFound();
  if (it->second.size() > kMaxFileBytes) return TooLarge();
  *contents = it->second;
  return Status::OK();
}

std::optional<FileStamp> FakeEnv::Stamp(const std::string& path) {
  if (!HasFile(path)) return std::nullopt;
  const std::int64_t version = versions_[path];
  return FileStamp{0, 0, static_cast<std::int64_t>(files_[path].size()), version, version};
}

Status FakeEnv::ReadFile(const std::string& path, std::string* contents) {
  if (Status st = Injected(Op::kRead, path); !st.ok()) return st;
  return Contents(path, contents);
}

Status FakeEnv::WriteFile(const std::string& path, std::string_view contents) {
  if (Status st = Injected(Op::kWrite, path); !st.ok()) return st;
  SetFile(path, std::string(contents));
  return Status::OK();
}

Status FakeEnv::AppendFile(const std::string& path, std::string_view contents) {
  if (Status st = Injected(Op::kAppend, path); !st.ok()) return st;
  files_[path] += contents;
  Touch(path);
  return Status::OK();
}

Status FakeEnv::RemoveFile(const std::string& path) {
  if (Status st = Injected(Op::kRemove, path); !st.ok()) return st;
  if (files_.erase(path) == 0) return NotFound();
  return Status::OK();
}

Status FakeEnv::CopyFile(const std::string& from, const std::string& to) {
  std::string contents;
  Status st = Injected(Op::kCopy, from);
  if (st.ok()) st = Contents(from, &contents);
  if (st.ok()) SetFile(to, std::move(contents));
  return st;
}

void FakeEnv::SetNow(const DateTime& t) {
  using namespace std::chrono;
  const auto d = sys_days{year{t.year} / t.month / t.day}.time_since_epoch();
  wall_ms_ = milliseconds(d + hours{t.hour} + minutes{t.minute} + seconds{t.second}).count();
}

DateTime FakeEnv::Now() {
  const std::time_t secs = wall_ms_ / 1000;
  std::tm tm{};
  ::gmtime_r(&secs, &tm);
  return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string FakeEnv::FormatLocaleDateTime(const DateTime& t) {
  return fmt::format("{:02}/{:02}/{:04} {:02}:{:02}:{:02}", t.day, t.month, t.year, t.hour,
                     t.minute, t.second);
}

}  // namespace dovevid::testing
