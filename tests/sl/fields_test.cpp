#include "sl/fields.h"

#include <gtest/gtest.h>

#include "fake_env.h"

namespace dovevid::sl {
namespace {

constexpr int kMax = 37;  // row length 32 + 5

TEST(FindFieldTest, KeywordModeLooksAtTheFirstFiveCharactersOnly) {
  std::string v = "untouched";
  EXPECT_EQ(FindField(true, &v, "cash,V100;", "CASH"), 1);
  EXPECT_EQ(FindField(true, &v, " CASH,V100;", "CASH"), 1);  // may start at position 2
  EXPECT_EQ(FindField(true, &v, "  CASH", "CASH"), 0);        // not at position 3
  EXPECT_EQ(FindField(true, &v, "XPLUD,P1;", "PLUD,"), 0);   // "PLUD," needs position 1
  EXPECT_EQ(FindField(true, &v, "SALE;", "SALE,"), 0);
  EXPECT_EQ(FindField(true, &v, "SUB", "SUBT"), 0);  // shorter than the key
}

TEST(FindFieldTest, FieldModeFindsTheFirstOccurrenceWithoutRegardToCase) {
  std::string v = "untouched";
  EXPECT_EQ(FindField(false, &v, "SALE,N1,p250,P999;", ",P"), 1);
  EXPECT_EQ(v, "250");
  EXPECT_EQ(FindField(false, &v, "SALE,N1,:ACQUA MINERALE;", ",:"), 1);
  EXPECT_EQ(v, "ACQUA MINERALE");
  EXPECT_EQ(FindField(false, &v, "SALE,N1,R", ",R"), 1);  // at the very end: empty value
  EXPECT_EQ(v, "");
  v = "kept";
  EXPECT_EQ(FindField(false, &v, "SALE,N1;", ",Q"), 0);
  EXPECT_EQ(v, "kept");
  EXPECT_EQ(GetField("CASH,V500", ",V"), "500");  // no ";": to the end
  EXPECT_EQ(GetField("CASH,V500", ",Q"), std::nullopt);
}

TEST(NormalizeTest, KeywordAndFieldsAreUpperCasedTextKeptAndSemicolonAppended) {
  EXPECT_EQ(NormalizeSlRecord("sale,p100,:acqua", kMax), "SALE,P100,:acqua;");
  EXPECT_EQ(NormalizeSlRecord("SALE,Q 2.5 ,P1.250,:X", kMax), "SALE,Q2.500,P1.25,:X;");
  EXPECT_EQ(NormalizeSlRecord("SALEX,P100;", kMax), "SALE,P100;");
  EXPECT_EQ(NormalizeSlRecord("", kMax), "");
  EXPECT_EQ(NormalizeSlRecord("SUBT", kMax), "SUBT;");
  EXPECT_EQ(NormalizeSlRecord("tend,n1,v500", kMax), "TEND,N1,V500;");
}

TEST(NormalizeTest, CanonicalNumbersDependOnKeywordAndTag) {
  EXPECT_EQ(NormalizeSlRecord("SALE,N01,Q1.000,P12.50;", kMax), "SALE,N1,Q1,P12.5;");
  EXPECT_EQ(NormalizeSlRecord("SALE,Q1.23456;", kMax), "SALE,Q1.234;");  // cut, not rounded
  EXPECT_EQ(NormalizeSlRecord("SALE,Q.5;", kMax), "SALE,Q0.500;");
  EXPECT_EQ(NormalizeSlRecord("SALE,N-3;", kMax), "SALE,N3;");
  EXPECT_EQ(NormalizeSlRecord("SALE,V007,C05;", kMax), "SALE,V007,C05;");  // kept for SALE
  EXPECT_EQ(NormalizeSlRecord("DISC,%10", kMax), "DISC,%10;");
  EXPECT_EQ(NormalizeSlRecord("DISC,%10.5", kMax), "DISC,%10.50;");
  EXPECT_EQ(NormalizeSlRecord("MOST,%7.256", kMax), "MOST,%7.25;");
  EXPECT_EQ(NormalizeSlRecord("CASH,%10.5", kMax), "CASH,%10.5;");  // % only for the four
  EXPECT_EQ(NormalizeSlRecord("CASH,V00500;", kMax), "CASH,V500;");
  EXPECT_EQ(NormalizeSlRecord("OPER,C007;", kMax), "OPER,C7;");
  EXPECT_EQ(NormalizeSlRecord("PLUD,C007,P010;", kMax), "PLUD,C007,P10;");
  EXPECT_EQ(NormalizeSlRecord("CLER,V007;", kMax), "CLER,V007;");
  EXPECT_EQ(NormalizeSlRecord("CASH,V1.2.3;", kMax), "CASH,V0;");  // not a number reads 0
}

TEST(NormalizeTest, BareTagsAndEmptyFields) {
  EXPECT_EQ(NormalizeSlRecord("PRNT,W,H;", kMax), "PRNT,W1,H1;");
  EXPECT_EQ(NormalizeSlRecord("SALE,R,P100;", kMax), "SALE,R,P100;");
  EXPECT_EQ(NormalizeSlRecord("SALE,s;", kMax), "SALE,S;");
  EXPECT_EQ(NormalizeSlRecord("SALE,,P100", kMax), "SALE,P100;");
  EXPECT_EQ(NormalizeSlRecord("SALE,P100,", kMax), "SALE,P100,;");
}

TEST(NormalizeTest, TextFields) {
  // The TOTALE replacement is case-sensitive and keeps the length.
  EXPECT_EQ(NormalizeSlRecord("PRNT,:TOTALE SPESA;", kMax), "PRNT,:TOT.   SPESA;");
  EXPECT_EQ(NormalizeSlRecord("PRNT,:totale", kMax), "PRNT,:tot.  ;");
  EXPECT_EQ(NormalizeSlRecord("PRNT,:Totale", kMax), "PRNT,:Totale;");
  EXPECT_EQ(NormalizeSlRecord("SALE,P1,:", kMax), "SALE,P1,: ;");
  EXPECT_EQ(NormalizeSlRecord("SALE,P1,X:abc", kMax), "SALE,P1,:abc;");  // from the first ":"
  EXPECT_EQ(NormalizeSlRecord("SALE,:A\tB", kMax), "SALE,:AB;");
  // Cut to the maximum length counted after the ":".
  const std::string long_text(45, 'A');
  EXPECT_EQ(NormalizeSlRecord("SALE,:" + long_text, kMax), "SALE,:" + std::string(37, 'A') + ";");
  EXPECT_EQ(NormalizeSlRecord("SALE,:" + std::string(37, 'A'), kMax),
            "SALE,:" + std::string(37, 'A') + ";");
}

TEST(NormalizeTest, CharacterTable) {
  EXPECT_EQ(NormalizeSlRecord("SALE,:CAFF\xC8 & T\xE8", kMax), "SALE,:CAFFE e Te;");
  EXPECT_EQ(NormalizeSlRecord("SALE,:\x80\x82\x8A\x85\x87\x8D\x95\x97\x9C", kMax),
            "SALE,:EeeaciouL;");
  EXPECT_EQ(NormalizeSlRecord("SALE,:\xC4\xE4\xD6\xF6\xDC\xFC\xF5\xF8", kMax),
            "SALE,:AEaeOEoeUEue  ;");
  EXPECT_EQ(NormalizeSlRecord("SALE,:\xC0\xC1\xCC\xCD\xD2\xD3\xD9\xDA\xE0\xE1\xEC\xED\xF2\xF3\xF9\xFA",
                              kMax),
            "SALE,:AAIIOOUUaaiioouu;");
  // Expansion happens before the cut.
  EXPECT_EQ(NormalizeSlRecord("SALE,:" + std::string(36, 'A') + "\xC4", kMax),
            "SALE,:" + std::string(37, 'A') + ";");
  // Bytes outside the table pass unchanged.
  EXPECT_EQ(NormalizeSlRecord("SALE,:\xA9\x01", kMax), "SALE,:\xA9\x01;");
}

TEST(DispatchTest, RowsInTableOrder) {
  EXPECT_EQ(ClassifySlRecord("SALE,N1,P100;"), SlCommand::kSale);
  EXPECT_EQ(ClassifySlRecord("PLUD,P100;"), SlCommand::kSale);
  EXPECT_EQ(ClassifySlRecord("CASH;"), SlCommand::kCash);
  EXPECT_EQ(ClassifySlRecord("TEND,N1,V500;"), SlCommand::kCash);
  EXPECT_EQ(ClassifySlRecord("TEND,N2;"), SlCommand::kCheq);
  EXPECT_EQ(ClassifySlRecord("TEND,N3;"), SlCommand::kCard);
  EXPECT_EQ(ClassifySlRecord("TEND,N4;"), SlCommand::kTend);
  EXPECT_EQ(ClassifySlRecord("TEND,N5;"), SlCommand::kTend);
  EXPECT_EQ(ClassifySlRecord("tend,N1;"), SlCommand::kTend);  // TEND,Nn only as written
  EXPECT_EQ(ClassifySlRecord("OPER;"), SlCommand::kNone);
  EXPECT_EQ(ClassifySlRecord("CLER;"), SlCommand::kNone);
  EXPECT_EQ(ClassifySlRecord("DEXT,:CIAO"), SlCommand::kDext);
  EXPECT_EQ(ClassifySlRecord(""), SlCommand::kNone);
}

TEST(DispatchTest, WhichLinesAreNormalised) {
  EXPECT_EQ(ClassifyReceiptLine("xXxX,anything"), LineKind::kSkipped);
  EXPECT_EQ(ClassifyReceiptLine("SU"), LineKind::kAsIs);
  EXPECT_EQ(ClassifyReceiptLine("DEXT,:a,b"), LineKind::kAsIs);
  EXPECT_EQ(ClassifyReceiptLine("dext,:a"), LineKind::kNormalised);
  EXPECT_EQ(ClassifyReceiptLine("PRNT,:caff\xE8"), LineKind::kPrintLine);
  EXPECT_EQ(PrepareReceiptLine("PRNT,:caff\xE8", kMax), "PRNT,:caff\xE8");
  EXPECT_EQ(PrepareReceiptLine("tend,n1,v500", kMax), "TEND,N1,V500;");
  EXPECT_EQ(ClassifySlRecord(PrepareReceiptLine("tend,n1,v500", kMax)), SlCommand::kCash);
}

TEST(DataFileTest, ReprintAndInvoiceDetection) {
  EXPECT_TRUE(IsReprintRequest("rlpr\r\nSALE,P1"));
  EXPECT_FALSE(IsReprintRequest("SALE,P1\r\nRLPR"));
  EXPECT_FALSE(IsReprintRequest(""));
  EXPECT_TRUE(IsInvoiceData("SALE,P1\r\nOPFS,V1500\r\n"));
  EXPECT_FALSE(IsInvoiceData("opfs,V1500\r\nSALE,P1\r\n"));
  EXPECT_FALSE(IsInvoiceData("SALE,P1\nOPFS,V1500\r\n"));  // a lone LF does not end a line

  testing::FakeEnv env;
  env.SetFile("/d/a", "RLPR\r\n");
  env.SetFile("/d/b", "OPFS,N1\r\n");
  env.SetFile("/d/e", "");
  EXPECT_TRUE(VerificaStampaCopia(env, "/d/a"));
  EXPECT_FALSE(VerificaStampaCopia(env, "/d/e"));
  EXPECT_FALSE(VerificaStampaCopia(env, "/d/missing"));
  EXPECT_TRUE(VerificaFattura(env, "/d/b"));
  EXPECT_FALSE(VerificaFattura(env, "/d/a"));
}

}  // namespace
}  // namespace dovevid::sl
