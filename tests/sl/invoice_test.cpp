// The invoice layout. Whole invoices are compared byte for byte by
// render_command_test.cpp on the files of data/, the data file cases are in
// receipt_test.cpp.
#include "sl/invoice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "recording_operator.h"

namespace dovevid::sl {
namespace {

using Lines = std::vector<std::string>;

std::string Blanks(size_t n) { return std::string(n, ' '); }

class InvoiceLayoutTest : public ::testing::Test {
 protected:
  InvoiceLayoutTest() {
    for (auto& word : settings.txtWords) word.clear();  // fallbacks in force
  }

  Lines Lay(const Lines& records, int row_length = 32) {
    op.messages.clear();
    layout = LayOutInvoice(records, row_length, settings, DateTime{2026, 12, 5, 10, 34, 59}, op);
    return layout.lines;
  }

  // The lines from the first one equal to `first` on, `count` of them.
  Lines From(const std::string& first, size_t count) const {
    const auto& l = layout.lines;
    const auto it = std::find(l.begin(), l.end(), first);
    return {it, it + static_cast<long>(std::min<size_t>(count, static_cast<size_t>(l.end() - it)))};
  }

  bool HasLine(const std::string& line) const {
    return std::find(layout.lines.begin(), layout.lines.end(), line) != layout.lines.end();
  }

  config::Settings settings;
  testing::RecordingOperator op;
  InvoiceLayout layout;
};

TEST_F(InvoiceLayoutTest, ItemLinesCarryTheVatLetterAndHalvesGoToEven) {
  // (Letters D and A, and 497.5 cents up to 498, are in data/invoice_*.expected.)
  Lay({"SALE,N1,P100,:ESENTE"});
  EXPECT_TRUE(HasLine("ESENTE" + Blanks(20) + "1,00 E"));  // no I: rate 0
  Lay({"SALE,Q0.5,I22,P5,:MEZZO"});  // 2.5 cents: down to the even 2
  EXPECT_TRUE(HasLine("MEZZO" + Blanks(21) + "0,02 D"));
}

TEST_F(InvoiceLayoutTest, DateTextReplacesTheDateLineEvenWithoutOpfs) {
  ASSERT_GE(Lay({"DATE,:FATTURA DEL 5/12", "SALE,I22,P100"}).size(), 4u);
  EXPECT_EQ(layout.lines[0], "FATTURA DEL 5/12");
  EXPECT_EQ(layout.lines[1], Blanks(26) + "EURO");
  EXPECT_EQ(layout.lines[3], "1    X    1,00");  // the sale does not repeat the header
}

TEST_F(InvoiceLayoutTest, UnknownFirstRateStopsButALaterOneKeepsTheLastCode) {
  EXPECT_EQ(Lay({"SALE,I5,P100"}), Lines{"1    X    1,00"});
  EXPECT_FALSE(layout.completed);
  EXPECT_EQ(op.messages, Lines{"Dati IVA incoerenti"});

  Lay({"SALE,I10,P100,:UNO", "SALE,I5,P200,:DUE"});
  EXPECT_TRUE(layout.completed);
  EXPECT_TRUE(op.messages.empty());
  EXPECT_TRUE(HasLine("DUE" + Blanks(23) + "2,00 "));  // empty letter
  EXPECT_TRUE(HasLine("IMPONIBILE B=10,00%" + Blanks(7) + "2,73 "));  // both items on B
}

TEST_F(InvoiceLayoutTest, LargeAmountsUseWideArithmeticUntilTheyLeave32Bits) {
  Lay({"SALE,I22,P3000000,:SERVER"});
  EXPECT_TRUE(op.messages.empty());
  EXPECT_TRUE(HasLine("SERVER" + Blanks(16) + "30000,00 D"));
  EXPECT_TRUE(HasLine("IMPONIBILE D=22,00%" + Blanks(3) + "24590,16 "));  // x 10000 / 12200

  Lay({"SALE,I22,P1500000000", "COST,V1000000000"});  // spread: 100 x net x bucket > 2^63
  EXPECT_TRUE(op.messages.empty());
  EXPECT_TRUE(HasLine("IMPONIBILE D=22,00% 4098360,66 "));

  Lay({"SALE,I22,Q2,P2000000000,:TROPPO"});
  EXPECT_EQ(op.messages, Lines{"6 - Overflow"});
  EXPECT_TRUE(HasLine("TROPPO" + Blanks(20) + "0,00 D"));
}

TEST_F(InvoiceLayoutTest, LabelTooLongForTheRowIsShortenedNotDropped) {
  Lay({"SALE,I22,P1000,:A", "CHEQ"}, 24);  // W = 22
  EXPECT_TRUE(HasLine("TOTALE FATTURA E 10,00"));
  EXPECT_TRUE(HasLine("IMPONIBILE D=22,0 8,20 "));
  EXPECT_TRUE(op.messages.empty());
}

TEST_F(InvoiceLayoutTest, TendersWriteTheTotalOnceNoChangeAndCreditRestReplaces) {
  Lay({"SALE,I22,P1000", "CASH,V2000"});  // no change line; all of it counts as paid
  EXPECT_EQ(From("CONTANTI" + Blanks(17) + "20,00 ", 3),
            (Lines{"CONTANTI" + Blanks(17) + "20,00 ", Blanks(32),
                   "CORRISP. PAGATO" + Blanks(10) + "20,00 "}));

  Lay({"SALE,I22,P1000", "CASH,V300", "CRED,V200", "CRED", "TEND,N4"});
  EXPECT_EQ(From("CREDITO" + Blanks(19) + "2,00 ", 6),
            (Lines{"CREDITO" + Blanks(19) + "2,00 ", "CREDITO" + Blanks(19) + "7,00 ",
                   "BANCOMAT" + Blanks(18) + "7,00 ", Blanks(32),
                   "CORRISP. PAGATO" + Blanks(10) + "10,00 ",
                   "CORRISP. NON PAGATO" + Blanks(7) + "7,00 "}));
}

TEST_F(InvoiceLayoutTest, RecordsThatWriteNothing) {
  // Receipt-only records, texts after a tender, adjustments before any item or without value.
  const Lines plain = Lay({"OPFS", "SALE,I22,P1000", "CASH"});
  EXPECT_EQ(Lay({"OPFS", "COUP,V100", "SALE,I22,P1000", "COST,:NIENTE", "DISC,%10", "SUBT",
                 "CUTT,N3", "OPEN", "BARC,T1,:123", "CASH", "PRNT,:TARDI", "EXTL,N1,:TARDI"}),
            plain);
}

TEST_F(InvoiceLayoutTest, AdjustmentsMoveBucketsAndTotals) {
  // COUP and ADDI change the item's code; COST and ADDS only the total.
  Lay({"SALE,I22,P1220", "COUP,V20,:BUONO", "ADDI,V10", "ADDS,V100", "COST,V50", "CASH"});
  EXPECT_TRUE(HasLine("TOT. FATTURA EURO" + Blanks(8) + "12,60"));
  // Bucket 1210 plus the net +50 spread over the one code: 1260 gross, 10,33 + 2,27.
  EXPECT_TRUE(HasLine("IMPONIBILE D=22,00%" + Blanks(6) + "10,33 "));
  EXPECT_TRUE(HasLine("IVA D=22,00%" + Blanks(14) + "2,27 "));
}

TEST_F(InvoiceLayoutTest, CustomerBlockTakesOpfsTextsAsSentAndExtraLines) {
  settings.txtWords[24] = "CLIENTE";
  Lay({"OPFS,N1,:CAF\xC8 & CO,<" + std::string(40, 'V') + ",>P.IVA 1;", "PRNT,:NOTA \xE8",
       "EXTL,N1,:RIGA", "EXTL,:SENZA NUMERO"});
  EXPECT_TRUE(HasLine("NOTA e"));  // other records are normalised
  EXPECT_EQ(From(" --- CLIENTE ---", 99),
            (Lines{" --- CLIENTE ---", "CAF\xC8 & CO ", std::string(30, 'V') + " ", " ",
                   "P.IVA 1 ", "RIGA" + Blanks(26) + " "}));
}

}  // namespace
}  // namespace dovevid::sl
