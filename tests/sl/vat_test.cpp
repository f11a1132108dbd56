#include "sl/vat.h"

#include <gtest/gtest.h>

#include "fake_env.h"

namespace dovevid::sl {
namespace {

using testing::FakeEnv;

constexpr char kAppDir[] = "/opt/dovevid";
constexpr char kFile[] = "/opt/dovevid/KVVALIVA.txt";

// The defaults and their file: render_command_test; rate codes and re-reads: receipt_test.
TEST(LoadVatRates, FileRules) {
  FakeEnv env;

  const std::pair<const char*, VatRates> cases[] = {
      {"1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n", {1, 2, 3, 4}},  // four count, E stays 0
      {"100,200\r\n 300 ,400", {100, 200, 300, 400}},
      {"100\n200\n", {100, 200, 1600, 2200}},                   // bare LF of a hand-edited file
      {"IVA\r\n400\r\n\r\n1000\r\n", {400, 1000, 1600, 2200}},  // text skipped
      {"99999999999\r\n450\r\n22.5\r\n21.5\r\n", {450, 22, 22, 2200}},  // halves to even
  };
  for (const auto& [text, rates] : cases) {
    env.SetFile(kFile, text);
    EXPECT_EQ(LoadVatRates(env, kAppDir), rates) << text;
  }

  env.FailNext(FakeEnv::Op::kRead, kFile, 1, Status::Error(fault::kPermissionDenied, "denied"));
  EXPECT_EQ(LoadVatRates(env, kAppDir), DefaultVatRates());
  EXPECT_EQ(env.File(kFile), "99999999999\r\n450\r\n22.5\r\n21.5\r\n");  // not overwritten
}

}  // namespace
}  // namespace dovevid::sl
