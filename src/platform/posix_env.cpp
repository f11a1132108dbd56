#include "platform/posix_env.h"

#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <random>
#include <thread>

namespace dovevid::platform {

namespace {

// The server's user and group may read and write what it creates; nobody else.
constexpr mode_t kFileMode = 0660;

Status NotRegular() {
  return Status::Error(fault::kPathFileAccess, "Path/File access error: not a regular file");
}

// Opens a regular file without following a symbolic link, and without
// blocking on a FIFO or taking a terminal that someone put in its place.
int OpenRegular(const std::string& path, int flags, Status* st) {
  const int fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                        kFileMode);
  if (fd < 0) {
    *st = PosixEnv::FromErrno(errno);
    return -1;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    *st = NotRegular();
    return -1;
  }
  return fd;
}

Status WriteAll(int fd, std::string_view data) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return PosixEnv::FromErrno(errno);
    }
    done += static_cast<size_t>(n);
  }
  return Status::OK();
}

// A new file beside `path` that nobody else can have prepared: O_EXCL
// refuses an existing name, a link included.
int CreateTemporary(const std::string& path, std::string* temp, Status* st) {
  static std::mt19937_64 rng{std::random_device{}()};
  const size_t slash = path.rfind('/');
  const size_t name_at = slash == std::string::npos ? 0 : slash + 1;
  for (int attempt = 0; attempt < 100; ++attempt) {
    *temp = path.substr(0, name_at) + "." + path.substr(name_at) + "." +
            std::to_string(rng() % 1000000000);
    const int fd = ::open(temp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          kFileMode);
    if (fd >= 0) return fd;
    if (errno != EEXIST) break;
  }
  *st = PosixEnv::FromErrno(errno);
  return -1;
}

}  // namespace

PosixEnv::PosixEnv(std::function<void()> pump) : pump_(std::move(pump)) {}

Status PosixEnv::FromErrno(int err) {
  switch (err) {
    case ENOENT: return Status::Error(fault::kFileNotFound, "File not found");
    case EACCES:
    case EPERM:
    case EROFS: return Status::Error(fault::kPermissionDenied, "Permission denied");
    case ENOTDIR: return Status::Error(fault::kPathNotFound, "Path not found");
    case EIO: return Status::Error(fault::kDeviceIo, "Device I/O error");
    case ENOSPC:
    case EDQUOT: return Status::Error(fault::kDiskFull, "Disk full");
    default: return Status::Error(fault::kPathFileAccess, std::string("Path/File access error: ") + std::strerror(err));
  }
}

bool PosixEnv::FileExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool PosixEnv::DirectoryExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<FileStamp> PosixEnv::Stamp(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  constexpr std::int64_t kNs = 1000000000;
  return FileStamp{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                   static_cast<std::int64_t>(st.st_size),
                   st.st_mtim.tv_sec * kNs + st.st_mtim.tv_nsec,
                   st.st_ctim.tv_sec * kNs + st.st_ctim.tv_nsec};
}

Status PosixEnv::ReadFile(const std::string& path, std::string* contents) {
  Status st;
  const int fd = OpenRegular(path, O_RDONLY, &st);
  if (fd < 0) return st;
  // Read in one go when the size is known (one byte more to see the end);
  // the loop still takes whatever the file holds by the time it is read.
  struct stat info {};
  const bool known = ::fstat(fd, &info) == 0 && info.st_size > 0 &&
                     static_cast<size_t>(info.st_size) <= kMaxFileBytes;
  std::string data(known ? static_cast<size_t>(info.st_size) + 1 : 8192, '\0');
  size_t size = 0;
  for (;;) {
    if (size == data.size()) data.resize(std::min(data.size() * 2, kMaxFileBytes + 1));
    const ssize_t n = ::read(fd, data.data() + size, data.size() - size);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      st = FromErrno(errno);
      break;
    }
    size += static_cast<size_t>(n);
    if (size > kMaxFileBytes) {
      st = Status::Error(fault::kOutOfMemory, "File too large");
      break;
    }
  }
  data.resize(size);
  ::close(fd);
  if (st.ok()) *contents = std::move(data);
  return st;
}

Status PosixEnv::WriteFile(const std::string& path, std::string_view contents) {
  Status st;
  std::string temp;
  const int fd = CreateTemporary(path, &temp, &st);
  if (fd < 0) return st;
  st = WriteAll(fd, contents);
  if (::close(fd) != 0 && st.ok()) st = FromErrno(errno);
  // The rename replaces a link at `path` itself, never what it points to.
  if (st.ok() && ::rename(temp.c_str(), path.c_str()) != 0) st = FromErrno(errno);
  if (!st.ok()) ::unlink(temp.c_str());
  return st;
}

Status PosixEnv::AppendFile(const std::string& path, std::string_view contents) {
  Status st;
  const int fd = OpenRegular(path, O_WRONLY | O_CREAT | O_APPEND, &st);
  if (fd < 0) return st;
  st = WriteAll(fd, contents);
  if (::close(fd) != 0 && st.ok()) st = FromErrno(errno);
  return st;
}

Status PosixEnv::RemoveFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) return FromErrno(errno);
  return Status::OK();
}

Status PosixEnv::CopyFile(const std::string& from, const std::string& to) {
  std::string data;
  Status st = ReadFile(from, &data);
  if (!st.ok()) return st;
  return WriteFile(to, data);
}

DateTime PosixEnv::Now() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&t, &tm);
  return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string PosixEnv::FormatLocaleDateTime(const DateTime& t) {
  // The system's short date and long time: those of its C library locale
  // (LC_ALL, LC_TIME, LANG), as every other program there shows them.
  std::tm tm{};
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.month - 1;
  tm.tm_mday = t.day;
  tm.tm_hour = t.hour;
  tm.tm_min = t.minute;
  tm.tm_sec = t.second;
  tm.tm_isdst = -1;
  const locale_t locale = ::newlocale(LC_TIME_MASK, "", locale_t{});
  char text[128];
  const size_t n = locale != locale_t{} ? ::strftime_l(text, sizeof text, "%x %X", &tm, locale)
                                        : std::strftime(text, sizeof text, "%x %X", &tm);
  if (locale != locale_t{}) ::freelocale(locale);
  return std::string(text, n);
}

std::int64_t PosixEnv::MonotonicMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void PosixEnv::SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void PosixEnv::PumpEvents() {
  if (pump_) pump_();
}

}  // namespace dovevid::platform
