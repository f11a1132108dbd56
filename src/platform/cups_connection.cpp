#include "platform/cups_connection.h"

#include <sys/socket.h>

namespace dovevid::platform {
namespace {

constexpr int kConnectTimeoutMs = 5000;
constexpr double kWaitTimeoutSeconds = 5.0;

// Returning 0 makes libcups abandon the wait instead of waiting again.
int GiveUp(http_t*, void*) { return 0; }

}  // namespace

HttpConnection ConnectToScheduler() {
  HttpConnection http(httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(),
                                   /*blocking=*/1, kConnectTimeoutMs, nullptr));
  if (http) httpSetTimeout(http.get(), kWaitTimeoutSeconds, GiveUp, nullptr);
  return http;
}

std::string PrinterUri(const std::string& printer) {
  char uri[HTTP_MAX_URI] = "";
  httpAssembleURI(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, "localhost", 0,
                  PrinterResource(printer).c_str());
  return uri;
}

std::string PrinterResource(const std::string& printer) { return "/printers/" + printer; }

}  // namespace dovevid::platform
