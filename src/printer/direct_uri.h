// How a printer is reached, and the URIs of the printers reached directly
// (without the spooler): raw TCP, socket://HOST[:PORT], and printer-class
// devices, usb:DEVICE (/dev/usb/lp0; any character device works the same
// way, a USB CDC printer's /dev/ttyACM0 too).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dovevid::printer {

enum class TransportKind {
  kSerial,   // the serial printer (COM port)
  kSpooler,  // a spooler (CUPS) queue
  kTcp,      // raw TCP
  kDevice,   // a printer-class character device
};

// The pseudo printer name of the serial transport in the printer list.
inline constexpr std::string_view kSerialPrinterName = "RS232_PRINTER";

// "serial", "cups", "tcp", "usb".
std::string_view TransportName(TransportKind kind);

// The port raw TCP printers listen on unless told otherwise.
inline constexpr int kRawTcpPort = 9100;

struct DirectUri {
  TransportKind kind = TransportKind::kTcp;  // kTcp or kDevice
  std::string host;                          // kTcp: name or address
  int port = kRawTcpPort;                    // kTcp
  std::string path;                          // kDevice: absolute path
};

// socket://HOST[:PORT] (an IPv6 address in brackets) or usb:/ABSOLUTE/PATH;
// nothing for anything else.
std::optional<DirectUri> ParseDirectUri(std::string_view uri);

// Why a direct printer entry NAME=URI cannot be used, or nothing when it
// can: the name must be non-empty, free of commas (the printer list splits
// entries there) and not the serial printer's; the URI must parse.
std::optional<std::string> DirectPrinterProblem(std::string_view name, std::string_view uri);

}  // namespace dovevid::printer
