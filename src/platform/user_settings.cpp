#include "platform/user_settings.h"

#include <pwd.h>
#include <unistd.h>

#include <charconv>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <system_error>

#include "base/text.h"
#include "config/data_dir.h"
#include "config/ini_text.h"

namespace dovevid::platform {

namespace {
// Debian gives people user ids from 1000 on; below are root and services.
constexpr uid_t kFirstPersonUid = 1000;

bool WritableDirectory(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_directory(path, ec) &&
         ::access(path.c_str(), W_OK | X_OK) == 0;
}

std::string HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  const passwd* pw = ::getpwuid(::getuid());
  return pw != nullptr && pw->pw_dir != nullptr ? pw->pw_dir : "";
}

std::string Canonical(const char* dir) {
  std::error_code ec;
  const auto canonical = std::filesystem::weakly_canonical(dir, ec);
  return ec ? std::string(dir) : canonical.string();
}

std::string InstallBinDir() {
#ifdef DOVEVID_INSTALL_BINDIR
  return Canonical(DOVEVID_INSTALL_BINDIR);
#else
  return "";
#endif
}

// The installed full program runs from its libexec directory: for the
// choice of the application directory it is the installed dovevid.
std::string ProgramDirectory() {
  const std::string dir = ExecutableDirectory();
#ifdef DOVEVID_INSTALL_PROGRAMDIR
  if (dir == Canonical(DOVEVID_INSTALL_PROGRAMDIR)) return InstallBinDir();
#endif
  return dir;
}

constexpr char kOrganization[] = "Quenbridge";
constexpr char kApplication[] = "QNBKORV1";

// Colon-separated directories; `fallback` when the variable is unset or empty.
std::vector<std::string> SearchPath(const char* variable, const std::string& fallback) {
  std::vector<std::string> dirs;
  const char* value = std::getenv(variable);
  std::stringstream list(value != nullptr && *value != '\0' ? value : fallback);
  for (std::string dir; std::getline(list, dir, ':');) {
    if (!dir.empty()) dirs.push_back(dir);
  }
  return dirs;
}

// The settings files in the order Qt's settings search them: the user's
// application file, the user's organisation file, then the application and
// the organisation files of every system directory. The first that has a
// key gives its value.
std::vector<config::IniText> Store() {
  const std::vector<std::string> user = SearchPath("XDG_CONFIG_HOME", HomeDirectory() + "/.config");
  const std::vector<std::string> system = SearchPath("XDG_CONFIG_DIRS", "/etc/xdg");
  const std::string app_file = std::string("/") + kOrganization + "/" + kApplication + ".conf";
  const std::string org_file = std::string("/") + kOrganization + ".conf";
  std::vector<std::string> paths;
  if (!user.empty()) paths = {user.front() + app_file, user.front() + org_file};
  for (const std::string& dir : system) paths.push_back(dir + app_file);
  for (const std::string& dir : system) paths.push_back(dir + org_file);
  std::vector<config::IniText> files;
  for (const std::string& path : paths) {
    std::ifstream in(path, std::ios::binary);
    if (!in) continue;  // a missing file has no say
    files.push_back(config::IniText::Parse(std::string(std::istreambuf_iterator<char>(in), {})));
  }
  return files;
}

std::optional<std::string> StoredValue(const std::vector<config::IniText>& store,
                                       std::string_view group, std::string_view key) {
  for (const config::IniText& file : store) {
    if (auto value = file.Value(group, key)) return value;
  }
  return std::nullopt;
}

// The group's keys in all files, in byte order.
std::set<std::string> StoredKeys(const std::vector<config::IniText>& store,
                                 std::string_view group) {
  std::set<std::string> keys;
  for (const config::IniText& file : store) {
    for (std::string& key : file.Keys(group)) keys.insert(std::move(key));
  }
  return keys;
}
}  // namespace

std::string ReadCustomPathDataDir() {
  return StoredValue(Store(), "", "CustomPathDataDir").value_or("");
}

std::map<int, std::string> ReadComPortOverrides() {
  std::map<int, std::string> ports;
  const std::vector<config::IniText> store = Store();
  for (const std::string& key : StoredKeys(store, "ComPorts")) {
    if (key.size() < 4 || ToUpper1252(key.substr(0, 3)) != "COM") continue;
    int n = 0;
    const auto [end, error] = std::from_chars(key.data() + 3, key.data() + key.size(), n);
    if (error == std::errc() && end == key.data() + key.size() && n > 0) {
      ports[n] = *StoredValue(store, "ComPorts", key);
    }
  }
  return ports;
}

std::vector<std::pair<std::string, std::string>> ReadPrinterEntries() {
  std::vector<std::pair<std::string, std::string>> printers;
  const std::vector<config::IniText> store = Store();
  for (const std::string& key : StoredKeys(store, "Printers")) {
    printers.emplace_back(key, *StoredValue(store, "Printers", key));
  }
  return printers;
}

std::optional<int> ReadLogoPaperWidth() {
  const std::string text = StoredValue(Store(), "Logo", "PaperWidthDots").value_or("");
  int dots = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), dots);
  if (error != std::errc() || end != text.data() + text.size() || dots <= 0) return std::nullopt;
  return dots;
}

std::string ExecutableDirectory() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string path(buf, static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string ApplicationDirectory() {
  config::AppDirInputs in;
  in.executable_dir = ProgramDirectory();
  in.executable_dir_writable = WritableDirectory(in.executable_dir);
  in.install_bindir = InstallBinDir();
  in.system_account = ::getuid() < kFirstPersonUid;
  if (const char* state = std::getenv("XDG_STATE_HOME")) in.xdg_state_home = state;
  if (const std::string home = HomeDirectory(); WritableDirectory(home)) in.home = home;
  in.common_app_data = CommonAppDataFolder();
  const config::AppDirChoice choice = config::ChooseApplicationDirectory(in);
  if (choice.create) {
    // A failure shows later, where the settings are written.
    std::error_code ec;
    std::filesystem::create_directories(choice.dir, ec);
  }
  return choice.dir;
}

std::string CommonAppDataFolder() { return "/var/lib"; }

bool IsOsVista() { return true; }

}  // namespace dovevid::platform
