#include "sl/fields.h"

#include <gtest/gtest.h>

namespace dovevid::sl {
namespace {

constexpr int kMax = 37;  // row length 32 + 5

TEST(FindFieldTest, KeywordAndFieldModes) {
  std::string v = "kept";
  // Keyword mode: the first five characters only, any case.
  EXPECT_EQ(FindField(true, &v, "cash,V100;", "CASH"), 1);
  EXPECT_EQ(FindField(true, &v, " CASH,V100;", "CASH"), 1);
  EXPECT_EQ(FindField(true, &v, "  CASH", "CASH"), 0);
  EXPECT_EQ(FindField(true, &v, "XPLUD,P1;", "PLUD,"), 0);
  EXPECT_EQ(FindField(true, &v, "SUB", "SUBT"), 0);
  // Field mode: the first occurrence anywhere, any case, up to "," or ";".
  EXPECT_EQ(FindField(false, &v, "SALE,N1,p250,P999;", ",P"), 1);
  EXPECT_EQ(v, "250");
  EXPECT_EQ(FindField(false, &v, "SALE,N1,R", ",R"), 1);
  EXPECT_EQ(v, "");
  v = "kept";
  EXPECT_EQ(FindField(false, &v, "SALE,N1;", ",Q"), 0);
  EXPECT_EQ(v, "kept");
}

TEST(NormalizeTest, Records) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"sale,p100,:acqua", "SALE,P100,:acqua;"},  // texts keep their case
      {"SALEX,P100;", "SALE,P100;"},
      {"OPFS,\t2,:A\tB", "OPFS, 2,:AB;"},  // no tab survives, not even as a tag
      {"", ""},
      // Numbers by keyword and tag.
      {"SALE,N01,Q1.000,P12.50;", "SALE,N1,Q1,P12.5;"},
      {"SALE,Q 2.5 ,Q1.23456", "SALE,Q2.500,Q1.234;"},  // three decimals, cut not rounded
      {"SALE,Q.5,N-3;", "SALE,Q0.500,N3;"},
      {"SALE,V007,C05;", "SALE,V007,C05;"},
      {"DISC,%10.5", "DISC,%10.50;"},
      {"MOST,%7.256", "MOST,%7.25;"},
      {"CASH,%10.5,V00500;", "CASH,%10.5,V500;"},  // % only for the four percentages
      {"PLUD,C007,P010;", "PLUD,C007,P10;"},
      {"CLER,V007;", "CLER,V007;"},
      {"CASH,V1.2.3;", "CASH,V0;"},
      // Bare tags and empty fields.
      {"PRNT,W,H;", "PRNT,W1,H1;"},
      {"SALE,R,s,P100;", "SALE,R,S,P100;"},
      {"SALE,,P100", "SALE,P100;"},
      {"SALE,P100,", "SALE,P100,;"},
      // Texts: the TOTALE replacement keeps the length and the case as written.
      {"PRNT,:TOTALE SPESA;", "PRNT,:TOT.   SPESA;"},
      {"PRNT,:totale,:Totale", "PRNT,:tot.  ,:Totale;"},
      {"SALE,P1,:", "SALE,P1,: ;"},
      {"SALE,P1,X:a\tb", "SALE,P1,:ab;"},
      {"SALE,:" + std::string(45, 'A'), "SALE,:" + std::string(37, 'A') + ";"},
      {"SALE,:" + std::string(37, 'A'), "SALE,:" + std::string(37, 'A') + ";"},
      // The byte table; expansion before the cut; other bytes unchanged but
      // control bytes, which become blanks.
      {"SALE,:CAFF\xC8 & T\xE8", "SALE,:CAFFE e Te;"},
      {"SALE,:\x80\x82\x8A\x85\x87\x8D\x95\x97\x9C", "SALE,:EeeaciouL;"},
      {"SALE,:\xC4\xE4\xD6\xF6\xDC\xFC\xF5\xF8", "SALE,:AEaeOEoeUEue  ;"},
      {"SALE,:\xC0\xC1\xCC\xCD\xD2\xD3\xD9\xDA\xE0\xE1\xEC\xED\xF2\xF3\xF9\xFA",
       "SALE,:AAIIOOUUaaiioouu;"},
      {"SALE,:" + std::string(36, 'A') + "\xC4", "SALE,:" + std::string(37, 'A') + ";"},
      {"SALE,:\xA9\x01", "SALE,:\xA9 ;"},
  };
  for (const auto& c : cases) EXPECT_EQ(NormalizeSlRecord(c.in, kMax), c.out) << c.in;
}

TEST(DispatchTest, TableOrderTendFormsReprintsAndInvoices) {
  const struct {
    std::string record;
    SlCommand command;
  } cases[] = {
      {"PLUD,P100;", SlCommand::kSale},    {"CASH;", SlCommand::kCash},
      {"TEND,N1,V500;", SlCommand::kCash}, {"TEND,N2;", SlCommand::kCheq},
      {"TEND,N3;", SlCommand::kCard},      {"TEND,N4;", SlCommand::kTend},
      {"tend,N1;", SlCommand::kTend},  // the TEND,Nn forms only as written
      {"OPER;", SlCommand::kNone},         {"DEXT,:CIAO", SlCommand::kDext},
      {"OPFS,N1;", SlCommand::kOpfs},      {"", SlCommand::kNone},
  };
  for (const auto& c : cases) EXPECT_EQ(ClassifySlRecord(c.record), c.command) << c.record;

  EXPECT_EQ(ClassifyReceiptLine("xXxX,anything"), LineKind::kSkipped);
  EXPECT_EQ(ClassifyReceiptLine("SU"), LineKind::kAsIs);
  EXPECT_EQ(PrepareReceiptLine("DEXT,:a,b", kMax), "DEXT,:a,b");
  EXPECT_EQ(PrepareReceiptLine("PRNT,:caff\xE8", kMax), "PRNT,:caff\xE8");
  EXPECT_EQ(PrepareReceiptLine("dext,:a", kMax), "DEXT,:a;");
  EXPECT_EQ(ClassifySlRecord(PrepareReceiptLine("tend,n1,v500", kMax)), SlCommand::kCash);
  EXPECT_FALSE(IsReprintRequest("SALE,P1\r\nRLPR"));
  EXPECT_TRUE(IsInvoiceData("SALE,P1\nOPFS,V1500\r\n"));  // LF or CR alone ends a line too
  EXPECT_FALSE(IsInvoiceData("SALE,P1,OPFS,V1500\r\n"));
}

}  // namespace
}  // namespace dovevid::sl
