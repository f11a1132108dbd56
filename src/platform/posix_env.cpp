#include "platform/posix_env.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QLocale>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>

namespace dovevid::platform {

namespace {

// Writes all of `data` to a new or existing file opened with `flags`.
Status WriteAll(const std::string& path, std::string_view data, int flags) {
  const int fd = ::open(path.c_str(), flags | O_WRONLY | O_CLOEXEC, 0644);
  if (fd < 0) return PosixEnv::FromErrno(errno);
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      return PosixEnv::FromErrno(err);
    }
    done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0) return PosixEnv::FromErrno(errno);
  return Status::OK();
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
    default: return Status::Error(fault::kPathFileAccess, std::string("Path/File access error: ") + std::strerror(err));
  }
}

bool PosixEnv::FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
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
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return FromErrno(errno);
  // Read in one go when the size is known; the loop still takes whatever
  // the file holds by the time it is read.
  struct stat st {};
  std::string data(
      ::fstat(fd, &st) == 0 && st.st_size > 0 ? static_cast<size_t>(st.st_size) + 1 : 8192, '\0');
  size_t size = 0;
  for (;;) {
    if (size == data.size()) data.resize(data.size() * 2);
    const ssize_t n = ::read(fd, data.data() + size, data.size() - size);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      return FromErrno(err);
    }
    size += static_cast<size_t>(n);
  }
  data.resize(size);
  ::close(fd);
  *contents = std::move(data);
  return Status::OK();
}

Status PosixEnv::WriteFile(const std::string& path, std::string_view contents) {
  return WriteAll(path, contents, O_CREAT | O_TRUNC);
}

Status PosixEnv::AppendFile(const std::string& path, std::string_view contents) {
  return WriteAll(path, contents, O_CREAT | O_APPEND);
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
  const QLocale locale = QLocale::system();
  const QDate date(t.year, t.month, t.day);
  const QTime time(t.hour, t.minute, t.second);
  const QString text = locale.toString(date, QLocale::ShortFormat) + QLatin1Char(' ') +
                       locale.toString(time, QLocale::LongFormat);
  return text.toLatin1().toStdString();  // files are 8-bit text
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
