#include <gtest/gtest.h>

#include "config/files.h"
#include "fake_env.h"

namespace dovevid::config {
namespace {

class TimerTest : public ::testing::Test {
 protected:
  testing::FakeEnv env_;
  Directories dirs_{"/app", "/data", "/data", true};
  Settings s_;
};

TEST_F(TimerTest, ValueGivesIntervalShownTextAndSavedRecord) {
  struct Case { const char* value; int ms; const char* shown; const char* saved; };
  const Case cases[] = {
      {"0.5", 500, "0.5", "500\r\n"},
      {"0.05", 50, "0.05", "0.05\r\n"},  // "50" would read back as 50 s
      {"61", 60000, "60", "60\r\n"},
      {"99", 60000, "60", "60\r\n"},
      {"100", 100, "100ms", "100\r\n"},
      {"1500", 1500, "1500ms", "1.5\r\n"},
      {"90000", 60000, "60", "60\r\n"},
      {"500ms", 500, "500ms", "500\r\n"},
      {" 250 ms", 250, "250ms", "250\r\n"},
      // Nothing usable: one second, the shown text unchanged.
      {"", 1000, "7", "1\r\n"},
      {"-3", 1000, "7", "1\r\n"},
      {"0.0004", 1000, "7", "1\r\n"},  // would round to a 0 ms timer
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    s_.txtTimerVal = "7";
    CalculateTimer(env_, dirs_, s_, c.value, true);
    EXPECT_EQ(s_.polling_interval_ms, c.ms);
    EXPECT_EQ(s_.txtTimerVal, c.shown);
    EXPECT_EQ(env_.File("/data/KVTIMER1.TXT"), c.saved);
  }
}

TEST_F(TimerTest, StartupRewritesTheTimerFileWithTheShownText) {
  struct Case { const char* file; int ms; const char* rewritten; };
  const Case cases[] = {
      {"2\r\n", 2000, "2\r\n"},
      {"500\r\n", 500, "500ms\r\n"},
      {"500ms\r\n", 500, "500ms\r\n"},  // so it stays "500ms" across restarts
      {"", 1000, "1\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    env_.SetFile("/data/KVTIMER1.TXT", c.file);
    Settings s;
    LoadConfiguration(env_, dirs_, s, {});
    EXPECT_EQ(s.polling_interval_ms, c.ms);
    EXPECT_EQ(env_.File("/data/KVTIMER1.TXT"), c.rewritten);
  }
}

}  // namespace
}  // namespace dovevid::config
