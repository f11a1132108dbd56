// The virtual printer: the split of status queries from print data and the
// decoding. Its answers and the program on a pty and on TCP are exercised by
// the serial port and CUPS tests.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "emulation.h"
#include "preview/escpos_decoder.h"
#include "wire.h"

namespace dovevid::vprinter {
namespace {

using preview::EscPosDecoder;

using ::testing::HasSubstr;
using namespace std::string_literals;

TEST(StatusResponder, SeparatesQueriesFromDataInAnyPieces) {
  // Print data with queries between, and bytes that only look like one.
  const std::string stream = std::string("A\x10\x04\x04", 4) + "B" + std::string("\x10\x04\x09", 3) +
                             std::string("\x10\x10\x04\x01", 4) + "C\x10";
  const std::string data = std::string("AB\x10\x04\x09\x10", 6) + "C\x10";
  for (std::size_t cut1 = 0; cut1 <= stream.size(); ++cut1) {
    for (std::size_t cut2 = cut1; cut2 <= stream.size(); ++cut2) {
      StatusResponder r;
      std::string got_data, got_replies;
      for (auto piece : {stream.substr(0, cut1), stream.substr(cut1, cut2 - cut1), stream.substr(cut2)}) {
        const auto res = r.Feed(piece);
        got_data += res.data;
        got_replies += res.replies;
      }
      // The trailing DLE is held until it is known not to start a query.
      got_data += r.Feed("Z").data;
      EXPECT_EQ(got_data, data + "Z") << cut1 << "," << cut2;
      EXPECT_EQ(got_replies, "\x12\x12") << cut1 << "," << cut2;
    }
  }
}

TEST(WireModel, BytesArriveAtTheLineSpeedAndAFullBufferHoldsTheLine) {
  WireModel wire;
  wire.SetLine(9600, 10);  // 960 bytes a second
  wire.Send(std::string(96, 'x'), 0);
  EXPECT_EQ(wire.Arrive(0.0501).size(), 48u);
  EXPECT_NEAR(*wire.NextArrival(), 49.0 / 960, 1e-9);  // the 49th byte
  EXPECT_EQ(wire.Arrive(1).size(), 48u);
  EXPECT_FALSE(wire.NextArrival());

  // Ten lines a second out of a 6-byte buffer, on a line without delay.
  WireModel printer;
  printer.SetPrinter(10, 6);
  printer.Send("ab\ncd\nef\ngh\n", 0);
  EXPECT_EQ(printer.Arrive(0), "ab\ncd\n");
  EXPECT_NEAR(*printer.NextArrival(), 0.1, 1e-9);
  EXPECT_EQ(printer.Arrive(0.1), "ef\n");
  EXPECT_EQ(printer.Arrive(0.25), "gh\n");
}

TEST(EscPosDecoder, ReceiptStream) {
  const std::string stream =
      "\x1B\x56\x00\r\n"                               // rotation off, as a line
      "\x1B\x61\x31\x1B\x21\x30" "NEGOZIO\r\n"         // centred, double width and height
      "\x1B\x61\x30\x1B\x21\x00" "Caff\xE8 \x80 1,00\r\n"
      "\x1B\x61\x32" "TOTALE\x1B\x21\x20 9\r\n"        // size changed inside the line
      "\x1B\x64\x02"
      "\x1D\x68\x50\x1D\x77\x03\x1D\x48\x02\x1D\x6B\x03" "80176336"s + std::string(1, '\0') +
      "\x1D\x6B\x49\x04{BAB"
      "\x1B\x70\x00\x19\xFA"
      "\x1D\x2F\x00\x0A"
      "\x1D\x28\x4C\x06\x00\x30\x45\x20\x20\x01\x01"
      "\x1D\x2A\x01\x01"s + std::string(8, '\xFF') +
      "\x1B\x4A\x31"
      "\x1D\x56\x42\r\n"
      "\x1B\x74\x10\x1B\xFE\x01\r\n"s;
  EscPosDecoder d;
  const std::string out = d.Feed(stream) + d.Finish();
  EXPECT_EQ(out,
            "[L]\n"
            "[C DW DH] NEGOZIO\n"
            "[L] Caff\xC3\xA8 \xE2\x82\xAC 1,00\n"
            "[R] TOTALE{DW} 9\n"
            "<feed 2 lines>\n"
            "<barcode EAN8 \"80176336\", height 80, width 3, HRI below>\n"
            "<barcode CODE128 \"{BAB\", height 80, width 3, HRI below>\n"
            "<drawer pulse pin 2: on 50 ms, off 500 ms>\n"
            "<logo print, mode 0>\n"
            "[R DW]\n"
            "<stored logo print, key \"  \", scale 1x1>\n"
            "<logo defined, 8x8 dots>\n"
            "<feed 49 motion units>\n"
            "<cut partial>\n"
            "==========================================\n"
            "[R DW]\n"
            "<code table 16>\n"
            "<unknown 1B FE>\n"
            "[R DW] <01>\n");

  // Fed one byte at a time the decoding is the same.
  EscPosDecoder bytewise;
  std::string piecewise;
  for (char c : stream) piecewise += bytewise.Feed(std::string_view(&c, 1));
  EXPECT_EQ(piecewise + bytewise.Finish(), out);
}

TEST(EscPosDecoder, IncompleteAndRunawayCommands) {
  EscPosDecoder d;
  EXPECT_EQ(d.Feed("abc\x1B"), "");
  EXPECT_EQ(d.Finish(), "[L] abc\n<incomplete 1B>\n");
  // A barcode whose terminator never comes does not swallow the receipt.
  EscPosDecoder runaway;
  const std::string out = runaway.Feed("\x1D\x6B\x02" + std::string(300, '7') + "\r\n");
  EXPECT_THAT(out, HasSubstr("<unknown 1D 6B 02>"));
  EXPECT_THAT(out, HasSubstr("[L] 777"));
}

TEST(EscPosDecoder, PageItemsForDrawing) {
  EscPosDecoder d;
  d.EnablePage();
  // Centred "AB" then double-width "C" on one line, a raster image, a feed, a cut.
  d.Feed("\x1B" "a1AB\x1B!\x20" "C\n"
         "\x1Dv0\x00\x01\x00\x02\x00\x80\x01"
         "\x1B" "d\x02\x1DV\x41\x00"s);
  d.Finish();
  using Kind = preview::PageItem::Kind;
  const preview::Page& page = d.page();
  ASSERT_EQ(page.size(), 4u);
  EXPECT_EQ(page[0].kind, Kind::kText);
  EXPECT_EQ(page[0].align, preview::Align::kCenter);
  ASSERT_EQ(page[0].runs.size(), 2u);
  EXPECT_EQ(page[0].runs[0].text, "AB");
  EXPECT_FALSE(page[0].runs[0].double_width);
  EXPECT_TRUE(page[0].runs[1].double_width);
  ASSERT_EQ(page[1].kind, Kind::kImage);
  EXPECT_EQ(page[1].image.width(), 8);
  EXPECT_TRUE(page[1].image.At(0, 0));
  EXPECT_TRUE(page[1].image.At(7, 1));
  EXPECT_FALSE(page[1].image.At(1, 0));
  EXPECT_EQ(page[2].dots, 60);
  EXPECT_TRUE(page[3].full_cut);
}

}  // namespace
}  // namespace dovevid::vprinter
