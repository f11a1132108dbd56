// The receipt renderer on whole SL files, row length 32 and the label words
// empty (fallbacks in force) unless a test says otherwise. Expected rows are
// spelt out with their blank counts.
#include "sl/receipt.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config/schema.h"
#include "fake_env.h"
#include "recording_operator.h"

namespace dovevid::sl {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::string B(int n) { return std::string(static_cast<size_t>(n), ' '); }

std::string Join(std::initializer_list<std::string> lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\r\n";
  return out;
}

using RecordingOperator = ::dovevid::testing::RecordingOperator;

class RecordingDisplay : public CustomerDisplay {
 public:
  int RowWidth() const override { return 20; }
  void SendToDisplay(const std::string& row1, const std::string& row2) override {
    rows.emplace_back(row1, row2);
  }
  std::vector<std::pair<std::string, std::string>> rows;
};

class ReceiptTest : public ::testing::Test {
 protected:
  ReceiptTest() {
    env_.AddDirectory("/app");
    env_.AddDirectory("/data");
    dirs_.app_dir = "/app";
    dirs_.data_dir = "/data";
    for (auto& w : settings_.txtWords) w.clear();
    settings_.chkOptions[config::kJumpPayments] = true;  // closing blocks tested on their own
    settings_.chkOptions[config::kCalcPrintVat] = false;
    settings_.chkOptions[config::kTraceEnable] = true;
  }

  // Renders `records` (joined with CR LF) and returns KV2EP.TXT.
  std::string Render(std::initializer_list<std::string> records) {
    std::string data;
    for (const std::string& r : records) data += r + "\r\n";
    return RenderData(data);
  }
  std::string RenderData(const std::string& data) {
    env_.SetFile(kData, data);
    RenderContext ctx{env_, dirs_, settings_, rates_, trace_, op_, display_, DateTime{}};
    result_ = SimulazioneScontrino(ctx, kData);
    return env_.File("/data/KV2EP.TXT");
  }
  std::string TraceFile() { return env_.File("/data/ErrorLog_07_03_2026.txt"); }

  static constexpr char kData[] = "/data/SR_DATI.001";
  testing::FakeEnv env_;
  config::Directories dirs_;
  config::Settings settings_;
  VatRates rates_{};
  TraceLog trace_{env_, [this] { return settings_.Option(config::kTraceEnable); },
                  [] { return std::string("/data"); }};
  RecordingOperator op_;
  RecordingDisplay display_;
  RenderResult result_;
};

TEST_F(ReceiptTest, SaleLines) {
  EXPECT_EQ(Render({"SALE,N1,P250,:ACQUA"}), Join({"ACQUA" + B(23) + "2,50"}));
  EXPECT_EQ(result_.result, 0);
  EXPECT_EQ(result_.path, "/data/KV2EP.TXT");
  EXPECT_TRUE(result_.completed);

  EXPECT_EQ(Render({"SALE,N2,Q3,P100,:PANE"}),
            Join({"3    X    1,00", "PANE" + B(24) + "3,00"}));
  // 497.5 cents: halves go to the even cent, up here and down below.
  EXPECT_EQ(Render({"SALE,Q2.500,P199,:MELE"}),
            Join({"2,500    X    1,99", "MELE" + B(24) + "4,98"}));
  EXPECT_EQ(Render({"SALE,Q1.5,P199,:MELE"}),
            Join({"1,500    X    1,99", "MELE" + B(24) + "2,98"}));
  EXPECT_EQ(Render({"SALE,N1,R,P250,:ACQUA"}),
            Join({" *** RESO *** ", "ACQUA" + B(22) + "-2,50"}));
  settings_.txtWords[29] = "*** RESO ***";
  EXPECT_EQ(Render({"sale,n1,r,p250,:ACQUA"}), Join({"*** RESO ***", "ACQUA" + B(22) + "-2,50"}));
  // No text field: an empty description.
  EXPECT_EQ(Render({"PLUD,P5"}), Join({B(28) + "0,05"}));
}

TEST_F(ReceiptTest, LongDescriptionsAreCutToLeaveFourBlanks) {
  const std::string forty = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd";
  EXPECT_EQ(Render({"SALE,N1,P250,:" + forty}),
            Join({"ABCDEFGHIJKLMNOPQRSTUVWX" + B(4) + "2,50"}));
  // 28 + 4 characters fill the row exactly: that already counts as too long.
  EXPECT_EQ(Render({"SALE,N1,P250,:" + forty.substr(0, 28)}),
            Join({"ABCDEFGHIJKLMNOPQRSTUVWX" + B(4) + "2,50"}));
  EXPECT_EQ(Render({"SALE,N1,P250,:" + forty.substr(0, 27)}),
            Join({forty.substr(0, 27) + B(1) + "2,50"}));
}

TEST_F(ReceiptTest, PriceDecimalsAreExact) {
  EXPECT_EQ(Render({"SALE,P290,Z3,:A"}), Join({"A" + B(27) + "0,29"}));
  EXPECT_EQ(Render({"SALE,P12345,Z3,:A"}), Join({"A" + B(26) + "12,34"}));
  EXPECT_EQ(Render({"SALE,P125,Z1,:A"}), Join({"A" + B(26) + "12,50"}));
  EXPECT_EQ(Render({"SALE,P7,Z0,:A"}), Join({"A" + B(27) + "7,00"}));
  EXPECT_EQ(Render({"SALE,P12345,Z9,:A"}), Join({"A" + B(26) + "12,34"}));  // above 3 is 3
  EXPECT_EQ(Render({"SALE,P12.99,:A"}), Join({"A" + B(27) + "0,12"}));      // integer part
}

TEST_F(ReceiptTest, FractionalDepartments) {
  settings_.chkOptions[config::kJumpPayments] = false;
  settings_.chkOptions[config::kCalcPrintVat] = true;
  // 2.5 rounds to entry 2 (code C); 0.01 rounds to entry -1, which is no
  // entry: the step fails and the sale posts at rate 0.
  EXPECT_EQ(Render({"SALE,N2.5,P116", "SALE,N0.01,P100"}),
            Join({B(28) + "1,16", B(28) + "1,00", B(32), "IMPONIBILE 16,00%" + B(11) + "1,00",
                  "IVA 16,00%" + B(18) + "0,16", "ESENTE 0,00%" + B(16) + "1,00",
                  "TOTAL " + B(22) + "1,00"}));
  EXPECT_THAT(op_.messages, ElementsAre("err_SimulazioneScontrino: Subscript out of range 9"));
}

TEST_F(ReceiptTest, AmountsBeyond32BitsOfProduct) {
  // 30 000,00 x 1: the product 3 000 000 x 1000 needs more than 32 bits.
  EXPECT_EQ(Render({"SALE,N1,P3000000,:TV", "SUBT"}),
            Join({"TV" + B(22) + "30000,00", "SUBTOTALE " + B(14) + "30000,00"}));
  EXPECT_THAT(op_.messages, IsEmpty());
  // An amount that does not fit 32 bits fails its step: reported, posted as
  // nothing, the rendering goes on.
  EXPECT_EQ(Render({"SALE,N1,Q1000,P3000000,:TV", "SUBT"}),
            Join({"1000    X    30000,00", "TV" + B(26) + "0,00", "SUBTOTALE " + B(18) + "0,00"}));
  EXPECT_THAT(op_.messages, ElementsAre("err_SimulazioneScontrino: Overflow 6"));
  EXPECT_THAT(TraceFile(), ::testing::HasSubstr("err_SimulazioneScontrino | 07-03-2026 09:05:12 | Overflow | 6\r\n"));
  // The receipt total overflows on the second sale.
  op_.messages.clear();
  EXPECT_EQ(Render({"SALE,P2000000000", "SALE,P2000000000", "SUBT"}),
            Join({B(21) + "20000000,00", B(21) + "20000000,00", "SUBTOTALE " + B(11) + "20000000,00"}));
  // Both the VAT bucket and the total refuse the second amount.
  EXPECT_THAT(op_.messages, ElementsAre("err_SimulazioneScontrino: Overflow 6",
                                        "err_SimulazioneScontrino: Overflow 6"));
}

TEST_F(ReceiptTest, PercentageAdjustments) {
  EXPECT_EQ(Render({"SALE,N1,P250,:ACQUA", "DISC,%10"}),
            Join({"ACQUA" + B(23) + "2,50", "SCONTO ART 10.00%" + B(10) + "-0,25"}));
  // 199 x 12.5 % = 24.875 cents: 24.88, then 25.
  EXPECT_EQ(Render({"SALE,N1,P199", "DISC,%12.5"}),
            Join({B(28) + "1,99", "SCONTO ART 12.50%" + B(10) + "-0,25"}));
  EXPECT_EQ(Render({"DISC,%10", "MAGG,%10", "DOST,%10", "MOST,%10"}), "");  // no item yet
  EXPECT_EQ(Render({"SALE,N1,P250", "DISC,%100", "SUBT"}),
            Join({B(28) + "2,50", "SCONTO ART 100.00%" + B(9) + "-2,50",
                  "SUBTOTALE " + B(18) + "0,00"}));
  EXPECT_EQ(Render({"SALE,N1,P250", "MAGG,%10,:EXTRA"}),
            Join({B(28) + "2,50", "EXTRA" + B(23) + "0,25"}));
  EXPECT_EQ(Render({"SALE,P1000", "SALE,P500", "DOST,%10", "MOST,%5", "SUBT"}),
            Join({B(27) + "10,00", B(28) + "5,00", "SCONTO SUBT 10.00%" + B(9) + "-1,50",
                  "MAGG. SUBT 5.00%" + B(12) + "0,68", "SUBTOTALE " + B(17) + "14,18"}));
  // A discount on a returned item gives money back: positive.
  EXPECT_EQ(Render({"SALE,R,P199", "DISC,%12.5"}),
            Join({" *** RESO *** ", B(27) + "-1,99", "SCONTO ART 12.50%" + B(11) + "0,25"}));
  settings_.txtWords[25] = "SC.";
  EXPECT_EQ(Render({"SALE,P100", "DISC,%7.5", "DISC"}),
            Join({B(28) + "1,00", "SC. 7.50%" + B(18) + "-0,08"}));
}

TEST_F(ReceiptTest, FixedAdjustmentsAndTheirSignsOnReturns) {
  EXPECT_EQ(Render({"SALE,P1000", "COUP,V100", "COST,V100", "ADDI,V50", "ADDS,V50", "SUBT"}),
            Join({B(27) + "10,00", "SCONTO SU ITEM" + B(13) + "-1,00",
                  "SCONTO SU SUBT." + B(12) + "-1,00", "MAGG. SU ITEM" + B(15) + "0,50",
                  "MAGG. SU SUBT." + B(14) + "0,50", "SUBTOTALE " + B(18) + "9,00"}));
  EXPECT_EQ(Render({"SALE,R,P1000", "COUP,V100", "COST,V100", "ADDI,V50", "ADDS,V50",
                    "COUP,:PROMO,V1", "SUBT"}),
            Join({" *** RESO *** ", B(26) + "-10,00", "SCONTO SU ITEM" + B(14) + "1,00",
                  "SCONTO SU SUBT." + B(12) + "-1,00", "MAGG. SU ITEM" + B(14) + "-0,50",
                  "MAGG. SU SUBT." + B(14) + "0,50", "PROMO" + B(23) + "0,01",
                  "SUBTOTALE " + B(17) + "-9,99"}));
  EXPECT_EQ(Render({"COUP,V100", "SALE,P100", "COST"}), Join({B(28) + "1,00"}));
}

TEST_F(ReceiptTest, SubtotalAdjustmentsAndVatBuckets) {
  settings_.chkOptions[config::kJumpPayments] = false;
  settings_.chkOptions[config::kCalcPrintVat] = true;
  // COST leaves bucket A at 10,00 (taxable 1000 x 10000 / 10400 = 961.5 -> 962).
  EXPECT_EQ(Render({"SALE,N1,P1000", "COST,V100", "SUBT"}),
            Join({B(27) + "10,00", "SCONTO SU SUBT." + B(12) + "-1,00",
                  "SUBTOTALE " + B(18) + "9,00", B(32), "IMPONIBILE 4,00%" + B(12) + "9,62",
                  "IVA 4,00%" + B(19) + "0,38", "TOTAL " + B(22) + "9,62"}));
  // DOST moves both to 9,00 (865.38 -> 865).
  EXPECT_EQ(Render({"SALE,N1,P1000", "DOST,%10", "SUBT"}),
            Join({B(27) + "10,00", "SCONTO SUBT 10.00%" + B(9) + "-1,00",
                  "SUBTOTALE " + B(18) + "9,00", B(32), "IMPONIBILE 4,00%" + B(12) + "8,65",
                  "IVA 4,00%" + B(19) + "0,35", "TOTAL " + B(22) + "8,65"}));
}

TEST_F(ReceiptTest, VatSummary) {
  settings_.chkOptions[config::kJumpPayments] = false;
  settings_.chkOptions[config::kCalcPrintVat] = true;
  EXPECT_EQ(Render({"SALE,N4,P1220", "SALE,N9,P500"}),
            Join({B(27) + "12,20", B(28) + "5,00", B(32), "IMPONIBILE 22,00%" + B(10) + "10,00",
                  "IVA 22,00%" + B(18) + "2,20", "ESENTE 0,00%" + B(16) + "5,00",
                  "TOTAL " + B(21) + "10,00"}));
  // Taxable amounts in 64 bits: 3000,00 x 10000 does not fit 32.
  // 300000 x 10000 / 12200 = 245901.6 -> 245902.
  EXPECT_EQ(Render({"SALE,N4,P300000"}),
            Join({B(25) + "3000,00", B(32), "IMPONIBILE 22,00%" + B(8) + "2459,02",
                  "IVA 22,00%" + B(16) + "540,98", "TOTAL " + B(19) + "2459,02"}));
  EXPECT_THAT(op_.messages, IsEmpty());
  // A code whose bucket is 0 or less is left out; a return can empty it.
  EXPECT_EQ(Render({"SALE,N1,P100", "SALE,N1,R,P100", "SALE,N2,P100"}),
            Join({B(28) + "1,00", " *** RESO *** ", B(27) + "-1,00", B(28) + "1,00", B(32),
                  "IMPONIBILE 10,00%" + B(11) + "0,91", "IVA 10,00%" + B(18) + "0,09",
                  "TOTAL " + B(22) + "0,91"}));
}

TEST_F(ReceiptTest, VatRatesComeFromTheFileAndDefaultsAreWritten) {
  settings_.chkOptions[config::kJumpPayments] = false;
  settings_.chkOptions[config::kCalcPrintVat] = true;
  Render({"SALE,N1,P104"});
  EXPECT_EQ(env_.File("/app/KVVALIVA.txt"), "400\r\n1000\r\n1600\r\n2200\r\n0\r\n");
  // D has rate 0 now: department 5 posts to D, the first code of rate 0.
  env_.SetFile("/app/KVVALIVA.txt", "500\r\n1000\r\n2200\r\n0\r\n");
  EXPECT_EQ(Render({"SALE,N1,P105", "SALE,N5,P300"}),
            Join({B(28) + "1,05", B(28) + "3,00", B(32), "IMPONIBILE 5,00%" + B(12) + "1,00",
                  "IVA 5,00%" + B(19) + "0,05", "ESENTE 0,00%" + B(16) + "3,00",
                  "TOTAL " + B(22) + "1,00"}));
}

TEST_F(ReceiptTest, TotalTendersAndChange) {
  EXPECT_EQ(Render({"SALE,N1,P1000", "CASH,V2000"}),
            Join({B(27) + "10,00", std::string(32, '='), "TOTALE" + B(21) + "10,00",
                  "CONTANTI" + B(19) + "20,00", "RESTO" + B(22) + "10,00"}));
  EXPECT_THAT(display_.rows,
              ElementsAre(std::pair<std::string, std::string>("TOTALE" + B(9) + "10,00", B(20)),
                          std::pair<std::string, std::string>("", "RESTO" + B(10) + "10,00")));

  // The rest is paid by the card; the total block appears once; every tender
  // that finds the receipt paid writes a change line.
  EXPECT_EQ(Render({"SALE,N1,P1000", "CASH,V500", "CARD", "CHEQ,V100"}),
            Join({B(27) + "10,00", std::string(32, '='), "TOTALE" + B(21) + "10,00",
                  "CONTANTI" + B(20) + "5,00", "CARTA CRED." + B(17) + "5,00",
                  "RESTO" + B(23) + "0,00", "ASSEGNI" + B(21) + "1,00",
                  "RESTO" + B(23) + "1,00"}));
  EXPECT_EQ(Render({"SALE,P1000", "TEND,N1,V500", "tend,n1,v500"}),
            Join({B(27) + "10,00", std::string(32, '='), "TOTALE" + B(21) + "10,00",
                  "CONTANTI" + B(20) + "5,00", "CONTANTI" + B(20) + "5,00",
                  "RESTO" + B(23) + "0,00"}));
  EXPECT_EQ(Render({"SALE,P100", "TEND,N2", "TEND,N3", "TEND,N4", "TEND,N5", "TEND,:BUONO,V1"}),
            Join({B(28) + "1,00", std::string(32, '='), "TOTALE" + B(22) + "1,00",
                  "ASSEGNI" + B(21) + "1,00", "RESTO" + B(23) + "0,00",
                  "CARTA CRED." + B(17) + "0,00", "RESTO" + B(23) + "0,00",
                  "PAG. POS" + B(20) + "0,00", "RESTO" + B(23) + "0,00",
                  "PAG. POS" + B(20) + "0,00", "RESTO" + B(23) + "0,00",
                  "BUONO" + B(23) + "0,01", "RESTO" + B(23) + "0,01"}));
  // A label word replaces the fallback; "TOTALE" inside a text becomes
  // "TOT.  " while the label word is printed as it is.
  settings_.txtWords[0] = "TOTALE EURO";
  EXPECT_EQ(Render({"SALE,P100", "CASH,:TOTALE CONTANTI"}),
            Join({B(28) + "1,00", std::string(32, '='), "TOTALE EURO" + B(17) + "1,00",
                  "TOT.   CONTANTI" + B(13) + "1,00", "RESTO" + B(23) + "0,00"}));
}

TEST_F(ReceiptTest, CreditAndPaymentState) {
  settings_.chkOptions[config::kJumpPayments] = false;
  EXPECT_EQ(Render({"SALE,N1,P1000", "CRED"}),
            Join({B(27) + "10,00", std::string(32, '='), "TOTALE" + B(21) + "10,00",
                  "CREDITO" + B(20) + "10,00", B(32), "CORRISP. PAGATO" + B(13) + "0,00",
                  "CORRISP. NON PAGATO" + B(8) + "10,00", B(32)}));
  EXPECT_EQ(display_.rows.back(),
            (std::pair<std::string, std::string>("0", "CREDITO" + B(8) + "10,00")));
  EXPECT_EQ(Render({"SALE,P1000", "CASH,V400", "CRED,V100", "CRED,V200"}),
            Join({B(27) + "10,00", std::string(32, '='), "TOTALE" + B(21) + "10,00",
                  "CONTANTI" + B(20) + "4,00", "CREDITO" + B(21) + "1,00",
                  "CREDITO" + B(21) + "2,00", B(32), "CORRISP. PAGATO" + B(13) + "4,00",
                  "CORRISP. NON PAGATO" + B(9) + "3,00", B(32)}));
  EXPECT_EQ(display_.rows.back(),
            (std::pair<std::string, std::string>("400", "CREDITO" + B(9) + "2,00")));
}

TEST_F(ReceiptTest, OpfsInLowerCaseStaysAReceipt) {
  settings_.chkOptions[config::kJumpPayments] = false;
  EXPECT_EQ(Render({"opfs,V1500", "SALE,N1,P1000", "CASH", "EXTL,N1,:NOT PRINTED"}),
            Join({"OPFS,V1500;", B(28) + "EURO", B(32), B(27) + "10,00", std::string(32, '='),
                  "TOTALE" + B(21) + "15,00", "CONTANTI" + B(19) + "10,00",
                  "RESTO" + B(23) + "0,00", B(32), "CORRISP. PAGATO" + B(12) + "10,00",
                  "CORRISP. NON PAGATO" + B(9) + "0,00", B(32)}));
}

TEST_F(ReceiptTest, BodyHeaderOperatorAndDate) {
  EXPECT_EQ(Render({"OPER,C7", "OPER,C123", "OPER"}),
            Join({"OPERATORE N. 07", "OPERATORE N. 12"}));
  EXPECT_EQ(Render({"opfs", "OPER,C1", "SALE,P100"}),
            Join({"OPFS;", B(28) + "EURO", B(32), "OPERATORE N. 01", B(28) + "1,00"}));
  // CLFS clears the pending header; DATE with a text writes it anyway.
  EXPECT_EQ(Render({"opfs", "CLFS", "SALE,P100", "DATE", "DATE,:01-01-2026"}),
            Join({"OPFS;", B(28) + "1,00", B(28) + "EURO", B(32)}));
  settings_.txtWords[30] = "CASSIERE";
  EXPECT_EQ(Render({"OPNF", "OPER,C3", "CLNF", "CLER", "PLUI,P1", "ZKEY"}),
            Join({"CASSIERE N. 03"}));
}

TEST_F(ReceiptTest, PrintLines) {
  EXPECT_EQ(Render({"PRNT,:RIGA DI PROVA"}), Join({"RIGA DI PROVA"}));
  EXPECT_EQ(Render({"PRNT,:RIGA DI PROVA;"}), Join({"RIGA DI PROVA"}));
  const std::string forty(40, 'x');
  EXPECT_EQ(Render({"PRNT,:" + forty}), Join({forty.substr(0, 32), forty.substr(32)}));
  EXPECT_EQ(Render({"PRNT,:"}), Join({" "}));
  // Never normalised: the text keeps its bytes and case.
  EXPECT_EQ(Render({"PRNT,:caff\xE8 & totale"}), Join({"caff\xE8 & totale"}));
  // With fields: attributes make a TRAS line, none leave the text alone.
  // Without a text field the line is empty.
  EXPECT_EQ(Render({"PRNT,:SALDI,H1;", "PRNT,:A,W0;", "PRNT,:B,A2", "PRNT,W0,A0"}),
            Join({"TRAS,:SALDI,H1;", "A", "TRAS,:B,A2", ""}));
  // After a tender only the plain form prints.
  EXPECT_EQ(Render({"SALE,P100", "CASH", "PRNT,:SALDI,H1;", "PRNT,:GRAZIE"}),
            Join({B(28) + "1,00", std::string(32, '='), "TOTALE" + B(22) + "1,00",
                  "CONTANTI" + B(20) + "1,00", "RESTO" + B(23) + "0,00", "GRAZIE"}));
}

TEST_F(ReceiptTest, ControlLines) {
  EXPECT_EQ(Render({"CUTT,N3,T1"}), Join({"\x1B" "d\x03", "\x1DV" "B"}));
  EXPECT_EQ(Render({"CUTT"}), Join({"\x1DV" "A"}));
  // A feed of 13 lines holds a CR byte; it is written as it is.
  EXPECT_EQ(Render({"CUTT,N13,T2"}), Join({"\x1B" "d\r", "\x1DV" "A"}));
  EXPECT_EQ(Render({"OPEN"}), Join({std::string("\x1Bp\x00\x19\xFA", 5)}));
  EXPECT_EQ(Render({"OPEN,N2"}), Join({std::string("\x1Bp\x01\x19\xFA", 5)}));
  EXPECT_THAT(op_.messages, IsEmpty());
  // A feed count that is no byte fails its line; the cut follows.
  EXPECT_EQ(Render({"CUTT,N300"}), Join({"", "\x1DV" "A"}));
  EXPECT_THAT(op_.messages,
              ElementsAre("err_SimulazioneScontrino: Invalid procedure call or argument 5"));
}

TEST_F(ReceiptTest, Barcodes) {
  EXPECT_EQ(Render({"BARC,T2,H2,:80176336"}),
            Join({"\x1Dh\x50", "\x1Dw\x03", "\x1DH\x02", "\x1B" "a1", "\r\n",
                  std::string("\x1Dk\x03" "80176336\x00", 12)}));
  EXPECT_EQ(Render({"BARC,T4,H7,:AB12"}),
            Join({"\x1Dh\x50", "\x1Dw\x03", std::string("\x1DH\x00", 3), "\x1B" "a1", "\r\n",
                  "\x1Dk\x49\x04" "AB12"}));
  EXPECT_EQ(Render({"BARC,T9,:X"}),
            Join({"\x1Dh\x50", "\x1Dw\x03", std::string("\x1DH\x00", 3), "\x1B" "a1", "\r\n",
                  "\x1Dk\x48\x01X"}));
  EXPECT_EQ(Render({"BARC,T0,:123", "BARC,T10,:123", "BARC,:123", "BARC,T1"}), "");
}

TEST_F(ReceiptTest, ExtraLinesAndJumpPayments) {
  settings_.chkOptions[config::kJumpPayments] = false;
  EXPECT_EQ(Render({"EXTL,N1,:PRIMA", "EXTL,N2,:" + std::string(40, 'S'), "EXTL,:NO NUMBER",
                    "EXTL,N1,:"}),
            Join({B(32), "CORRISP. PAGATO" + B(13) + "0,00",
                  "CORRISP. NON PAGATO" + B(9) + "0,00", B(32), "PRIMA" + B(27),
                  std::string(32, 'S'), B(32)}));
  settings_.chkOptions[config::kJumpPayments] = true;
  EXPECT_EQ(Render({"SALE,P100", "EXTL,N1,:PRIMA"}), Join({B(28) + "1,00"}));
}

TEST_F(ReceiptTest, DisplayText) {
  EXPECT_EQ(Render({"DEXT,:CIAO,MONDO;"}), "");
  EXPECT_THAT(display_.rows, ElementsAre(std::pair<std::string, std::string>(
                                 "", "CIAO.MONDO;" + B(29))));
  display_.rows.clear();
  Render({"DEXT,:" + std::string(50, 'y')});
  EXPECT_THAT(display_.rows,
              ElementsAre(std::pair<std::string, std::string>("", std::string(40, 'y'))));
}

TEST_F(ReceiptTest, LabelThatLeavesNoRoomFailsItsLineOnly) {
  settings_.txtWords[0] = std::string(20, 'T');
  settings_.txtWords[8] = std::string(29, 'C');
  EXPECT_EQ(Render({"SALE,P1000", "CASH,V2000"}),
            Join({B(27) + "10,00", std::string(32, '='), std::string(20, 'T') + B(7) + "10,00",
                  "", "RESTO" + B(22) + "10,00"}));
  EXPECT_THAT(op_.messages,
              ElementsAre("err_SimulazioneScontrino: Invalid procedure call or argument 5"));
  EXPECT_THAT(TraceFile(), ::testing::HasSubstr(
                               "err_SimulazioneScontrino | 07-03-2026 09:05:12 | Invalid procedure "
                               "call or argument | 5\r\n"));
  // On the display the label gives way instead.
  EXPECT_EQ(display_.rows.front().first, std::string(15, 'T') + "10,00");
}

TEST_F(ReceiptTest, OtherRowLengths) {
  ASSERT_TRUE(config::SetSetting(settings_, "cboRowLength", "40").ok());
  EXPECT_EQ(Render({"opfs", "SALE,P250,:" + std::string(50, 'D')}),
            Join({"OPFS;", B(36) + "EURO", B(40), std::string(32, 'D') + B(4) + "2,50"}));
  ASSERT_TRUE(config::SetSetting(settings_, "cboRowLength", "24").ok());
  EXPECT_EQ(Render({"SALE,P250,:" + std::string(50, 'D'), "DISC,%10"}),
            Join({std::string(16, 'D') + B(4) + "2,50", "SCONTO ART 10.00%" + B(2) + "-0,25"}));
}

// A VAT rates file that changes between the start of the rendering and a
// sale line.
class ChangingRatesEnv : public testing::FakeEnv {
 public:
  Status ReadFile(const std::string& path, std::string* contents) override {
    if (path == "/app/KVVALIVA.txt" && ++vat_reads_ > 1) SetFile(path, "900\r\n1000\r\n1600\r\n2200\r\n");
    return FakeEnv::ReadFile(path, contents);
  }
  int vat_reads_ = 0;
};

TEST(ReceiptVatTest, UnknownRateOnTheFirstSaleEndsTheRendering) {
  ChangingRatesEnv env;
  env.AddDirectory("/app");
  env.AddDirectory("/data");
  env.SetFile("/app/KVVALIVA.txt", "400\r\n1000\r\n1600\r\n2200\r\n");
  env.SetFile("/data/SR_DATI.001", "PRNT,:PRIMA\r\nSALE,N1,P100\r\nSALE,N2,P100\r\n");
  config::Directories dirs{"/app", "/data", "/data", true};
  config::Settings settings;
  settings.chkOptions[config::kJumpPayments] = false;
  VatRates rates{};
  TraceLog trace(env, [] { return false; }, [] { return std::string("/data"); });
  RecordingOperator op;
  NoCustomerDisplay display;
  RenderContext ctx{env, dirs, settings, rates, trace, op, display, DateTime{}};
  const RenderResult r = SimulazioneScontrino(ctx, "/data/SR_DATI.001");
  EXPECT_EQ(r.result, 0);
  EXPECT_FALSE(r.completed);
  EXPECT_EQ(env.File("/data/KV2EP.TXT"), "PRIMA\r\n");  // the lines so far, no closing block
  EXPECT_THAT(op.messages, ElementsAre("Dati IVA incoerenti"));

  // After a sale with a known code, an unknown rate keeps that code.
  env.vat_reads_ = -1;
  env.SetFile("/app/KVVALIVA.txt", "400\r\n1000\r\n1600\r\n2200\r\n");
  env.SetFile("/data/SR_DATI.001", "SALE,N9,P100\r\nSALE,N1,P100\r\n");
  settings.chkOptions[config::kCalcPrintVat] = true;
  op.messages.clear();
  const RenderResult r2 = SimulazioneScontrino(ctx, "/data/SR_DATI.001");
  EXPECT_TRUE(r2.completed);
  EXPECT_THAT(op.messages, IsEmpty());
  EXPECT_EQ(env.File("/data/KV2EP.TXT"),
            Join({B(28) + "1,00", B(28) + "1,00", B(32), "ESENTE 0,00%" + B(16) + "2,00",
                  "TOTAL " + B(22) + "0,00"}));
}

TEST_F(ReceiptTest, DataFileCases) {
  // Missing: told, nothing rendered, the previous file kept for a reprint.
  env_.SetFile("/data/KV2EP.TXT", "OLD\r\n");
  RenderContext ctx{env_, dirs_, settings_, rates_, trace_, op_, display_, DateTime{}};
  result_ = SimulazioneScontrino(ctx, "/data/MISSING.001");
  EXPECT_EQ(result_.result, 1);
  EXPECT_THAT(op_.messages, ElementsAre("Il file /data/MISSING.001 non esiste"));
  EXPECT_EQ(env_.File("/data/KV2EP.TXT"), "OLD\r\n");
  // Empty: the old file is removed and none is created.
  EXPECT_EQ(RenderData(""), "<missing>");
  EXPECT_EQ(result_.result, 0);
  // Lines split at CR LF only; XXXX lines are skipped in any case.
  EXPECT_EQ(RenderData("xxxx,PRNT,:NO\r\nPRNT,:A\rB\nC\r\nPRNT,:LAST"), Join({"A\rB\nC", "LAST"}));
  // A file that cannot be written is not left behind half-written.
  env_.FailNext(testing::FakeEnv::Op::kWrite, "/data/KV2EP.TXT", 1,
                Status::Error(fault::kDeviceIo, "Device I/O error"));
  EXPECT_EQ(Render({"SALE,P100"}), "<missing>");
  EXPECT_EQ(result_.result, 1);
}

}  // namespace
}  // namespace dovevid::sl
