#include "sl/vat.h"

#include <gtest/gtest.h>

#include "fake_env.h"

namespace dovevid::sl {
namespace {

using testing::FakeEnv;

constexpr char kAppDir[] = "/opt/dovevid";
constexpr char kFile[] = "/opt/dovevid/KVVALIVA.txt";

VatRates Rates(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
  return {a, b, c, d, 0, 0};
}

TEST(LoadVatRates, FileRules) {
  FakeEnv env;
  EXPECT_EQ(LoadVatRates(env, kAppDir), Rates(400, 1000, 1600, 2200));
  EXPECT_EQ(env.File(kFile), "400\r\n1000\r\n1600\r\n2200\r\n0\r\n");  // written when missing

  const struct {
    const char* text;
    VatRates rates;
  } cases[] = {
      {"1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n", Rates(1, 2, 3, 4)},  // four count, E stays 0
      {"100,200\r\n 300 ,400", Rates(100, 200, 300, 400)},
      {"100\n200\n", Rates(100, 200, 1600, 2200)},  // bare LF of a hand-edited file
      {"IVA\r\n400\r\n\r\n1000\r\n", Rates(400, 1000, 1600, 2200)},  // text skipped
      {"99999999999\r\n450\r\n22.5\r\n21.5\r\n", Rates(450, 22, 22, 2200)},  // halves to even
  };
  for (const auto& c : cases) {
    env.SetFile(kFile, c.text);
    EXPECT_EQ(LoadVatRates(env, kAppDir), c.rates) << c.text;
  }

  env.FailNext(FakeEnv::Op::kRead, kFile, 1, Status::Error(fault::kPermissionDenied, "denied"));
  EXPECT_EQ(LoadVatRates(env, kAppDir), DefaultVatRates());
  EXPECT_EQ(env.File(kFile), "99999999999\r\n450\r\n22.5\r\n21.5\r\n");  // not overwritten
}

// Reading the file again on every call is checked by the receipt tests.
TEST(VatCodeOfRate, FirstEqualCodeWinsAndUnknownRateLeavesTheIndex) {
  int index = -1;
  EXPECT_EQ(VatCodeOfRate(Rates(500, 1000, 2200, 0), 0, &index), "D");  // D before E
  EXPECT_EQ(index, 3);
  EXPECT_EQ(VatCodeOfRate(Rates(500, 1000, 2200, 0), 1600, &index), "");
  EXPECT_EQ(index, 3);
}

}  // namespace
}  // namespace dovevid::sl
