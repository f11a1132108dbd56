// Connections to the CUPS scheduler shared by the spooler and the status
// monitor: each user keeps its own connection, because a document being
// streamed occupies its connection until it is finished.
#pragma once

#include <cups/cups.h>

#include <memory>
#include <string>

namespace dovevid::platform {

struct HttpCloser {
  void operator()(http_t* http) const { httpClose(http); }
};
using HttpConnection = std::unique_ptr<http_t, HttpCloser>;

// A new connection to the scheduler (cupsServer(): CUPS_SERVER, client.conf
// or the local socket). Every wait on it gives up after a few seconds, so a
// stuck scheduler cannot hang the program. Null when it cannot connect.
HttpConnection ConnectToScheduler();

// ipp://localhost/printers/NAME, the URI the scheduler knows a queue by.
std::string PrinterUri(const std::string& printer);
// /printers/NAME, the resource to post its requests to.
std::string PrinterResource(const std::string& printer);

}  // namespace dovevid::platform
