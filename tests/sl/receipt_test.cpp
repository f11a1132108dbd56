// The receipt renderer on whole SL files, and the data file cases of both renderers; row
// length 32 and the label words empty (fallbacks in force) unless a test says otherwise.
#include "sl/receipt.h"

#include <functional>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config/schema.h"
#include "fake_env.h"
#include "recording_operator.h"
#include "sl/invoice.h"

namespace dovevid::sl {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Rows = std::vector<std::string>;
using DisplayRows = std::pair<std::string, std::string>;

std::string B(int n) { return std::string(static_cast<size_t>(n), ' '); }
// A 32-character amount row: label, blanks, amount.
std::string R(const std::string& label, const std::string& amount) {
  return label + B(32 - static_cast<int>(label.size() + amount.size())) + amount;
}
const std::string kRule(32, '=');

std::string Join(const Rows& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\r\n";
  return out;
}

struct Case {
  Rows records, rows, messages = {};
};

constexpr char kOverflowMessage[] = "err_SimulazioneScontrino: Overflow 6";
constexpr char kInvalidCallMessage[] =
    "err_SimulazioneScontrino: Invalid procedure call or argument 5";

struct RecordingDisplay : CustomerDisplay {
  int RowWidth() const override { return 20; }
  void SendToDisplay(const std::string& row1, const std::string& row2) override {
    rows.emplace_back(row1, row2);
    if (on_send) on_send();
  }
  std::vector<DisplayRows> rows;
  std::function<void()> on_send;  // acts in the middle of a rendering
};

class ReceiptTest : public ::testing::Test {
 protected:
  ReceiptTest() {
    for (auto& w : settings_.txtWords) w.clear();
    Closing(false, false);
  }

  void Closing(bool payments, bool vat) {
    settings_.chkOptions[config::kJumpPayments] = !payments;
    settings_.chkOptions[config::kCalcPrintVat] = vat;
  }

  // Renders `records` (joined with CR LF) and returns KV2EP.TXT.
  std::string Render(const Rows& records) { return RenderData(Join(records)); }
  std::string RenderData(const std::string& data) {
    op_.messages.clear();
    display_.rows.clear();
    env_.SetFile(kData, data);
    result_ = SimulazioneScontrino(Context(), kData);
    return env_.File("/data/KV2EP.TXT");
  }
  // The next `times` operations `op` on `path` fail.
  void FailNext(testing::FakeEnv::Op op, const std::string& path, int times = 1) {
    env_.FailNext(op, path, times, Status::Error(fault::kDeviceIo, "Device I/O error"));
  }
  RenderContext Context() {
    return {env_, dirs_, settings_, rates_, trace_, op_, display_, env_.Now()};
  }
  void Check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.records.front());
      EXPECT_EQ(Render(c.records), Join(c.rows));
      EXPECT_EQ(op_.messages, c.messages);
      EXPECT_TRUE(result_.completed);
    }
  }

  static constexpr char kData[] = "/data/SR_DATI.001";
  testing::FakeEnv env_;
  config::Directories dirs_{"/app", "/data", "/data", true};
  config::Settings settings_;
  VatRates rates_{};
  TraceLog trace_{env_, [] { return true; }, [] { return std::string("/data"); }};
  testing::RecordingOperator op_;
  RecordingDisplay display_;
  RenderResult result_;
};

TEST_F(ReceiptTest, SalesAdjustmentsTendersHeaderPrintAndControlLines) {
  const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0";
  Check({
      // 497.5 and 298.5 cents: halves go to the even cent.
      {{"SALE,Q2.500,P199,:MELE", "SALE,Q1.5,P199,:MELE"},
       {"2,500    X    1,99", R("MELE", "4,98"), "1,500    X    1,99", R("MELE", "2,98")}},
      // Exact price decimals; with the default 2 the integer part counts.
      {{"SALE,P290,Z3,:A", "SALE,P12.99,:A", "PLUD,P5"},
       {R("A", "0,29"), R("A", "0,12"), R("", "0,05")}},
      // 28 + 4 characters fill the row: already too long, cut to leave four blanks.
      {{"SALE,N1,P250,:" + letters + "a", "SALE,N1,P250,:" + letters},
       {letters.substr(0, 24) + B(4) + "2,50", letters + B(1) + "2,50"}},
      // 64-bit product; an amount beyond 32 bits fails its step, posts nothing
      // and leaves its line empty.
      {{"SALE,N1,P3000000,:TV", "SUBT"}, {"TV" + B(22) + "30000,00", R("SUBTOTALE ", "30000,00")}},
      {{"SALE,N1,Q1000,P3000000,:TV", "SUBT"},
       {"1000    X    30000,00", "", R("SUBTOTALE ", "0,00")},
       {kOverflowMessage}},
      // Both the VAT bucket and the total refuse the second amount.
      {{"SALE,P2000000000", "SALE,P2000000000", "SUBT"},
       {R("", "20000000,00"), R("", "20000000,00"), R("SUBTOTALE ", "20000000,00")},
       {kOverflowMessage, kOverflowMessage}},
      // 199 x 12.5 % = 24.875 cents: 24.88, then 25; on a return it gives money back.
      {{"SALE,N1,P199", "DISC,%12.5"}, {R("", "1,99"), R("SCONTO ART 12.50%", "-0,25")}},
      {{"SALE,R,P199", "DISC,%12.5"},
       {" *** RESO *** ", R("", "-1,99"), R("SCONTO ART 12.50%", "0,25")}},
      {{"SALE,N1,P250", "MAGG,%10,:EXTRA"}, {R("", "2,50"), R("EXTRA", "0,25")}},
      {{"SALE,P1000", "SALE,P500", "DOST,%10", "MOST,%5", "SUBT"},
       {R("", "10,00"), R("", "5,00"), R("SCONTO SUBT 10.00%", "-1,50"),
        R("MAGG. SUBT 5.00%", "0,68"), R("SUBTOTALE ", "14,18")}},
      // On a return the item adjustments change sign, the subtotal ones do not.
      {{"SALE,R,P1000", "COUP,V100", "COST,V100", "ADDI,V50", "ADDS,V50", "COUP,:PROMO,V1", "SUBT"},
       {" *** RESO *** ", R("", "-10,00"), R("SCONTO SU ITEM", "1,00"),
        R("SCONTO SU SUBT.", "-1,00"), R("MAGG. SU ITEM", "-0,50"), R("MAGG. SU SUBT.", "0,50"),
        R("PROMO", "0,01"), R("SUBTOTALE ", "-9,99")}},
      // Before any item, or without a value, an adjustment writes nothing.
      {{"DISC,%10", "MOST,%10", "COUP,V100", "SALE,P100", "COST", "DISC"}, {R("", "1,00")}},
      // The rest goes to the card; every tender that finds the receipt paid writes a change.
      {{"SALE,N1,P1000", "CASH,V500", "CARD", "CHEQ,V100"},
       {R("", "10,00"), kRule, R("TOTALE", "10,00"), R("CONTANTI", "5,00"),
        R("CARTA CRED.", "5,00"), R("RESTO", "0,00"), R("ASSEGNI", "1,00"), R("RESTO", "1,00")}},
      {{"SALE,P100", "CASH,V3000000000", "CRED,V3000000000"},
       {R("", "1,00"), kRule, R("TOTALE", "1,00"), "", ""},
       {kOverflowMessage, kOverflowMessage}},
      {{"SALE,P100", "TEND,N4", "TEND,:BUONO,V1"},
       {R("", "1,00"), kRule, R("TOTALE", "1,00"), R("PAG. POS", "1,00"), R("RESTO", "0,00"),
        R("BUONO", "0,01"), R("RESTO", "0,01")}},
      {{"OPER,C7", "OPER,C123", "OPER", "OPNF", "CLNF", "CLER", "PLUI,P1", "ZKEY"},
       {"OPERATORE N. 07", "OPERATORE N. 12"}},
      // CLFS clears the pending header; DATE with a text writes it anyway.
      {{"opfs", "CLFS", "SALE,P100", "DATE", "DATE,:01-01-2026"},
       {"OPFS;", R("", "1,00"), R("", "EURO"), B(32)}},
      // PRNT is never normalised; a text is cut into rows.
      {{"PRNT,:RIGA DI PROVA;", "PRNT,:" + std::string(40, 'x'),
        "PRNT,:", "PRNT,:caff\xE8 & totale"},
       {"RIGA DI PROVA", std::string(32, 'x'), std::string(8, 'x'), " ", "caff\xE8 & totale"}},
      // Attributes make a TRAS line, zero ones leave the text; no text, an empty line.
      {{"PRNT,:SALDI,H1;", "PRNT,:A,W0;", "PRNT,:B,A2", "PRNT,W0,A0"},
       {"TRAS,:SALDI,H1;", "A", "TRAS,:B,A2", ""}},
      // After a tender only the plain form prints.
      {{"SALE,P100", "CASH", "PRNT,:SALDI,H1;", "PRNT,:GRAZIE"},
       {R("", "1,00"), kRule, R("TOTALE", "1,00"), R("CONTANTI", "1,00"), R("RESTO", "0,00"),
        "GRAZIE"}},
      {{"SALE,P100", "EXTL,N1,:PRIMA"}, {R("", "1,00")}},  // closing blocks skipped
      // A feed of 13 lines holds a CR byte; it is written as it is.
      {{"CUTT", "CUTT,N13,T2", "OPEN"},
       {"\x1DVA", "\033d\r", "\x1DVA", std::string("\033p\0\x19\xFA", 5)}},
      // A feed count that is no byte fails its line; the cut follows.
      {{"CUTT,N300"}, {"", "\x1DVA"}, {kInvalidCallMessage}},
      // Code 128 in form B with its length; an unknown HRI position is none.
      {{"BARC,T4,H7,:AB12", "BARC,T0,:123", "BARC,T10,:123", "BARC,:123", "BARC,T1"},
       {"\x1Dh\x50", "\x1Dw\x03", std::string("\x1DH\0", 3), "\033a1", "\r\n", "\x1DkI\004AB12"}},
  });
}

TEST_F(ReceiptTest, ClosingBlocks) {
  Closing(true, false);
  Check({
      // A credit value adds up; a credit without value replaces the sum with the rest.
      {{"SALE,P1000", "CASH,V400", "CRED,V100", "CRED", "CRED,V200"},
       {R("", "10,00"), kRule, R("TOTALE", "10,00"), R("CONTANTI", "4,00"), R("CREDITO", "1,00"),
        R("CREDITO", "6,00"), R("CREDITO", "2,00"), B(32), R("CORRISP. PAGATO", "4,00"),
        R("CORRISP. NON PAGATO", "8,00"), B(32)}},
      {{"EXTL,N1,:PRIMA", "EXTL,N2,:" + std::string(40, 'S'), "EXTL,:NO NUMBER", "EXTL,N1,:"},
       {B(32), R("CORRISP. PAGATO", "0,00"), R("CORRISP. NON PAGATO", "0,00"), B(32),
        "PRIMA" + B(27), std::string(32, 'S'), B(32)}},
  });
  Closing(true, true);
  Check({
      // Department 2.5 rounds to entry 2 (C); 0.01 to entry -1: the step fails, rate 0.
      {{"SALE,N2.5,P116", "SALE,N0.01,P100"},
       {R("", "1,16"), R("", "1,00"), B(32), R("IMPONIBILE 16,00%", "1,00"),
        R("IVA 16,00%", "0,16"), R("ESENTE 0,00%", "1,00"), R("TOTAL ", "1,00")},
       {"err_SimulazioneScontrino: Subscript out of range 9"}},
      // COST leaves the bucket at 10,00 (1000 x 10000 / 10400 = 961.5 -> 962)...
      {{"SALE,N1,P1000", "COST,V100", "SUBT"},
       {R("", "10,00"), R("SCONTO SU SUBT.", "-1,00"), R("SUBTOTALE ", "9,00"), B(32),
        R("IMPONIBILE 4,00%", "9,62"), R("IVA 4,00%", "0,38"), R("TOTAL ", "9,62")}},
      // ...DOST moves it to 9,00 (865.38 -> 865).
      {{"SALE,N1,P1000", "DOST,%10", "SUBT"},
       {R("", "10,00"), R("SCONTO SUBT 10.00%", "-1,00"), R("SUBTOTALE ", "9,00"), B(32),
        R("IMPONIBILE 4,00%", "8,65"), R("IVA 4,00%", "0,35"), R("TOTAL ", "8,65")}},
      // 300000 x 10000 does not fit 32 bits; / 12200 = 245901.6 -> 245902.
      {{"SALE,N4,P300000"},
       {R("", "3000,00"), B(32), R("IMPONIBILE 22,00%", "2459,02"), R("IVA 22,00%", "540,98"),
        R("TOTAL ", "2459,02")}},
      // A bucket a return brought to 0 is left out.
      {{"SALE,N1,P100", "SALE,N1,R,P100", "SALE,N2,P100"},
       {R("", "1,00"), " *** RESO *** ", R("", "-1,00"), R("", "1,00"), B(32),
        R("IMPONIBILE 10,00%", "0,91"), R("IVA 10,00%", "0,09"), R("TOTAL ", "0,91")}},
  });
}

TEST_F(ReceiptTest, LabelWordsAndCustomerDisplay) {
  // A label word replaces the fallback; "TOTALE" inside a text becomes "TOT.  ".
  settings_.txtWords[0] = "TOTALE EURO";
  EXPECT_EQ(Render({"SALE,P100", "CASH,:TOTALE CONTANTI"}),
            Join({R("", "1,00"), kRule, "TOTALE EURO" + B(17) + "1,00",
                  "TOT.   CONTANTI" + B(13) + "1,00", R("RESTO", "0,00")}));

  // A label that leaves no room fails its line only; on the display it gives way.
  settings_.txtWords[0] = std::string(20, 'T');
  settings_.txtWords[8] = std::string(29, 'C');
  EXPECT_EQ(Render({"SALE,P1000", "CASH,V2000"}),
            Join({R("", "10,00"), kRule, std::string(20, 'T') + B(7) + "10,00", "",
                  R("RESTO", "10,00")}));
  EXPECT_THAT(op_.messages, ElementsAre(kInvalidCallMessage));
  EXPECT_THAT(env_.File("/data/ErrorLog_07_03_2026.txt"),
              HasSubstr("err_SimulazioneScontrino | 07-03-2026 09:05:12 | Invalid procedure "
                        "call or argument | 5\r\n"));
  EXPECT_EQ(display_.rows.front().first, std::string(15, 'T') + "10,00");

  EXPECT_EQ(Render({"DEXT,:CIAO,MONDO;"}), "");
  EXPECT_THAT(display_.rows, ElementsAre(DisplayRows("", "CIAO.MONDO" + B(30))));
  Render({"DEXT,:" + std::string(50, 'y')});
  EXPECT_THAT(display_.rows, ElementsAre(DisplayRows("", std::string(40, 'y'))));
  Render({"SALE,P1000", "CASH,V400", "CRED,V200"});
  EXPECT_EQ(display_.rows.back(), DisplayRows("400", "CREDITO" + B(9) + "2,00"));
}

TEST_F(ReceiptTest, VatRatesFileIncoherentDataAndAChangedFile) {
  Closing(true, true);
  constexpr char kRates[] = "/app/KVVALIVA.txt";
  // D has rate 0: department 5 posts to D, the first code of rate 0.
  env_.SetFile(kRates, "500\r\n1000\r\n2200\r\n0\r\n");
  Check({{{"SALE,N1,P105", "SALE,N5,P300"},
          {R("", "1,05"), R("", "3,00"), B(32), R("IMPONIBILE 5,00%", "1,00"),
           R("IVA 5,00%", "0,05"), R("ESENTE 0,00%", "3,00"), R("TOTAL ", "1,00")}}});

  // The rates in force (the defaults, the file being unreadable for the
  // first `reads`) give department 1 a rate the file no longer knows when the
  // sale reads it.
  const auto unreadable = [&](int reads) {
    env_.SetFile(kRates, "900\r\n1000\r\n1600\r\n2200\r\n");
    FailNext(testing::FakeEnv::Op::kRead, kRates, reads);
  };
  unreadable(1);
  EXPECT_EQ(Render({"PRNT,:PRIMA", "SALE,N1,P100", "SALE,N2,P100"}), "PRIMA\r\n");
  EXPECT_EQ(result_.result, kPrint);
  EXPECT_FALSE(result_.completed);
  EXPECT_THAT(op_.messages, ElementsAre("Dati IVA incoerenti"));
  // After a sale with a known code, an unknown rate keeps that code; once a
  // sale line has read the file, the next one takes its rates.
  unreadable(2);
  Check({{{"SALE,N9,P100", "SALE,N1,P100"},
          {R("", "1,00"), R("", "1,00"), B(32), R("ESENTE 0,00%", "2,00"), R("TOTAL ", "0,00")}}});
  unreadable(1);
  Check({{{"SALE,N9,P100", "SALE,N1,P100"},
          {R("", "1,00"), R("", "1,00"), B(32), R("IMPONIBILE 9,00%", "0,92"),
           R("IVA 9,00%", "0,08"), R("ESENTE 0,00%", "1,00"), R("TOTAL ", "0,92")}}});

  // A file changed during the receipt counts for the later lines. The second
  // sale's rate is taken before the change; its code is A all the same, and
  // the summary uses the new rate of A.
  env_.SetFile(kRates, "400\r\n1000\r\n1600\r\n2200\r\n");
  const Rows changed = {
      R("", "1,00"),          R("", "1,00"),      B(32), R("IMPONIBILE 5,00%", "1,90"),
      R("IVA 5,00%", "0,10"), R("TOTAL ", "1,90")};
  const Rows records = {"SALE,N1,P100", "DEXT,:NUOVA IVA", "SALE,N1,P100"};
  display_.on_send = [&] {
    env_.SetFile(kRates, "500\r\n1000\r\n1600\r\n2200\r\n");
    env_.AdvanceMs(1);
  };
  EXPECT_EQ(Render(records), Join(changed));
  // Unchanged, the file is not read again: a read would fail here and bring
  // the default rate of A back.
  display_.on_send = [&] {
    FailNext(testing::FakeEnv::Op::kRead, kRates);
    env_.AdvanceMs(1);
  };
  EXPECT_EQ(Render(records), Join(changed));
}

TEST_F(ReceiptTest, DataFileCasesOfBothRenderers) {
  // Missing: told, nothing rendered, the previous file kept for a reprint.
  env_.SetFile("/data/KV2EP.TXT", "OLD\r\n");
  result_ = SimulazioneScontrino(Context(), "/data/MISSING.001");
  EXPECT_EQ(result_.result, kRepeat);
  EXPECT_EQ(result_.path, "/data/KV2EP.TXT");
  EXPECT_THAT(op_.messages, ElementsAre("Il file /data/MISSING.001 non esiste"));
  EXPECT_EQ(env_.File("/data/KV2EP.TXT"), "OLD\r\n");
  // Empty: the old file is removed and none is created.
  EXPECT_EQ(RenderData(""), "<missing>");
  EXPECT_EQ(result_.result, kPrint);
  // CR LF, LF and CR each end a record; XXXX lines are skipped in any case.
  const std::string crlf = RenderData("xxxx,PRNT,:NO\r\nSALE,P100,:A\r\nCASH\r\nPRNT,:Z");
  EXPECT_THAT(crlf, HasSubstr("CONTANTI"));
  for (const std::string end : {"\n", "\r"}) {
    EXPECT_EQ(RenderData("xxxx,PRNT,:NO" + end + "SALE,P100,:A" + end + "CASH" + end + "PRNT,:Z"),
              crlf);
  }
  // No text carries a control byte to the printer: each is a blank.
  EXPECT_EQ(RenderData(std::string("SALE,P1\00020,:A\033@\r\nPRNT,:B\035V\001\177", 28)),
            Join({R("A @", "1,20"), "B V  "}));
  // Rendered lines beyond the file limit are refused, not written.
  std::string subtotals;
  for (int i = 0; i < 600000; ++i) subtotals += "SUBT\n";
  EXPECT_EQ(RenderData(subtotals), "<missing>");
  EXPECT_TRUE(result_.too_large);
  // A file that cannot be written is not left behind half-written.
  FailNext(testing::FakeEnv::Op::kWrite, "/data/KV2EP.TXT");
  EXPECT_EQ(Render({"SALE,P100"}), "<missing>");
  EXPECT_EQ(result_.result, kRepeat);

  // The invoice renderer.
  op_.messages.clear();
  const auto invoice = [this](const std::string& data) {
    env_.SetFile(kData, data);
    return SimulazioneFattura(Context(), kData);
  };
  // A stale file is removed first; with nothing rendered, nothing is offered.
  env_.SetFile("/data/KV2EP.TXT", "OLD\r\n");
  EXPECT_EQ(invoice("").result, kRepeat);
  EXPECT_FALSE(env_.HasFile("/data/KV2EP.TXT"));
  env_.SetFile("/data/KV2EP.TXT", "OLD\r\n");
  FailNext(testing::FakeEnv::Op::kRemove, "/data/KV2EP.TXT");
  EXPECT_EQ(invoice("").result, kRepeat);
  EXPECT_EQ(SimulazioneFattura(Context(), "/data/NONE.001").result, kRepeat);
  EXPECT_THAT(op_.messages, ElementsAre("Il file /data/NONE.001 non esiste"));

  // A stopped invoice keeps its lines; a write fault is told.
  // LF ends a record too, and the customer texts lose their control bytes.
  invoice("OPFS,:ROSSI\x1B@\nSALE,I22,P100\nCASH");
  EXPECT_THAT(env_.File("/data/KV2EP.TXT"), HasSubstr("ROSSI @"));

  const RenderResult stopped = invoice("OPFS,N1;\r\nSALE,I5,P100;\r\nCASH;\r\n");
  EXPECT_EQ(stopped.result, kPrint);
  EXPECT_FALSE(stopped.completed);
  EXPECT_EQ(env_.File("/data/KV2EP.TXT"), Join({"FATTURA NUM. 1", "07-03-2026   09:05",
                                                B(26) + "EURO", B(32), "1    X    1,00"}));
  op_.messages.clear();
  FailNext(testing::FakeEnv::Op::kWrite, "/data/KV2EP.TXT");
  EXPECT_EQ(invoice("OPFS;\r\nSALE,I22,P100;\r\n").result, kRepeat);
  EXPECT_THAT(op_.messages, ElementsAre("57 - Device I/O error"));
}

}  // namespace
}  // namespace dovevid::sl
