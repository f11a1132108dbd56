#include "platform/user_settings.h"

#include <pwd.h>
#include <unistd.h>

#include <QSettings>
#include <QString>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "config/data_dir.h"

namespace dovevid::platform {

namespace {
QSettings Store() { return QSettings(QStringLiteral("Quenbridge"), QStringLiteral("QNBKORV1")); }

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
}  // namespace

std::string ReadCustomPathDataDir() {
  return Store().value(QStringLiteral("CustomPathDataDir")).toString().toStdString();
}

std::map<int, std::string> ReadComPortOverrides() {
  std::map<int, std::string> ports;
  QSettings store = Store();
  store.beginGroup(QStringLiteral("ComPorts"));
  for (const QString& key : store.childKeys()) {
    if (!key.startsWith(QStringLiteral("COM"), Qt::CaseInsensitive)) continue;
    bool ok = false;
    const int n = key.mid(3).toInt(&ok);
    if (ok && n > 0) ports[n] = store.value(key).toString().toStdString();
  }
  return ports;
}

std::vector<std::pair<std::string, std::string>> ReadPrinterEntries() {
  std::vector<std::pair<std::string, std::string>> printers;
  QSettings store = Store();
  store.beginGroup(QStringLiteral("Printers"));
  for (const QString& key : store.childKeys()) {
    printers.emplace_back(key.toStdString(), store.value(key).toString().toStdString());
  }
  return printers;
}

std::optional<int> ReadLogoPaperWidth() {
  bool ok = false;
  const int dots = Store().value(QStringLiteral("Logo/PaperWidthDots")).toInt(&ok);
  if (!ok || dots <= 0) return std::nullopt;
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
