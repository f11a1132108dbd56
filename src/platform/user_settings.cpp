#include "platform/user_settings.h"

#include <unistd.h>

#include <QSettings>
#include <QString>
#include <climits>

namespace dovevid::platform {

namespace {
QSettings Store() { return QSettings(QStringLiteral("Quenbridge"), QStringLiteral("QNBKORV1")); }
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

std::string CommonAppDataFolder() { return "/var/lib"; }

bool IsOsVista() { return true; }

}  // namespace dovevid::platform
