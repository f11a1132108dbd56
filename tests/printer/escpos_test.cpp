#include "printer/escpos.h"

#include <gtest/gtest.h>

namespace dovevid::escpos {
namespace {

std::string Hex(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    static const char* digits = "0123456789ABCDEF";
    if (!out.empty()) out += ' ';
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

TEST(EscPos, SequencesWithFixedParameters) {
  EXPECT_EQ(Hex(Initialize()), "1B 40");
  EXPECT_EQ(Hex(RotationOff()), "1B 56 00");
  EXPECT_EQ(Hex(CharSizeReset()), "1D 21 00");
  EXPECT_EQ(Hex(FeedUnits()), "1B 4A 31");  // the character "1": 49 motion units
  EXPECT_EQ(Hex(BitImagePrint()), "1D 2F 00 0A");
  EXPECT_EQ(Hex(NvGraphicsPrint()), "1D 28 4C 06 00 30 45 20 20 01 01");
  EXPECT_EQ(Hex(StatusQuery(kPrinterStatus)), "10 04 01");
  EXPECT_EQ(Hex(StatusQuery(kRollPaperStatus)), "10 04 04");
}

TEST(EscPos, JustificationCarriesAsciiDigits) {
  EXPECT_EQ(Hex(std::string(kJustifyLeft)), "1B 61 30");
  EXPECT_EQ(Hex(std::string(kJustifyCenter)), "1B 61 31");
  EXPECT_EQ(Hex(std::string(kJustifyRight)), "1B 61 32");
  EXPECT_EQ(Justify(Justification::kCenter), kJustifyCenter);
}

TEST(EscPos, PrintModeSetsOnlyTheSizeBits) {
  EXPECT_EQ(Hex(PrintMode(false, false)), "1B 21 00");
  EXPECT_EQ(Hex(PrintMode(true, false)), "1B 21 10");
  EXPECT_EQ(Hex(PrintMode(false, true)), "1B 21 20");
  EXPECT_EQ(Hex(PrintMode(true, true)), "1B 21 30");
}

TEST(EscPos, ParameterisedSequences) {
  EXPECT_EQ(Hex(FeedLines(13)), "1B 64 0D");
  EXPECT_EQ(Hex(Cut(CutMode::kPartial)), "1D 56 42");
  EXPECT_EQ(Hex(Cut(CutMode::kFull)), "1D 56 41");
  EXPECT_EQ(Hex(ButtonDrawerPulse()), "1B 70 30 23 79");
  EXPECT_EQ(Hex(SlDrawerPulse(1)), "1B 70 01 19 FA");
  EXPECT_EQ(Hex(BarcodeHeight(0x50)), "1D 68 50");
  EXPECT_EQ(Hex(BarcodeWidth(3)), "1D 77 03");
  EXPECT_EQ(Hex(BarcodeHri(2)), "1D 48 02");
  EXPECT_EQ(Hex(BarcodePrintA(3, "80176336")), "1D 6B 03 38 30 31 37 36 33 33 36 00");
  EXPECT_EQ(Hex(BarcodePrintB(kCode128, "{BAB")), "1D 6B 49 04 7B 42 41 42");
  EXPECT_EQ(Hex(BitImageDefine(2, 1, std::string("\x00\xFF", 2))), "1D 2A 02 01 00 FF");
}

TEST(EscPos, StatusByteTests) {
  EXPECT_TRUE(IsOffline(0x08));
  EXPECT_TRUE(IsOffline(0xFF));
  EXPECT_FALSE(IsOffline(0x12));
  EXPECT_TRUE(IsPaperEnd(0x20));
  EXPECT_TRUE(IsPaperEnd(0x40));
  EXPECT_TRUE(IsPaperEnd(0x72));
  EXPECT_FALSE(IsPaperEnd(0x12));  // near-end bits 2 and 3 are not the end
  EXPECT_FALSE(IsPaperEnd(0x0C));
}

}  // namespace
}  // namespace dovevid::escpos
