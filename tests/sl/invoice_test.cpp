#include "sl/invoice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/log.h"
#include "fake_env.h"
#include "recording_operator.h"

namespace dovevid::sl {
namespace {

using testing::FakeEnv;

using RecordingOperator = ::dovevid::testing::RecordingOperator;

std::string Blanks(size_t n) { return std::string(n, ' '); }

class InvoiceLayoutTest : public ::testing::Test {
 protected:
  InvoiceLayoutTest() {
    for (auto& word : settings.txtWords) word.clear();  // fallbacks in force
  }

  std::vector<std::string> Lay(const std::vector<std::string>& records, int row_length = 32,
                               InvoiceOptions options = {}) {
    layout = LayOutInvoice(records, row_length, settings, now, op, options);
    return layout.lines;
  }

  // The lines from the first one equal to `first` on, `count` of them.
  std::vector<std::string> From(const std::string& first, size_t count) const {
    for (size_t i = 0; i < layout.lines.size(); ++i) {
      if (layout.lines[i] == first) {
        const size_t end = std::min(layout.lines.size(), i + count);
        return {layout.lines.begin() + static_cast<long>(i),
                layout.lines.begin() + static_cast<long>(end)};
      }
    }
    return {};
  }

  bool HasLine(const std::string& line) const {
    return std::find(layout.lines.begin(), layout.lines.end(), line) != layout.lines.end();
  }

  config::Settings settings;
  RecordingOperator op;
  DateTime now{2026, 12, 5, 10, 34, 59};
  InvoiceLayout layout;
};

TEST_F(InvoiceLayoutTest, HeaderBlockFollowsTheInvoiceNumberAtTheFirstOperator) {
  Lay({"OPFS,N12", "OPER,C3"});
  const std::vector<std::string> expected = {"FATTURA NUM. 12", "05-12-2026   10:34",
                                             Blanks(26) + "EURO", Blanks(32), "OPERATORE N. 03"};
  EXPECT_EQ(From("FATTURA NUM. 12", 5), expected);
  EXPECT_TRUE(layout.completed);
}

TEST_F(InvoiceLayoutTest, OptionsOffDropNumberDateAndTenderLines) {
  Lay({"OPFS,N12", "SALE,I22,P1000,:ART", "CASH,V1000"}, 32, {false, false, false});
  const std::vector<std::string> expected = {Blanks(26) + "EURO", Blanks(32), "1    X    10,00"};
  ASSERT_GE(layout.lines.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(layout.lines.begin(), layout.lines.begin() + 3), expected);
  EXPECT_EQ(From("TOT. FATTURA EURO" + Blanks(8) + "10,00", 2),
            (std::vector<std::string>{"TOT. FATTURA EURO" + Blanks(8) + "10,00",
                                      Blanks(32)}));  // no CONTANTI line
}

TEST_F(InvoiceLayoutTest, DateTextReplacesTheDateLineEvenWithoutOpfs) {
  Lay({"DATE,:FATTURA DEL 5/12", "SALE,I22,P100"});
  ASSERT_GE(layout.lines.size(), 3u);
  EXPECT_EQ(layout.lines[0], "FATTURA DEL 5/12");
  EXPECT_EQ(layout.lines[1], Blanks(26) + "EURO");
  EXPECT_EQ(layout.lines[3], "1    X    1,00");  // the sale does not repeat the header
}

TEST_F(InvoiceLayoutTest, ItemLinesCarryTheVatLetter) {
  Lay({"SALE,I22,P1000,:ART", "SALE,Q2.5,I4,P199,:MELE", "SALE,N1,P100,:ESENTE"});
  const std::vector<std::string> expected = {
      "1    X    10,00",   "ART" + Blanks(22) + "10,00 D",
      "2,500    X    1,99", "MELE" + Blanks(22) + "4,98 A",  // 497.5 cents: halves to even
      "1    X    1,00",    "ESENTE" + Blanks(20) + "1,00 E"};  // no I: rate 0, N unused
  EXPECT_EQ(From("1    X    10,00", 6), expected);

  Lay({"SALE,Q0.5,I22,P5,:MEZZO"});  // 2.5 cents: down to the even 2
  EXPECT_EQ(From("0,500    X    0,05", 2),
            (std::vector<std::string>{"0,500    X    0,05", "MEZZO" + Blanks(21) + "0,02 D"}));
}

TEST_F(InvoiceLayoutTest, UnknownFirstRateStopsButALaterOneKeepsTheLastCode) {
  Lay({"SALE,I5,P100"});
  EXPECT_FALSE(layout.completed);
  EXPECT_EQ(op.messages, std::vector<std::string>{"Dati IVA incoerenti"});
  EXPECT_EQ(layout.lines, std::vector<std::string>{"1    X    1,00"});

  op.messages.clear();
  Lay({"SALE,I10,P100,:UNO", "SALE,I5,P200,:DUE"});
  EXPECT_TRUE(layout.completed);
  EXPECT_TRUE(op.messages.empty());
  EXPECT_TRUE(HasLine("DUE" + Blanks(23) + "2,00 "));  // empty letter
  // Both items went to code B.
  EXPECT_TRUE(HasLine("IMPONIBILE B=10,00%" + Blanks(7) + "2,73 "));
}

TEST_F(InvoiceLayoutTest, LargeAmountsUseWideArithmeticUntilTheyLeave32Bits) {
  Lay({"SALE,I22,P3000000,:SERVER"});
  EXPECT_TRUE(HasLine("SERVER" + Blanks(16) + "30000,00 D"));
  EXPECT_TRUE(op.messages.empty());
  // 3000000 x 10000 / 12200 needs more than 32 bits on the way.
  EXPECT_TRUE(HasLine("IMPONIBILE D=22,00%" + Blanks(3) + "24590,16 "));

  Lay({"SALE,I22,Q2,P2000000000,:TROPPO"});
  EXPECT_EQ(op.messages, std::vector<std::string>{"6 - Overflow"});
  EXPECT_TRUE(HasLine("TROPPO" + Blanks(20) + "0,00 D"));
}

TEST_F(InvoiceLayoutTest, LabelTooLongForTheRowIsShortenedNotDropped) {
  Lay({"SALE,I22,P1000,:A", "CHEQ"}, 24);  // W = 22
  EXPECT_TRUE(HasLine("TOTALE FATTURA E 10,00"));
  EXPECT_TRUE(HasLine("IMPONIBILE D=22,0 8,20 "));
  EXPECT_TRUE(op.messages.empty());
}

TEST_F(InvoiceLayoutTest, TendersWriteTheTotalOnceAndNoChange) {
  Lay({"SALE,I22,P1000", "CASH,V2000"});
  const std::vector<std::string> expected = {
      Blanks(32), "TOT. FATTURA EURO" + Blanks(8) + "10,00", "CONTANTI" + Blanks(17) + "20,00 ",
      Blanks(32), "CORRISP. PAGATO" + Blanks(10) + "20,00 "};
  EXPECT_EQ(From("TOT. FATTURA EURO" + Blanks(8) + "10,00", 4),
            std::vector<std::string>(expected.begin() + 1, expected.end()));

  Lay({"OPFS,V5000", "SALE,I22,P1000", "TEND,N2,V500", "CARD"});
  EXPECT_EQ(From("TOTALE FATTURA EURO" + Blanks(6) + "50,00", 3),
            (std::vector<std::string>{"TOTALE FATTURA EURO" + Blanks(6) + "50,00",
                                      "ASSEGNI" + Blanks(19) + "5,00 ",
                                      "CARTA CRED." + Blanks(15) + "5,00 "}));  // the rest
}

TEST_F(InvoiceLayoutTest, CreditRestReplacesWhileAValueAdds) {
  Lay({"SALE,I22,P1000", "CASH,V300", "CRED,V200", "CRED", "TEND,N4"});
  EXPECT_EQ(From("CREDITO" + Blanks(19) + "2,00 ", 3),
            (std::vector<std::string>{"CREDITO" + Blanks(19) + "2,00 ",
                                      "CREDITO" + Blanks(19) + "7,00 ",
                                      "BANCOMAT" + Blanks(18) + "7,00 "}));
  EXPECT_EQ(From("CORRISP. PAGATO" + Blanks(10) + "10,00 ", 2),
            (std::vector<std::string>{"CORRISP. PAGATO" + Blanks(10) + "10,00 ",
                                      "CORRISP. NON PAGATO" + Blanks(7) + "7,00 "}));
}

TEST_F(InvoiceLayoutTest, ReceiptOnlyRecordsAndLateTextsWriteNothing) {
  const auto plain = Lay({"SALE,I22,P1000", "CASH"});
  const auto with_extras =
      Lay({"SALE,I22,P1000", "DISC,%10", "SUBT", "CUTT,N3", "OPEN", "BARC,T1,:123", "CASH",
           "PRNT,:TARDI", "EXTL,N1,:TARDI"});
  EXPECT_EQ(with_extras, plain);
}

TEST_F(InvoiceLayoutTest, AdjustmentsMoveBucketsAndTotals) {
  // COUP and ADDI change the item's code; COST and ADDS only the total.
  Lay({"SALE,I22,P1220", "COUP,V20,:BUONO", "ADDI,V10", "ADDS,V100", "COST,V50", "CASH"});
  const std::vector<std::string> expected = {
      "BUONO" + Blanks(21) + "0,20 ", "MAGG. SU ITEM" + Blanks(13) + "0,10 ",
      "MAGG. SU SUBT." + Blanks(12) + "1,00 ", "SCONTO SU SUBT." + Blanks(11) + "0,50 ",
      Blanks(32), "TOT. FATTURA EURO" + Blanks(8) + "12,60"};
  EXPECT_EQ(From("BUONO" + Blanks(21) + "0,20 ", 6), expected);
  // Bucket 1210 plus the net +50 spread over the one code: 1260 gross, 10,33 + 2,27.
  EXPECT_EQ(From("IMPONIBILE D=22,00%" + Blanks(6) + "10,33 ", 2),
            (std::vector<std::string>{"IMPONIBILE D=22,00%" + Blanks(6) + "10,33 ",
                                      "IVA D=22,00%" + Blanks(14) + "2,27 "}));
}

TEST_F(InvoiceLayoutTest, AdjustmentsBeforeAnyItemOrWithoutValueAreIgnored) {
  const auto plain = Lay({"OPFS", "SALE,I22,P1000"});
  EXPECT_EQ(Lay({"OPFS", "COUP,V100", "SALE,I22,P1000", "COST,:NIENTE"}), plain);
}

TEST_F(InvoiceLayoutTest, SubtotalDiscountIsSpreadOverTheCodesBeforeTheSummary) {
  Lay({"SALE,I22,P1220", "SALE,I0,P500", "COST,V100"});
  // -100 over 1720: -71 on D, -29 on E.
  const std::vector<std::string> expected = {
      "IMPONIBILE D=22,00%" + Blanks(7) + "9,42 ", "IVA D=22,00%" + Blanks(14) + "2,07 ",
      "ESENTE E=0,00%" + Blanks(12) + "4,71 ",     Blanks(32),
      "TOT. IMPONIBILE" + Blanks(11) + "9,42 ",    "TOT. IVA" + Blanks(18) + "2,07 ",
      Blanks(32),                                   " --- Intestazione Cliente ---"};
  EXPECT_EQ(From(expected[0], 8), expected);
}

TEST_F(InvoiceLayoutTest, CustomerBlockTakesOpfsTextsAsSentAndExtraLines) {
  settings.txtWords[24] = "CLIENTE";
  Lay({"OPFS,N1,:CAF\xC8 & CO,<" + std::string(40, 'V') + ",>P.IVA 1;", "PRNT,:NOTA \xE8",
       "EXTL,N1,:RIGA", "EXTL,:SENZA NUMERO"});
  EXPECT_TRUE(HasLine("NOTA e"));  // other records are normalised
  const std::vector<std::string> expected = {" --- CLIENTE ---", "CAF\xC8 & CO ",
                                             std::string(30, 'V') + " ", " ", "P.IVA 1 ",
                                             "RIGA" + Blanks(26) + " "};
  EXPECT_EQ(From(" --- CLIENTE ---", 99), expected);
}

// Whole invoices through the file interface.

std::string ReadDataFile(const std::string& name) {
  std::ifstream in(std::string(INVOICE_DATA_DIR) + "/" + name, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

class SimulazioneFatturaTest : public ::testing::Test {
 protected:
  SimulazioneFatturaTest() {
    dirs.app_dir = "/app";
    dirs.data_dir = "/data";
    env.SetNow(DateTime{2026, 3, 7, 9, 5, 12});
  }

  RenderResult Render(const std::string& data) {
    env.SetFile("/data/SR_DATI.001", data);
    RenderContext ctx{env, dirs, settings, rates, trace, op, display, env.Now()};
    return SimulazioneFattura(ctx, "/data/SR_DATI.001");
  }

  FakeEnv env;
  config::Directories dirs;
  config::Settings settings;  // designed default words
  VatRates rates = DefaultVatRates();
  TraceLog trace{env, [] { return false; }, [] { return std::string("/data"); }};
  RecordingOperator op;
  NoCustomerDisplay display;
};

TEST_F(SimulazioneFatturaTest, WholeInvoicesMatchTheirExpectedBytes) {
  struct Case {
    const char* name;
    int row_length_position;
  };
  for (const Case& c : {Case{"invoice_basic", 2}, Case{"invoice_growth_r24", 0}}) {
    SCOPED_TRACE(c.name);
    config::SelectListItem(settings, config::List::kRowLength, c.row_length_position);
    const std::string data = ReadDataFile(std::string(c.name) + ".sl");
    ASSERT_FALSE(data.empty());
    const RenderResult r = Render(data);
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(r.completed);
    EXPECT_EQ(r.path, "/data/KV2EP.TXT");
    EXPECT_EQ(env.File("/data/KV2EP.TXT"), ReadDataFile(std::string(c.name) + ".expected"));
    EXPECT_TRUE(op.messages.empty());
  }
}

TEST_F(SimulazioneFatturaTest, EmptyOrMissingDataLeavesNoRenderedLines) {
  env.SetFile("/data/KV2EP.TXT", "old receipt\r\n");
  RenderResult r = Render("");
  EXPECT_EQ(r.result, 1);
  EXPECT_FALSE(r.completed);
  EXPECT_FALSE(env.HasFile("/data/KV2EP.TXT"));

  RenderContext ctx{env, dirs, settings, rates, trace, op, display, env.Now()};
  r = SimulazioneFattura(ctx, "/data/NONE.001");
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(op.messages, std::vector<std::string>{"Il file /data/NONE.001 non esiste"});
}

TEST_F(SimulazioneFatturaTest, StaleFileThatCannotBeRemovedIsNeverOffered) {
  env.SetFile("/data/KV2EP.TXT", "old receipt\r\n");
  env.FailNext(FakeEnv::Op::kRemove, "/data/KV2EP.TXT", 1,
               Status::Error(fault::kPermissionDenied, "Permission denied"));
  EXPECT_EQ(Render("").result, 1);
}

TEST_F(SimulazioneFatturaTest, StoppedInvoiceKeepsItsLinesAndWriteFaultIsTold) {
  RenderResult r = Render("OPFS,N1;\r\nSALE,I5,P100;\r\nCASH;\r\n");
  EXPECT_EQ(r.result, 0);
  EXPECT_FALSE(r.completed);
  EXPECT_EQ(env.File("/data/KV2EP.TXT"), "FATTURA NUM. 1\r\n07-03-2026   09:05\r\n" +
                                             Blanks(26) + "EURO\r\n" + Blanks(32) +
                                             "\r\n1    X    1,00\r\n");

  op.messages.clear();
  env.FailNext(FakeEnv::Op::kWrite, "/data/KV2EP.TXT", 1,
               Status::Error(fault::kDeviceIo, "Device I/O error"));
  r = Render("OPFS;\r\nSALE,I22,P100;\r\n");
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(op.messages, std::vector<std::string>{"57 - Device I/O error"});
}

}  // namespace
}  // namespace dovevid::sl
