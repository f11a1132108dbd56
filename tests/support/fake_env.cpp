#include "fake_env.h"

#include <fmt/format.h>

#include <chrono>

namespace dovevid::testing {

namespace {
Status NotFound() { return Status::Error(fault::kFileNotFound, "File not found"); }
Status TooLarge() { return Status::Error(fault::kOutOfMemory, "File too large"); }
}  // namespace

FakeEnv::FakeEnv() { SetNow(DateTime{2026, 3, 7, 9, 5, 12}); }

std::string FakeEnv::File(const std::string& path) const {
  auto it = files_.find(path);
  return it == files_.end() ? "<missing>" : it->second;
}

void FakeEnv::FailNext(Op op, const std::string& path, int times, Status status) {
  faults_.push_back({op, path, times, std::move(status)});
}

bool FakeEnv::Injected(Op op, const std::string& path, Status* status) {
  for (Fault& f : faults_) {
    if (f.op == op && f.path == path && f.times > 0) {
      --f.times;
      *status = f.status;
      return true;
    }
  }
  return false;
}

std::optional<FileStamp> FakeEnv::Stamp(const std::string& path) {
  const auto it = files_.find(path);
  if (it == files_.end()) return std::nullopt;
  const std::int64_t version = versions_[path];
  return FileStamp{0, 0, static_cast<std::int64_t>(it->second.size()), version, version};
}

Status FakeEnv::ReadFile(const std::string& path, std::string* contents) {
  Status st;
  if (Injected(Op::kRead, path, &st)) return st;
  auto it = files_.find(path);
  if (it == files_.end()) return NotFound();
  if (it->second.size() > kMaxFileBytes) return TooLarge();
  *contents = it->second;
  return Status::OK();
}

Status FakeEnv::WriteFile(const std::string& path, std::string_view contents) {
  Status st;
  if (Injected(Op::kWrite, path, &st)) return st;
  files_[path] = std::string(contents);
  Touch(path);
  return Status::OK();
}

Status FakeEnv::AppendFile(const std::string& path, std::string_view contents) {
  Status st;
  if (Injected(Op::kAppend, path, &st)) return st;
  files_[path] += contents;
  Touch(path);
  return Status::OK();
}

Status FakeEnv::RemoveFile(const std::string& path) {
  Status st;
  if (Injected(Op::kRemove, path, &st)) return st;
  if (files_.erase(path) == 0) return NotFound();
  return Status::OK();
}

Status FakeEnv::CopyFile(const std::string& from, const std::string& to) {
  Status st;
  if (Injected(Op::kCopy, from, &st)) return st;
  auto it = files_.find(from);
  if (it == files_.end()) return NotFound();
  if (it->second.size() > kMaxFileBytes) return TooLarge();
  files_[to] = it->second;
  Touch(to);
  return Status::OK();
}

void FakeEnv::SetNow(const DateTime& t) {
  using namespace std::chrono;
  const sys_days day = year_month_day{year{t.year}, month{static_cast<unsigned>(t.month)},
                                      std::chrono::day{static_cast<unsigned>(t.day)}};
  const auto secs = day.time_since_epoch() + hours{t.hour} + minutes{t.minute} + seconds{t.second};
  wall_ms_ = duration_cast<milliseconds>(secs).count();
}

void FakeEnv::AdvanceMs(std::int64_t ms) {
  wall_ms_ += ms;
  monotonic_ms_ += ms;
}

DateTime FakeEnv::Now() {
  using namespace std::chrono;
  const sys_time<milliseconds> tp{milliseconds{wall_ms_}};
  const sys_days day = floor<days>(tp);
  const year_month_day ymd{day};
  const hh_mm_ss hms{floor<seconds>(tp - day)};
  return DateTime{static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
                  static_cast<int>(static_cast<unsigned>(ymd.day())),
                  static_cast<int>(hms.hours().count()), static_cast<int>(hms.minutes().count()),
                  static_cast<int>(hms.seconds().count())};
}

std::string FakeEnv::FormatLocaleDateTime(const DateTime& t) {
  return fmt::format("{:02}/{:02}/{:04} {:02}:{:02}:{:02}", t.day, t.month, t.year, t.hour, t.minute,
                     t.second);
}

void FakeEnv::SleepMs(int ms) {
  slept_ms_ += ms;
  AdvanceMs(ms);
}

void FakeEnv::PumpEvents() {
  ++pump_count_;
  if (pump_hook_) pump_hook_();
}

}  // namespace dovevid::testing
