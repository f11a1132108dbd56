// The invoice layout; whole invoices: render_command_test, data files: receipt_test.
#include "sl/invoice.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "recording_operator.h"

namespace dovevid::sl {
namespace {

using ::testing::Contains;
using ::testing::IsSupersetOf;
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
    const auto it = std::ranges::find(layout.lines, first);
    return {it, it + std::min<long>(static_cast<long>(count), layout.lines.end() - it)};
  }

  config::Settings settings;
  testing::RecordingOperator op;
  InvoiceLayout layout;
};

TEST_F(InvoiceLayoutTest, DateTextReplacesTheDateLineAndRecordsThatWriteNothing) {
  ASSERT_GE(Lay({"DATE,:FATTURA DEL 5/12", "SALE,I22,P100"}).size(), 4u);
  EXPECT_EQ(layout.lines[0], "FATTURA DEL 5/12");
  EXPECT_EQ(layout.lines[1], Blanks(26) + "EURO");
  EXPECT_EQ(layout.lines[3], "1    X    1,00");  // the sale does not repeat the header

  // Receipt-only records, texts after a tender, adjustments before any item
  // or without value write nothing.
  const Lines plain = Lay({"OPFS", "SALE,I22,P1000", "CASH"});
  EXPECT_EQ(Lay({"OPFS", "COUP,V100", "SALE,I22,P1000", "COST,:NIENTE", "DISC,%10", "SUBT",
                 "CUTT,N3", "OPEN", "BARC,T1,:123", "CASH", "PRNT,:TARDI", "EXTL,N1,:TARDI"}),
            plain);
}

TEST_F(InvoiceLayoutTest, ItemVatAndTotalLines) {
  struct Case {
    Lines records, lines, messages = {};
    int row_length = 32;
    bool completed = true;
  };
  const Case cases[] = {
      // No I: rate 0, letter E. 2.5 cents: down to the even 2. (Letters D and
      // A, and 497.5 cents up to 498, are in data/invoice_*.expected.)
      {{"SALE,N1,P100,:ESENTE"}, {"ESENTE" + Blanks(20) + "1,00 E"}},
      {{"SALE,Q0.5,I22,P5,:MEZZO"}, {"MEZZO" + Blanks(21) + "0,02 D"}},
      // An unknown first rate stops the invoice; after a known one it keeps
      // the last code, with an empty letter.
      {{"SALE,I5,P100"}, {"1    X    1,00"}, {"Dati IVA incoerenti"}, 32, false},
      {{"SALE,I10,P100,:UNO", "SALE,I5,P200,:DUE"},
       {"DUE" + Blanks(23) + "2,00 ", "IMPONIBILE B=10,00%" + Blanks(7) + "2,73 "}},
      // Wide arithmetic until the amounts leave 32 bits: x 10000 / 12200;
      // the spread 100 x net x bucket > 2^63.
      {{"SALE,I22,P3000000,:SERVER"},
       {"SERVER" + Blanks(16) + "30000,00 D", "IMPONIBILE D=22,00%" + Blanks(3) + "24590,16 "}},
      {{"SALE,I22,P1500000000", "COST,V1000000000"}, {"IMPONIBILE D=22,00% 4098360,66 "}},
      {{"SALE,I22,Q2,P2000000000,:TROPPO"}, {"TROPPO" + Blanks(20) + "0,00 D"}, {"6 - Overflow"}},
      // A label too long for the row (W = 22) is shortened, not dropped.
      {{"SALE,I22,P1000,:A", "CHEQ"},
       {"TOTALE FATTURA E 10,00", "IMPONIBILE D=22,0 8,20 "},
       {},
       24},
      // COUP and ADDI change the item's code, COST and ADDS only the total:
      // bucket 1210 plus the net +50 spread over the one code, 10,33 + 2,27.
      {{"SALE,I22,P1220", "COUP,V20,:BUONO", "ADDI,V10", "ADDS,V100", "COST,V50", "CASH"},
       {"TOT. FATTURA EURO" + Blanks(8) + "12,60", "IMPONIBILE D=22,00%" + Blanks(6) + "10,33 ",
        "IVA D=22,00%" + Blanks(14) + "2,27 "}},
  };
  for (const Case& c : cases) {
    EXPECT_THAT(Lay(c.records, c.row_length), IsSupersetOf(c.lines)) << c.records[0];
    EXPECT_EQ(op.messages, c.messages) << c.records[0];
    EXPECT_EQ(layout.completed, c.completed) << c.records[0];
  }
}

TEST_F(InvoiceLayoutTest, TendersAndTheCustomerBlock) {
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

  // The customer block takes the OPFS texts as sent, and the extra lines.
  settings.txtWords[24] = "CLIENTE";
  Lay({"OPFS,N1,:CAF\xC8 & CO,<" + std::string(40, 'V') + ",>P.IVA 1;", "PRNT,:NOTA \xE8",
       "EXTL,N1,:RIGA", "EXTL,:SENZA NUMERO"});
  EXPECT_THAT(layout.lines, Contains("NOTA e"));  // other records are normalised
  EXPECT_EQ(From(" --- CLIENTE ---", 99),
            (Lines{" --- CLIENTE ---", "CAF\xC8 & CO ", std::string(30, 'V') + " ", " ", "P.IVA 1 ",
                   "RIGA" + Blanks(26) + " "}));
}

}  // namespace
}  // namespace dovevid::sl
