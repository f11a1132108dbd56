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

TEST(LoadVatRates, MissingFileIsWrittenWithTheDefaults) {
  FakeEnv env;
  EXPECT_EQ(LoadVatRates(env, kAppDir), Rates(400, 1000, 1600, 2200));
  EXPECT_EQ(env.File(kFile), "400\r\n1000\r\n1600\r\n2200\r\n0\r\n");
}

TEST(LoadVatRates, FirstFourNumbersCountForAToD) {
  FakeEnv env;
  env.SetFile(kFile, "500\r\n1000\r\n2200\r\n0\r\n");
  EXPECT_EQ(LoadVatRates(env, kAppDir), Rates(500, 1000, 2200, 0));

  env.SetFile(kFile, "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n");
  EXPECT_EQ(LoadVatRates(env, kAppDir), Rates(1, 2, 3, 4));  // E stays 0

  env.SetFile(kFile, "100,200\r\n 300 ,400");
  EXPECT_EQ(LoadVatRates(env, kAppDir), Rates(100, 200, 300, 400));

  env.SetFile(kFile, "100\n200\n");  // bare LF from a hand-edited file
  EXPECT_EQ(LoadVatRates(env, kAppDir), Rates(100, 200, 1600, 2200));
}

TEST(LoadVatRates, TextAndOutOfRangeValuesAreSkippedWithoutCounting) {
  FakeEnv env;
  env.SetFile(kFile, "IVA\r\n400\r\n\r\n1000\r\n");
  EXPECT_EQ(LoadVatRates(env, kAppDir), Rates(400, 1000, 1600, 2200));

  env.SetFile(kFile, "99999999999\r\n450\r\n22.5\r\n21.5\r\n");
  EXPECT_EQ(LoadVatRates(env, kAppDir), Rates(450, 22, 22, 2200));  // halves to even
}

TEST(LoadVatRates, UnreadableFileLeavesTheDefaultsAndTheFile) {
  FakeEnv env;
  env.SetFile(kFile, "1\r\n2\r\n3\r\n4\r\n");
  env.FailNext(FakeEnv::Op::kRead, kFile, 1, Status::Error(fault::kPermissionDenied, "denied"));
  EXPECT_EQ(LoadVatRates(env, kAppDir), DefaultVatRates());
  EXPECT_EQ(env.File(kFile), "1\r\n2\r\n3\r\n4\r\n");
}

TEST(VatCodeOfRate, FirstEqualCodeWinsAndUnknownRateLeavesTheIndex) {
  const VatRates rates = Rates(500, 1000, 2200, 0);
  std::int16_t index = -1;
  EXPECT_EQ(VatCodeOfRate(rates, 2200, &index), "C");
  EXPECT_EQ(index, 2);
  EXPECT_EQ(VatCodeOfRate(rates, 0, &index), "D");  // D before E
  EXPECT_EQ(index, 3);
  EXPECT_EQ(VatCodeOfRate(rates, 1600, &index), "");
  EXPECT_EQ(index, 3);
  EXPECT_EQ(VatCodeOfRate(DefaultVatRates(), 0, &index), "E");
  EXPECT_EQ(index, 4);
}

TEST(VatCodeOfRate, ReadsTheFileAgainOnEveryCall) {
  FakeEnv env;
  std::int16_t index = -1;
  EXPECT_EQ(VatCodeOfRate(env, kAppDir, 2200, &index), "D");
  env.SetFile(kFile, "2200\r\n");
  EXPECT_EQ(VatCodeOfRate(env, kAppDir, 2200, &index), "A");
  EXPECT_EQ(index, 0);
}

}  // namespace
}  // namespace dovevid::sl
