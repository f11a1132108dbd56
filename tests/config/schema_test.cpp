#include "config/schema.h"

#include <gtest/gtest.h>

namespace dovevid::config {
namespace {

std::string Get(const Settings& s, const std::string& name) {
  std::string v;
  EXPECT_TRUE(GetSetting(s, name, &v)) << name;
  return v;
}

TEST(Schema, EveryRecordHasAName) {
  const auto names = SettingNames();
  // 88 records less the counter's neighbours: 14 lists + counter + 2 options +
  // printer + 18 texts + 48 checks + display port, enable, length + 33 words + timer.
  EXPECT_EQ(names.size(), 14u + 1 + 2 + 1 + 18 + 48 + 3 + 33 + 1);
  EXPECT_EQ(names.front(), "cboComPort");
  EXPECT_EQ(names.back(), "txtTimerVal");
  Settings s;
  for (const auto& n : names) Get(s, n);
}

TEST(Schema, ListsShowItemTextOrNone) {
  Settings s;
  EXPECT_EQ(Get(s, "cboComPort"), "<none>");
  s.cboRowLength = 2;
  EXPECT_EQ(Get(s, "cboRowLength"), "32");
  EXPECT_EQ(Get(s, "chkOptions(9)"), "1");
  EXPECT_EQ(Get(s, "txtWords(25)"), "SCONTO SU ART.");
  std::string v;
  EXPECT_FALSE(GetSetting(s, "cboNothing", &v));
}

TEST(Schema, SetValidatesAgainstListAndType) {
  Settings s;
  EXPECT_TRUE(SetSetting(s, "cboBaudRate", "115200").ok());
  EXPECT_EQ(s.cboBaudRate, 6);
  EXPECT_TRUE(SetSetting(s, "cboFileExtension", ".003").ok());
  EXPECT_EQ(s.FileExtension(), ".003");
  EXPECT_TRUE(SetSetting(s, "cmbComPortDisplay", "COM4").ok());
  EXPECT_EQ(s.display_com_port, 4);

  const Status bad = SetSetting(s, "cboBaudRate", "9601");
  EXPECT_FALSE(bad.ok());
  EXPECT_NE(bad.description().find("9600"), std::string::npos);  // says what is allowed
  EXPECT_EQ(s.cboBaudRate, 6);
  EXPECT_FALSE(SetSetting(s, "chkOptions(3)", "yes").ok());
  EXPECT_FALSE(SetSetting(s, "chkOptions(12)", "1").ok());
  EXPECT_FALSE(SetSetting(s, "txtNumScontr", "12x").ok());
  EXPECT_FALSE(SetSetting(s, "txtNumScontr", "99999999999").ok());
  EXPECT_FALSE(SetSetting(s, "cboRowLength", "<none>").ok());  // has a default; cannot be empty
}

TEST(Schema, TextsRespectTheirLengthsAndOptionButtonsExcludeEachOther) {
  Settings s;
  s.cboRowLength = 0;  // 24 characters
  EXPECT_TRUE(SetSetting(s, "txtHeader(0)", "Via Roma 1, 20100 Milano").ok());
  EXPECT_FALSE(SetSetting(s, "txtHeader(1)", "Via Roma 1, 20100 Milano!").ok());
  EXPECT_FALSE(SetSetting(s, "txtFooter(0)", "two\r\nlines").ok());
  EXPECT_TRUE(SetSetting(s, "txtWords(9)", "").ok());
  EXPECT_FALSE(SetSetting(s, "txtWords(15)", "EURO EURO EURO!!").ok());  // 15 at most
  EXPECT_TRUE(SetSetting(s, "optInputType(1)", "1").ok());
  EXPECT_FALSE(s.IsSlInput());
  EXPECT_TRUE(SetSetting(s, "optInputType(1)", "0").ok());
  EXPECT_TRUE(s.IsSlInput());
}

TEST(Schema, PrinterMustBeInTheList) {
  Settings s;
  s.printer_entries = {"RS232_PRINTER , COM1", "kitchen ,  socket://10.0.0.9"};
  EXPECT_TRUE(SetSetting(s, "ListPrinters", "kitchen").ok());
  EXPECT_EQ(s.listPrinters, 1);
  EXPECT_FALSE(SetSetting(s, "ListPrinters", "bar").ok());
  EXPECT_TRUE(SetSetting(s, "ListPrinters", "<none>").ok());
  EXPECT_EQ(s.listPrinters, kNone);
}

}  // namespace
}  // namespace dovevid::config
