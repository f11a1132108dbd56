#include "platform/identification.h"

#include <sys/statvfs.h>

#include <cctype>
#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace dovevid::platform {

namespace fs = std::filesystem;

namespace {

std::string ReadFirstLine(const fs::path& p) {
  std::ifstream in(p);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
  return line;
}

bool IsVirtual(const fs::path& iface) {
  std::error_code ec;
  if (!fs::exists(iface / "device", ec)) return true;
  const std::string real = fs::canonical(iface, ec).string();
  return !ec && real.find("/devices/virtual/") != std::string::npos;
}

bool IsWireless(const fs::path& iface) {
  std::error_code ec;
  return fs::exists(iface / "wireless", ec) || fs::exists(iface / "phy80211", ec);
}

// "00:1a:2b:3c:4d:5e" as "001A2B3C4D5E", at most `max_bytes` bytes.
std::string HexAddress(const std::string& address, int max_bytes) {
  std::string out;
  std::istringstream parts(address);
  std::string part;
  for (int n = 0; n < max_bytes && std::getline(parts, part, ':'); ++n) {
    if (part.size() == 1) part = "0" + part;
    for (char& c : part) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    out += part;
  }
  return out;
}

}  // namespace

std::string GetMacText(const std::string& sys_root) {
  constexpr int kArphrdEther = 1;
  std::error_code ec;
  fs::directory_iterator it(fs::path(sys_root) / "class" / "net", ec);
  if (ec) return "";
  long best_index = LONG_MAX;
  std::string best;
  for (const fs::directory_entry& entry : it) {
    const fs::path iface = entry.path();
    if (ReadFirstLine(iface / "type") != std::to_string(kArphrdEther)) continue;
    if (IsWireless(iface) || IsVirtual(iface)) continue;
    long index = 0;
    try {
      index = std::stol(ReadFirstLine(iface / "ifindex"));
    } catch (...) {
      continue;
    }
    if (index >= best_index) continue;
    int length = 8;
    try {
      length = std::min(8, std::stoi(ReadFirstLine(iface / "addr_len")));
    } catch (...) {
    }
    best_index = index;
    best = HexAddress(ReadFirstLine(iface / "address"), length);
  }
  return best;
}

std::optional<std::int32_t> VolumeSerialNumber(const std::string& path) {
  struct statvfs st {};
  if (::statvfs(path.c_str(), &st) != 0 || st.f_fsid == 0) return std::nullopt;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(st.f_fsid & 0xFFFFFFFFu));
}

}  // namespace dovevid::platform
