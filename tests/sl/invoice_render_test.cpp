// The built `dovevid render` on the invoices of tests/sl/data: an SL file
// with an "OPFS" record goes to the invoice renderer, and its output matches
// the hand-derived bytes. A case NAME is NAME.sl, NAME.expected and,
// optionally, NAME.args (extra arguments, one per line).
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace dovevid::testing {
namespace {

std::string DataFile(const std::string& name) { return std::string(SL_DATA_DIR) + "/" + name; }

class InvoiceRenderTest : public ::testing::TestWithParam<std::string> {};

TEST_P(InvoiceRenderTest, MatchesTheExpectedBytes) {
  const std::string name = GetParam();
  TempDir app;
  TempDir data;
  std::vector<std::string> args = {"render",     DataFile(name + ".sl"), "--app-dir", app.path(),
                                   "--data-dir", data.path(), "--now", "2026-03-07T09:05:12"};
  std::ifstream extra(DataFile(name + ".args"));
  for (std::string line; std::getline(extra, line);) args.push_back(line);

  const RunResult r = RunProgram(DOVEVID_PATH, args);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "");  // no operator message
  EXPECT_EQ(r.out, ReadFileOrEmpty(DataFile(name + ".expected")));
  EXPECT_EQ(ReadFileOrEmpty(data / "KV2EP.TXT"), r.out);
}

INSTANTIATE_TEST_SUITE_P(Invoices, InvoiceRenderTest,
                         ::testing::Values("invoice_basic", "invoice_growth_r24"));

}  // namespace
}  // namespace dovevid::testing
