#include "config/schema.h"

#include <gtest/gtest.h>

namespace dovevid::config {
namespace {

TEST(Schema, SetValidatesAgainstListAndType) {
  Settings s;
  EXPECT_TRUE(SetSetting(s, "cboBaudRate", "115200").ok());
  EXPECT_EQ(s.cboBaudRate, 6);
  EXPECT_TRUE(SetSetting(s, "cboFileExtension", ".003").ok());
  EXPECT_EQ(s.FileExtension(), ".003");
  EXPECT_TRUE(SetSetting(s, "cmbComPortDisplay", "COM4").ok());
  EXPECT_EQ(s.display_com_port, 4);
  s.printer_entries = {"RS232_PRINTER , COM1", "kitchen ,  socket://10.0.0.9"};
  EXPECT_TRUE(SetSetting(s, "ListPrinters", "kitchen").ok());
  EXPECT_EQ(s.listPrinters, 1);
  EXPECT_FALSE(SetSetting(s, "ListPrinters", "bar").ok());  // not in the list
  EXPECT_TRUE(SetSetting(s, "ListPrinters", "<none>").ok());
  EXPECT_EQ(s.listPrinters, kNone);

  const Status bad = SetSetting(s, "cboBaudRate", "9601");
  EXPECT_NE(bad.description().find("9600"), std::string::npos);  // says what is allowed
  EXPECT_EQ(s.cboBaudRate, 6);
  // cboRowLength has a default: it cannot be empty.
  for (std::string_view bad : {"chkOptions(3)=yes", "chkOptions(12)=1", "txtNumScontr=12x",
                               "txtNumScontr=99999999999", "cboNothing=1", "cboRowLength=<none>"}) {
    const size_t eq = bad.find('=');
    EXPECT_FALSE(SetSetting(s, bad.substr(0, eq), bad.substr(eq + 1)).ok()) << bad;
  }
}

TEST(Schema, TextsRespectTheirLengthsAndOptionButtonsExcludeEachOther) {
  Settings s;
  s.cboRowLength = 0;  // 24 characters
  EXPECT_TRUE(SetSetting(s, "txtHeader(0)", "Via Roma 1, 20100 Milano").ok());
  EXPECT_FALSE(SetSetting(s, "txtHeader(1)", "Via Roma 1, 20100 Milano!").ok());
  // A line kept from a longer row length can be edited, never lengthened.
  s.txtHeader[2] = "Piazza Garibaldi 12, Torino";
  EXPECT_TRUE(SetSetting(s, "txtHeader(2)", "Piazza Garibaldi 12, Torin").ok());
  EXPECT_FALSE(SetSetting(s, "txtHeader(2)", "Piazza Garibaldi 12, Torino!").ok());
  ASSERT_TRUE(SetSetting(s, "txtHeader(3)", "  Grazie").ok());  // as the settings file keeps it
  EXPECT_EQ(s.txtHeader[3], "Grazie");
  EXPECT_EQ(DescribeSetting(s, "txtHeader(2)")->max_length, 24);
  EXPECT_FALSE(SetSetting(s, "txtFooter(0)", "two\r\nlines").ok());
  // Control bytes would reach the printer as commands (ESC @, GS V cuts).
  for (const std::string& bad :
       {std::string("A\033@B\035V\001C"), std::string("P\0", 2), std::string("\x7F")}) {
    const Status st = SetSetting(s, "txtHeader(2)", bad);
    EXPECT_NE(st.description().find("control characters"), std::string::npos) << bad;
  }
  EXPECT_TRUE(SetSetting(s, "txtWords(0)", "CAFF\xC8").ok());
  EXPECT_TRUE(SetSetting(s, "txtWords(9)", "").ok());
  EXPECT_FALSE(SetSetting(s, "txtWords(15)", "EURO EURO EURO!!").ok());  // 15 at most
  EXPECT_TRUE(SetSetting(s, "optInputType(1)", "1").ok());
  EXPECT_FALSE(s.IsSlInput());
  EXPECT_TRUE(SetSetting(s, "optInputType(1)", "0").ok());
  EXPECT_TRUE(s.IsSlInput());
}

TEST(Schema, EverySettingIsDescribedWithWhatItTakes) {
  Settings s;
  for (const std::string& name : SettingNames()) {
    const auto d = DescribeSetting(s, name);
    ASSERT_TRUE(d) << name;
    EXPECT_FALSE(d->allowed.empty()) << name;
  }
  EXPECT_EQ(DescribeSetting(s, "chkOptions(11)")->caption, "Trace enable");
  EXPECT_EQ(DescribeSetting(s, "cboEndSpaces")->tool_tip, "Number of feeds before cutting");
  EXPECT_FALSE(DescribeSetting(s, "chkOptions(12)"));
}

}  // namespace
}  // namespace dovevid::config
