#include "printer/direct_uri.h"

#include <charconv>

namespace dovevid::printer {

namespace {

constexpr std::string_view kSocketScheme = "socket://";
constexpr std::string_view kDeviceScheme = "usb:";

std::optional<int> PortNumber(std::string_view text) {
  int port = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
  if (ec != std::errc() || end != text.data() + text.size() || port < 1 || port > 65535) {
    return std::nullopt;
  }
  return port;
}

std::optional<DirectUri> ParseSocketUri(std::string_view rest) {
  if (rest.ends_with('/')) rest.remove_suffix(1);
  DirectUri uri;
  // The port separator is the last colon, outside the brackets of an IPv6 address.
  std::size_t host_end = rest.find(':');
  if (rest.starts_with('[')) {
    const std::size_t close = rest.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    uri.host = rest.substr(1, close - 1);
    host_end = close + 1;
    if (host_end < rest.size() && rest[host_end] != ':') return std::nullopt;
  } else {
    uri.host = rest.substr(0, host_end);
  }
  if (uri.host.empty() || uri.host.find_first_of("/?# ") != std::string::npos) return std::nullopt;
  if (host_end < rest.size()) {
    const auto port = PortNumber(rest.substr(host_end + 1));
    if (!port) return std::nullopt;
    uri.port = *port;
  }
  return uri;
}

}  // namespace

std::string_view TransportName(TransportKind kind) {
  switch (kind) {
    case TransportKind::kSerial:
      return "serial";
    case TransportKind::kSpooler:
      return "cups";
    case TransportKind::kTcp:
      return "tcp";
    case TransportKind::kDevice:
      return "usb";
  }
  return "";
}

std::optional<DirectUri> ParseDirectUri(std::string_view uri) {
  if (uri.starts_with(kSocketScheme)) return ParseSocketUri(uri.substr(kSocketScheme.size()));
  if (!uri.starts_with(kDeviceScheme)) return std::nullopt;
  const std::string_view path = uri.substr(kDeviceScheme.size());
  // usb://MAKE/MODEL is a CUPS device URI, not a device path.
  if (!path.starts_with('/') || path.starts_with("//")) return std::nullopt;
  DirectUri device;
  device.kind = TransportKind::kDevice;
  device.path = path;
  return device;
}

std::optional<std::string> DirectPrinterProblem(std::string_view name, std::string_view uri) {
  const std::string entry = std::string(name) + "=" + std::string(uri);
  if (name.empty() || name.find(',') != std::string_view::npos || name.front() == ' ' ||
      name.back() == ' ' || name == kSerialPrinterName) {
    return entry +
           ": the printer name must be non-empty, without commas or outer blanks, "
           "and not RS232_PRINTER";
  }
  if (!ParseDirectUri(uri)) {
    return entry + ": the URI must be socket://HOST[:PORT] or usb:/PATH/OF/DEVICE";
  }
  return std::nullopt;
}

}  // namespace dovevid::printer
