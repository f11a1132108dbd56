// Runs the built `dovevid settings` on real temporary directories.
#include <gtest/gtest.h>

#include "base/text.h"
#include "temp_dir.h"

namespace dovevid {
namespace {

using testing::ReadFileOrEmpty;
using testing::RunProgram;
using testing::TempDir;

class SettingsCommandTest : public ::testing::Test {
 protected:
  testing::RunResult Settings(std::vector<std::string> args) {
    args.insert(args.begin(), "settings");
    args.push_back("--app-dir");
    args.push_back(app_.path());
    args.push_back("--data-dir");
    args.push_back(data_.path());
    return RunProgram(DOVEVID_BIN, args);
  }
  std::string Value(const std::string& listing, const std::string& name) {
    for (const std::string& line : SplitAnyLineEnd(listing)) {
      if (line.rfind(name + "=", 0) == 0) return line.substr(name.size() + 1);
    }
    return "<absent>";
  }

  TempDir app_;
  TempDir data_;
};

TEST_F(SettingsCommandTest, ShowsDefaultsOfAFreshInstallationWithoutWriting) {
  const auto r = Settings({});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Value(r.out, "cboComPort"), "<none>");
  EXPECT_EQ(Value(r.out, "cboBaudRate"), "9600");
  EXPECT_EQ(Value(r.out, "cboRowLength"), "32");
  EXPECT_EQ(Value(r.out, "chkOptions(9)"), "1");
  EXPECT_EQ(Value(r.out, "txtWords(25)"), "SCONTO SU ART.");
  EXPECT_EQ(Value(r.out, "txtTimerVal"), "1");
  EXPECT_EQ(ReadFileOrEmpty(app_ / "KV2EPcfg.txt"), "");
  EXPECT_EQ(ReadFileOrEmpty(data_ / "KVTIMER1.TXT"), "");
}

TEST_F(SettingsCommandTest, SetSavesAndTheNextListingShowsIt) {
  auto r = Settings({"set", "cboComPort=1", "cboBaudRate=19200", "txtHeader(0)=BAR ROMA, VIA PO 3",
                     "chkOptions(11)=1", "txtWords(9)=", "txtTimerVal=250", "ListPrinters=RS232_PRINTER"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::string cfg = ReadFileOrEmpty(app_ / "KV2EPcfg.txt");
  EXPECT_EQ(cfg.substr(0, 10), " 0 \r\n 3 \r\n");
  EXPECT_EQ(SplitCrLf(cfg).size(), 88u);
  EXPECT_EQ(ReadFileOrEmpty(data_ / "KVTIMER1.TXT"), "250\r\n");

  r = Settings({});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Value(r.out, "cboComPort"), "1");
  EXPECT_EQ(Value(r.out, "cboBaudRate"), "19200");
  EXPECT_EQ(Value(r.out, "txtHeader(0)"), "BAR ROMA, VIA PO 3");
  EXPECT_EQ(Value(r.out, "chkOptions(11)"), "1");
  EXPECT_EQ(Value(r.out, "txtWords(9)"), "");
  EXPECT_EQ(Value(r.out, "txtTimerVal"), "250ms");
  EXPECT_EQ(Value(r.out, "ListPrinters"), "RS232_PRINTER");
}

TEST_F(SettingsCommandTest, OneBadValueRefusesTheWholeSetAndWritesNothing) {
  const auto r = Settings({"set", "cboBaudRate=19200", "cboParity=X"});
  EXPECT_NE(r.exit_code, 0);
  EXPECT_NE(r.err.find("cboParity"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("N, O, E"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFileOrEmpty(app_ / "KV2EPcfg.txt"), "");

  EXPECT_NE(Settings({"set", "txtTimerVal=abc"}).exit_code, 0);
  EXPECT_NE(Settings({"set", "chkOptions(3)"}).exit_code, 0);
  EXPECT_EQ(ReadFileOrEmpty(app_ / "KV2EPcfg.txt"), "");
  EXPECT_EQ(ReadFileOrEmpty(data_ / "KVTIMER1.TXT"), "");
}

TEST_F(SettingsCommandTest, TextsAreStoredInWindows1252AndShownInTheTerminalsEncoding) {
  // Typed in UTF-8 (the tests run in a UTF-8 or the C locale): È and €.
  const std::string typed = "CAFF\xC3\x88 \xE2\x82\xAC";
  auto r = Settings({"set", "txtHeader(0)=" + typed});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(SplitCrLf(ReadFileOrEmpty(app_ / "KV2EPcfg.txt"))[18], "CAFF\xC8 \x80");
  EXPECT_EQ(Value(Settings({}).out, "txtHeader(0)"), typed);
  // A character outside the code page is refused.
  r = Settings({"set", "txtHeader(1)=\xE6\x97\xA5"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.err.find("Windows-1252"), std::string::npos) << r.err;
}

TEST_F(SettingsCommandTest, MissingDataDirectoryIsNamed) {
  const auto r = RunProgram(DOVEVID_BIN, {"settings", "--app-dir", app_.path(), "--data-dir",
                                          data_ / "nowhere"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("nowhere : DIR NON ESISTENTE"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace dovevid
