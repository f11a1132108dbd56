#include "printer/escpos.h"

#include <gtest/gtest.h>

namespace dovevid::escpos {
namespace {

using namespace std::string_literals;

TEST(EscPos, SequencesAreByteExact) {
  const std::pair<std::string, std::string> cases[] = {
      {Initialize(), "\x1B\x40"},
      {RotationOff(), "\x1B\x56\x00"s},
      {CharSizeReset(), "\x1D\x21\x00"s},
      {FeedUnits(), "\x1B\x4A\x31"},  // the character "1": 49 motion units
      {BitImagePrint(), "\x1D\x2F\x00\x0A"s},
      {NvGraphicsPrint(), "\x1D\x28\x4C\x06\x00\x30\x45\x20\x20\x01\x01"s},
      {StatusQuery(kPrinterStatus), "\x10\x04\x01"},
      {StatusQuery(kRollPaperStatus), "\x10\x04\x04"},
      // Justification carries ASCII digits.
      {std::string(kJustifyLeft), "\x1B\x61\x30"},
      {std::string(kJustifyRight), "\x1B\x61\x32"},
      {std::string(Justify(Justification::kCenter)), "\x1B\x61\x31"},
      // Print mode sets only the size bits.
      {PrintMode(false, false), "\x1B\x21\x00"s},
      {PrintMode(true, false), "\x1B\x21\x10"},
      {PrintMode(false, true), "\x1B\x21\x20"},
      {PrintMode(true, true), "\x1B\x21\x30"},
      {FeedLines(13), "\x1B\x64\x0D"},
      {Cut(CutMode::kPartial), "\x1D\x56\x42"},
      {Cut(CutMode::kFull), "\x1D\x56\x41"},
      {ButtonDrawerPulse(), "\x1B\x70\x30\x23\x79"},
      {SlDrawerPulse(1), "\x1B\x70\x01\x19\xFA"},
      {BarcodeHeight(0x50), "\x1D\x68\x50"},
      {BarcodeWidth(3), "\x1D\x77\x03"},
      {BarcodeHri(2), "\x1D\x48\x02"},
      {BarcodePrintA(3, "80176336"), "\x1D\x6B\x03" "80176336\x00"s},
      {BarcodePrintB(kCode128, "{BAB"), "\x1D\x6B\x49\x04{BAB"},
      {BitImageDefine(2, 1, "\x00\xFF"s), "\x1D\x2A\x02\x01\x00\xFF"s},
  };
  for (const auto& [got, expected] : cases) EXPECT_EQ(got, expected);
}

TEST(EscPos, StatusByteTests) {
  EXPECT_TRUE(IsOffline(0x08));
  EXPECT_TRUE(IsOffline(0xFF));
  EXPECT_FALSE(IsOffline(0x12));
  for (std::uint8_t end : {0x20, 0x40, 0x72}) EXPECT_TRUE(IsPaperEnd(end)) << int(end);
  // The near-end bits 2 and 3 are not the end.
  for (std::uint8_t present : {0x12, 0x0C}) EXPECT_FALSE(IsPaperEnd(present)) << int(present);
}

}  // namespace
}  // namespace dovevid::escpos
