// Byte I/O on non-blocking file descriptors, shared by the serial port and
// the direct printer pipes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/status.h"

namespace dovevid::platform {

// Milliseconds of a monotonic clock.
std::int64_t MonotonicNowMs();

// fault::kDeviceIo: "<what>: <strerror(err)>".
Status ErrnoStatus(const std::string& what, int err);

// Opens `path` read-write, non-blocking, and locks it for this process
// alone: a second server, or the customer display mapped onto the same
// device, must not interleave bytes with us. fault::kPortAlreadyOpen when
// another holds it.
Status OpenExclusive(const std::string& path, int* fd);

// Writes all of `bytes`, waiting for room until `deadline_ms` (on
// MonotonicNowMs()). A socket is written without raising SIGPIPE.
Status WriteUntil(int fd, std::string_view bytes, std::int64_t deadline_ms, bool socket);

// Appends what has arrived to *bytes without waiting. *end_of_file tells
// that the other end has hung up (a read returned nothing).
Status ReadAvailable(int fd, std::string* bytes, bool* end_of_file);

// Waits up to `ms` for input; true as soon as some is there.
bool PollReadable(int fd, int ms);

// Waits up to `timeout_ms` for the output queue of `fd` to empty: the
// terminal's or socket's queue (for TCP: until the peer has acknowledged
// every byte), or for a device without one, until it takes writes again.
// An error when output is still queued then.
Status DrainOutput(int fd, int timeout_ms);

}  // namespace dovevid::platform
