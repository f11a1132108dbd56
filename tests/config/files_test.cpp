#include "config/files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/text.h"
#include "fake_env.h"

namespace dovevid::config {
namespace {

using ::testing::ElementsAre;

std::string JoinCrLf(const std::vector<std::string>& records) {
  std::string text;
  for (const std::string& r : records) text += r + "\r\n";
  return text;
}

class ConfigFilesTest : public ::testing::Test {
 protected:
  // Loads the files from the fake disk into fresh settings.
  Settings Load(std::vector<std::string> printers = {"RS232_PRINTER , COM0"}) {
    Settings s;
    s.printer_entries = std::move(printers);
    LoadConfiguration(env_, dirs_, s, [&s](const std::string& name) {
      for (size_t i = 0; i < s.printer_entries.size(); ++i) {
        if (s.printer_entries[i].rfind(name, 0) == 0) return static_cast<int>(i);
      }
      return 0;
    });
    return s;
  }

  testing::FakeEnv env_;
  Directories dirs_{"/app", "/data", "/data", true};
};

TEST_F(ConfigFilesTest, SavedFileIsByteExact) {
  Settings s;
  s.printer_entries = {"RS232_PRINTER , COM3", "kitchen ,  socket://10.0.0.9"};
  s.cboComPort = 2;
  s.cboBaudRate = 6;
  s.receipt_counter = 42;
  s.listPrinters = 0;
  s.txtHeader[0] = "Via Roma 12, Milano";
  s.chkDW_Header[0] = true;
  s.display_com_port = -1;
  ASSERT_TRUE(SaveChkComFile(env_, dirs_, s).ok());

  const auto r = SplitCrLf(env_.File("/app/KV2EPcfg.txt"));
  ASSERT_EQ(r.size(), 88u);
  EXPECT_EQ(env_.File("/app/KV2EPcfg.txt").substr(0, 20), " 2 \r\n 6 \r\n-1 \r\n-1 \r\n");
  // Records 5, 15-19 (an empty header line is one blank), 45 chkDW_Header(0),
  // 72 chkOptions(0), 84-87.
  std::vector<std::string> some;
  for (size_t i : {5, 15, 16, 17, 18, 19, 45, 72, 84, 85, 86, 87}) some.push_back(r[i]);
  EXPECT_THAT(some, ElementsAre(" 42 ", "True", "False", "RS232_PRINTER", "Via Roma 12, Milano",
                                " ", "1", "1", std::string(64, '0'), "-1 ", "0", "-1 "));

  const std::string words = env_.File("/data/KV2EPcfg2.txt");
  EXPECT_EQ(words.substr(0, 15), "TOTALE\r\nSUBT.\r\n");
  EXPECT_EQ(words.substr(words.size() - 4), "\r\n\r\n");  // txtWords(32) is an empty line
  EXPECT_EQ(SplitCrLf(words).size(), 33u);
}

// Every setting makes the round trip through the window's controls
// (tests/gui); here the edges of the records.
TEST_F(ConfigFilesTest, RecordsSurviveARoundTripButTheirLeadingBlanksAndGonePrinters) {
  Settings s;
  s.printer_entries = {"RS232_PRINTER , COM0", "kitchen ,  socket://10.0.0.9"};
  s.receipt_counter = -7;
  s.listPrinters = 1;
  s.txtHeader[3] = "  indented, with comma;";
  SelectListItem(s, List::kComPortDisplay, 4);
  SelectListItem(s, List::kDisplayLength, 0);
  s.txtWords[5] = "";
  s.txtWords[9] = "VISA, MC";
  ASSERT_TRUE(SaveChkComFile(env_, dirs_, s).ok());
  Settings t = Load(s.printer_entries);
  EXPECT_EQ(t.receipt_counter, -7);
  EXPECT_EQ(t.SelectedPrinterName(), "kitchen");
  EXPECT_EQ(t.txtHeader[3], "indented, with comma;");
  EXPECT_EQ(t.display_com_port, 5);
  EXPECT_EQ(t.display_line_length, 16);
  EXPECT_EQ(t.txtWords, s.txtWords);

  // The printer record is matched against the list.
  Settings base;
  base.printer_entries = {"RS232_PRINTER , COM0", "bar ,  usb://x", "kitchen ,  socket://y"};
  base.listPrinters = 2;
  env_.SetFile("/app/KV2EPcfg.txt", SettingsFileText(base));
  EXPECT_EQ(Load(base.printer_entries).listPrinters, 2);
  // The printer is gone: nothing selected.
  EXPECT_EQ(Load({"RS232_PRINTER , COM0", "bar ,  usb://x"}).listPrinters, kNone);
  // Saved with no printer (two blanks): nothing selected.
  base.listPrinters = kNone;
  ASSERT_TRUE(SaveChkComFile(env_, dirs_, base).ok());
  EXPECT_EQ(SplitCrLf(env_.File("/app/KV2EPcfg.txt"))[17], "  ");
  EXPECT_EQ(Load(base.printer_entries).listPrinters, kNone);
}

TEST_F(ConfigFilesTest, ShortAndLongFilesApplyWhatIsThere) {
  env_.SetFile("/app/KV2EPcfg.txt", " 4 \r\n 1 \r\n");
  Settings s = Load();
  EXPECT_EQ(s.cboComPort, 4);
  EXPECT_EQ(s.cboBaudRate, 1);
  EXPECT_EQ(s.cboParity, kNone);  // untouched; defaults come later
  EXPECT_EQ(s.cboDisplayLength, kNone);

  // A file that stops right before the last record selects "20".
  Settings full;
  full.cboDisplayLength = 0;
  std::vector<std::string> records = SplitCrLf(SettingsFileText(full));
  records.pop_back();
  env_.SetFile("/app/KV2EPcfg.txt", JoinCrLf(records));
  Settings t = Load();
  EXPECT_EQ(t.cboDisplayLength, 1);
  EXPECT_EQ(t.display_line_length, 20);

  // A words file of forty lines fills thirty-three words.
  std::string words;
  for (int i = 0; i < 40; ++i) words += (i == 3 ? "" : "W" + std::to_string(i)) + "\r\n";
  words.replace(0, 2, "W\x1D");  // and no printer command in a word
  env_.SetFile("/data/KV2EPcfg2.txt", words);
  t = Load();
  EXPECT_EQ(t.txtWords[0], "W ");
  EXPECT_EQ(t.txtWords[3], "");
  EXPECT_EQ(t.txtWords[32], "W32");
}

TEST_F(ConfigFilesTest, BadRecordsAreIgnoredOneByOne) {
  std::vector<std::string> r = SplitCrLf(SettingsFileText(Settings()));
  r[0] = "-1 ";       // no port selected when saved
  r[1] = "abc";       // not a number: selection unchanged
  r[2] = " 7 ";       // beyond the list: unchanged
  r[5] = "many";      // counter becomes 0
  r[15] = "maybe";    // not a Boolean: kept
  r[85] = "11";       // no such display port: -1
  r[87] = "x";        // not a number: item 0
  r[18] = "A\x1B@B";  // a printer command in a header: a blank
  env_.SetFile("/app/KV2EPcfg.txt", JoinCrLf(r));
  Settings s;
  s.receipt_counter = 99;
  s.printer_entries = {"RS232_PRINTER , COM0"};
  LoadConfiguration(env_, dirs_, s, {});
  EXPECT_EQ(s.cboComPort, kNone);
  EXPECT_EQ(s.cboBaudRate, kNone);
  EXPECT_EQ(s.cboParity, kNone);
  EXPECT_EQ(s.receipt_counter, 0);
  EXPECT_TRUE(s.optInputType[0]);
  EXPECT_EQ(s.display_com_port, -1);
  EXPECT_EQ(s.cboDisplayLength, 0);
  EXPECT_EQ(s.display_line_length, 16);
  EXPECT_EQ(s.txtHeader[0], "A @B");
}

TEST_F(ConfigFilesTest, TimerValueGivesIntervalShownTextAndSavedRecord) {
  Settings s;
  // Value typed, interval, text shown, record saved.
  const std::tuple<const char*, int, const char*, const char*> cases[] = {
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
  for (const auto& [value, ms, shown, saved] : cases) {
    SCOPED_TRACE(value);
    s.txtTimerVal = "7";
    CalculateTimer(env_, dirs_, s, value, true);
    EXPECT_EQ(s.polling_interval_ms, ms);
    EXPECT_EQ(s.txtTimerVal, shown);
    EXPECT_EQ(env_.File("/data/KVTIMER1.TXT"), saved);
  }
}

TEST_F(ConfigFilesTest, StartupRewritesTheTimerFileWithTheShownText) {
  const std::tuple<const char*, int, const char*> cases[] = {
      {"2\r\n", 2000, "2\r\n"},
      {"500\r\n", 500, "500ms\r\n"},
      {"500ms\r\n", 500, "500ms\r\n"},  // so it stays "500ms" across restarts
      {"", 1000, "1\r\n"},
  };
  for (const auto& [file, ms, rewritten] : cases) {
    env_.SetFile("/data/KVTIMER1.TXT", file);
    Settings s;
    LoadConfiguration(env_, dirs_, s, {});
    EXPECT_EQ(s.polling_interval_ms, ms) << file;
    EXPECT_EQ(env_.File("/data/KVTIMER1.TXT"), rewritten) << file;
  }
}

}  // namespace
}  // namespace dovevid::config
