// Runs the built `dovevid settings` on real temporary directories.
#include <gtest/gtest.h>

#include "base/text.h"
#include "temp_dir.h"

namespace dovevid {
namespace {

class SettingsCommandTest : public ::testing::Test {
 protected:
  testing::RunResult Settings(std::vector<std::string> args) {
    args.insert(args.begin(), "settings");
    args.insert(args.end(), {"--app-dir", app_.path(), "--data-dir", data_.path()});
    return testing::RunProgram(DOVEVID_BIN, args);
  }

  testing::TempDir app_;
  testing::TempDir data_;
};

TEST_F(SettingsCommandTest, TextsAreStoredInWindows1252AndShownInTheTerminalsEncoding) {
  // Typed in UTF-8 (the tests run in a UTF-8 or the C locale): È and €.
  const std::string typed = "CAFF\xC3\x88 \xE2\x82\xAC";
  auto r = Settings({"set", "txtHeader(0)=" + typed});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(SplitCrLf(testing::ReadFileOrEmpty(app_ / "KV2EPcfg.txt"))[18], "CAFF\xC8 \x80");
  EXPECT_NE(Settings({}).out.find("txtHeader(0)=" + typed + "\n"), std::string::npos);
  // A character outside the code page is refused.
  r = Settings({"set", "txtHeader(1)=\xE6\x97\xA5"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.err.find("Windows-1252"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace dovevid
