// The built `dovevid render` on tests/sl/data, byte for byte against hand-derived files:
// a case NAME is NAME.sl, NAME.expected and, optionally, NAME.args (one argument a line).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "temp_dir.h"

namespace dovevid::testing {
namespace {

using ::testing::HasSubstr;

std::string DataFile(const std::string& name) { return std::string(SL_DATA_DIR) + "/" + name; }

class RenderCommandTest : public ::testing::TestWithParam<std::string> {
 protected:
  RunResult Render(const std::string& file, std::vector<std::string> args = {}) {
    args.insert(args.begin(), {"render", file, "--app-dir", app_.path(), "--data-dir", data_.path(),
                               "--now", "2026-03-07T09:05:12"});
    return RunProgram(DOVEVID_PATH, args);
  }
  TempDir app_;
  TempDir data_;
};

// Receipts and invoices (an "OPFS" record selects the invoice renderer).
TEST_P(RenderCommandTest, MatchesTheExpectedBytes) {
  const std::string name = GetParam();
  std::vector<std::string> extra;
  std::ifstream args(DataFile(name + ".args"));
  for (std::string line; std::getline(args, line);) extra.push_back(line);
  const RunResult r = Render(DataFile(name + ".sl"), extra);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_THAT(r.err, ::testing::Not(HasSubstr("message:")));
  EXPECT_EQ(r.out, ReadFileOrEmpty(DataFile(name + ".expected")));
  EXPECT_EQ(ReadFileOrEmpty(data_ / "KV2EP.TXT"), r.out);
  // The VAT rates file is created with the defaults where it was missing.
  EXPECT_EQ(ReadFileOrEmpty(app_ / "KVVALIVA.txt"), "400\r\n1000\r\n1600\r\n2200\r\n0\r\n");
}

INSTANTIATE_TEST_SUITE_P(SlFiles, RenderCommandTest,
                         ::testing::Values("receipt_defaults", "receipt_closing", "receipt_control",
                                           "invoice_basic", "invoice_growth_r24"));

TEST_F(RenderCommandTest, DisplayRowsGoToStandardErrorAndAReprintReusesTheLines) {
  WriteFileOrDie(data_ / "rlpr.sl", "rlpr\r\nSALE,P100\r\n");
  EXPECT_EQ(Render(data_ / "rlpr.sl").exit_code, 1);  // nothing rendered yet
  const RunResult first = Render(DataFile("receipt_defaults.sl"));
  ASSERT_EQ(first.exit_code, 0);
  EXPECT_EQ(first.err,
            "display: [TOTALE          2,70] [                    ]\n"
            "display: [                    ] [RESTO          17,30]\n");
  const RunResult again = Render(data_ / "rlpr.sl");
  EXPECT_EQ(again.exit_code, 0);
  EXPECT_EQ(again.out, first.out);
}

TEST_F(RenderCommandTest, SettingsComeFromTheDirectoriesAndOverrides) {
  // A words file in the data directory renames the change; --set wins over it.
  std::string words;
  for (int i = 0; i < 33; ++i) {
    words += (i == 16 ? "CAMBIO" : i == 8 ? "CASH" : "") + std::string("\r\n");
  }
  WriteFileOrDie(data_ / "KV2EPcfg2.txt", words);
  WriteFileOrDie(data_ / "r.sl", "SALE,P100\r\nCASH,V200\r\n");
  const RunResult r = Render(data_ / "r.sl", {"--set", "txtWords(8)=CONT."});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  // The other words are empty in that file: the fallbacks print.
  EXPECT_EQ(r.out, std::string(28, ' ') + "1,00\r\n" + std::string(32, '=') + "\r\nTOTALE" +
                       std::string(22, ' ') + "1,00\r\nCONT." + std::string(23, ' ') +
                       "2,00\r\nCAMBIO" + std::string(22, ' ') + "1,00\r\n");
}

TEST_F(RenderCommandTest, ExitStatus) {
  WriteFileOrDie(data_ / "empty.sl", "");
  EXPECT_EQ(Render(data_ / "empty.sl").exit_code, 1);
  const RunResult missing = Render(data_ / "NOFILE.001");
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_THAT(missing.err, HasSubstr("message: Il file " + data_ / "NOFILE.001" + " non esiste\n"));
  EXPECT_EQ(RunProgram(DOVEVID_PATH, {"render"}).exit_code, 2);
  const std::vector<std::vector<std::string>> bad_arguments = {
      {"--set", "nosuch=1"}, {"--set", "cboRowLength=33"}, {"--now", "yesterday"}, {"--bogus"}};
  for (const auto& bad : bad_arguments) {
    EXPECT_EQ(Render(DataFile("receipt_defaults.sl"), bad).exit_code, 2) << bad[0];
  }
  EXPECT_EQ(RunProgram(DOVEVID_PATH, {"render", "--help"}).exit_code, 0);

  // Without --data-dir nothing is left in the given directories.
  const RunResult r = RunProgram(
      DOVEVID_PATH, {"render", DataFile("receipt_defaults.sl"), "--app-dir", app_.path()});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("OPERATORE N. 05\r\n"));
  EXPECT_EQ(ReadFileOrEmpty(app_ / "KV2EP.TXT"), "");
}

}  // namespace
}  // namespace dovevid::testing
