#include <gtest/gtest.h>

#include "config/files.h"
#include "fake_env.h"

namespace dovevid::config {
namespace {

class TimerTest : public ::testing::Test {
 protected:
  TimerTest() {
    dirs_.app_dir = "/app";
    dirs_.data_dir = "/data";
  }
  // Runs the rule and returns "interval|shown".
  std::string Calc(const std::string& value, bool save = false) {
    CalculateTimer(env_, dirs_, s_, value, save);
    return std::to_string(s_.polling_interval_ms) + "|" + s_.txtTimerVal;
  }
  std::string LoadTimerFile(const std::string& contents) {
    env_.SetFile("/data/KVTIMER1.TXT", contents);
    s_ = Settings();
    LoadConfiguration(env_, dirs_, s_, {});
    return std::to_string(s_.polling_interval_ms) + "|" + env_.File("/data/KVTIMER1.TXT");
  }

  testing::FakeEnv env_;
  Directories dirs_;
  Settings s_;
};

TEST_F(TimerTest, SecondsMillisecondsAndLimits) {
  EXPECT_EQ(Calc("0.5"), "500|0.5");
  EXPECT_EQ(Calc("5"), "5000|5");
  EXPECT_EQ(Calc("61"), "60000|60");
  EXPECT_EQ(Calc("99"), "60000|60");
  EXPECT_EQ(Calc("100"), "100|100ms");
  EXPECT_EQ(Calc("60000"), "60000|60000ms");
  EXPECT_EQ(Calc("90000"), "60000|60");
}

TEST_F(TimerTest, EmptyOrNonPositiveGivesOneSecondAndKeepsTheText) {
  s_.txtTimerVal = "7";
  EXPECT_EQ(Calc(""), "1000|7");
  EXPECT_EQ(Calc("0"), "1000|7");
  EXPECT_EQ(Calc("-3"), "1000|7");
  EXPECT_EQ(Calc("abc"), "1000|7");
  // A tiny value would round to a 0 ms timer that spins.
  EXPECT_EQ(Calc("0.0004"), "1000|7");
}

TEST_F(TimerTest, StoredMillisecondsKeepTheirSuffixForever) {
  EXPECT_EQ(Calc("500ms"), "500|500ms");
  EXPECT_EQ(Calc(s_.txtTimerVal), "500|500ms");
  EXPECT_EQ(Calc(" 250 ms"), "250|250ms");
}

TEST_F(TimerTest, SaveWritesMillisecondsBelowOneSecondElseSeconds) {
  Calc("0.5", true);
  EXPECT_EQ(env_.File("/data/KVTIMER1.TXT"), "500\r\n");
  Calc("75", true);
  EXPECT_EQ(env_.File("/data/KVTIMER1.TXT"), "60\r\n");
  Calc("1500", true);
  EXPECT_EQ(env_.File("/data/KVTIMER1.TXT"), "1.5\r\n");
  Calc("abc", true);
  EXPECT_EQ(env_.File("/data/KVTIMER1.TXT"), "1\r\n");
}

TEST_F(TimerTest, StartupReadsAndRewritesTheTimerFile) {
  EXPECT_EQ(LoadTimerFile("2\r\n"), "2000|2\r\n");
  EXPECT_EQ(LoadTimerFile("500\r\n"), "500|500ms\r\n");
  EXPECT_EQ(LoadTimerFile("500ms\r\n"), "500|500ms\r\n");  // stable across restarts
  EXPECT_EQ(LoadTimerFile("90\r\n"), "60000|60\r\n");
  EXPECT_EQ(LoadTimerFile("0\r\n"), "1000|1\r\n");
  EXPECT_EQ(LoadTimerFile(""), "1000|1\r\n");
}

}  // namespace
}  // namespace dovevid::config
