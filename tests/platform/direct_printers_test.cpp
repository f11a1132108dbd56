// The direct printers and the COM port mapping as configured: [Printers] and
// [ComPorts] in the user's and the system-wide settings files (real files in a
// temporary directory), then the command line; and those files read as Qt's
// settings read them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QSettings>
#include <cstdlib>
#include <filesystem>

#include "config/ini_text.h"

#include "platform/com_ports.h"
#include "platform/direct_pipe.h"
#include "temp_dir.h"

namespace dovevid::platform {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(DirectPrintersAndPorts, UserFileThenSystemFileThenCommandLine) {
  testing::TempDir dir;
  for (const char* sub : {"user/Quenbridge", "system/Quenbridge"}) {
    std::filesystem::create_directories(dir / sub);
  }
  testing::WriteFileOrDie(dir / "user/Quenbridge/QNBKORV1.conf",
                          "[Printers]\nLP=socket://10.0.0.5\nBAD=ipp://10.0.0.6\n"
                          "[ComPorts]\nCOM2=/dev/user2\n");
  testing::WriteFileOrDie(dir / "system/Quenbridge/QNBKORV1.conf",
                          "[Printers]\nLP=socket://10.0.0.9\nUSB=usb:/dev/usb/lp0\n"
                          "[ComPorts]\nCOM1=/dev/sys1\nCOM2=/dev/sys2\n");
  ::setenv("XDG_CONFIG_HOME", (dir / "user").c_str(), 1);
  ::setenv("XDG_CONFIG_DIRS", (dir / "system").c_str(), 1);

  std::vector<std::string> problems;
  std::vector<std::string> got;
  for (const printer::DirectPrinter& p :
       ConfiguredDirectPrinters({{"USB", "usb:/dev/usb/lp1"}, {"NET", "socket://h"}}, &problems)) {
    got.push_back(p.name + "=" + p.uri);
  }
  EXPECT_THAT(got, ElementsAre("LP=socket://10.0.0.5", "USB=usb:/dev/usb/lp1", "NET=socket://h"));
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_THAT(problems[0], HasSubstr("BAD=ipp://10.0.0.6"));

  // The service account has no home: its ports come from the system file.
  const ComPortMap ports = ComPortOverrides({{3, "/dev/cli3"}});
  EXPECT_EQ(ComPortDevicePath(1, ports), "/dev/sys1");
  EXPECT_EQ(ComPortDevicePath(2, ports), "/dev/user2");
  EXPECT_EQ(ComPortDevicePath(3, ports), "/dev/cli3");
}

// Files written for the versions that read them with QSettings keep their
// meaning: every key and value of these texts is read as QSettings reads it.
TEST(UserSettingsFile, ReadAsQtSettingsReadIt) {
  const char* const kTexts[] = {
      "\xEF\xBB\xBF" "CustomPathDataDir = /srv/data dir \r\n[ComPorts]\r\n\t COM3 =/dev/ttyUSB0\r\n",
      "[ Printers ]\nb=socket://b\nA=socket://a\na=usb:/x\nA=socket://again\nno equals\n",
      "k=a;comment\nq=\"  a;b \\\" \\\\ \"\ne=x\\ty\\x41 # not a comment\n[General]\ng=1\n",
      "[Logo]\nPaperWidthDots=  576 \n[Sp]\nx=\nt=a=b\nn= \"x\" \nc=\"a\"b\"c\"\n[open\nu=1\n",
  };
  testing::TempDir dir;
  for (const char* text : kTexts) {
    testing::WriteFileOrDie(dir / "t.conf", text);
    QSettings qt(QString::fromStdString(dir / "t.conf"), QSettings::IniFormat);
    const config::IniText ini = config::IniText::Parse(text);
    std::vector<std::string> ours;
    std::vector<std::string> theirs;
    for (const char* group : {"", "ComPorts", "Printers", "Logo", "Sp", "open"}) {
      for (const std::string& key : ini.Keys(group)) {
        ours.push_back(std::string(group) + "/" + key + "=" + *ini.Value(group, key));
      }
      qt.beginGroup(group);
      for (const QString& key : qt.childKeys()) {
        theirs.push_back(std::string(group) + "/" + key.toStdString() + "=" +
                         qt.value(key).toString().toStdString());
      }
      qt.endGroup();
    }
    EXPECT_EQ(ours, theirs) << text;
  }
  // Where QSettings reads a list (an empty text) or a key "#K", a path with
  // a comma and a commented-out line are taken as a person means them.
  const config::IniText ini = config::IniText::Parse("p=/srv/a,b\n#LP=socket://x\n");
  EXPECT_EQ(ini.Value("", "p"), "/srv/a,b");
  EXPECT_THAT(ini.Keys(""), ElementsAre("p"));
}

}  // namespace
}  // namespace dovevid::platform
