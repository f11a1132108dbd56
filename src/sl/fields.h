// SL records: one keyword and comma-separated fields per line, for example
// SALE,N1,Q2.500,P199,:MELE; . How a keyword or field is found, how every
// record is brought to its canonical form before it is interpreted, and which
// command a record is.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/env.h"

namespace dovevid::sl {

// Keyword mode (keyword_mode true): the key is searched, without regard to
// case, in the first five characters of the record, so "CASH" matches at
// position 1 or 2 and "PLUD," only at position 1.
// Field mode: the key is searched anywhere in the record, without regard to
// case; the first occurrence wins.
// When found, *value receives the text from two characters after the start
// of the match (keys are tags such as ",P") to the next "," or ";" or the end
// of the record, and the result is true. When not found *value is left as it
// was and the result is false.
bool FindField(bool keyword_mode, std::string* value, std::string_view record,
               std::string_view key);

// Field mode lookup returning the value, or nothing when the key is absent.
std::optional<std::string> GetField(std::string_view record, std::string_view key);

// The canonical record: keyword cut to four characters and upper-cased,
// numeric fields upper-cased and reduced to their digits, numbers per keyword
// and tag written in their shortest form, texts cleaned of tabs and of letters
// the printer cannot show and cut to max_text_length, empty fields dropped, a
// final ";" ensured, any control byte left made a blank. An empty record is
// returned unchanged.
std::string NormalizeSlRecord(std::string_view record, int max_text_length);

// A number in its shortest form with "." as decimal point ("1", "12.5").
std::string CanonicalNumber(double v);

// The commands of the receipt dispatch table, in table order.
enum class SlCommand {
  kNone,  // matches no row: ignored
  kOpfs,
  kDext,
  kOpnf,
  kClnf,
  kOper,
  kClfs,
  kDate,
  kSale,  // SALE or PLUD
  kDisc,
  kMagg,
  kDost,
  kMost,
  kSubt,
  kCutt,
  kCoup,
  kCost,
  kAddi,
  kAdds,
  kCash,  // CASH or TEND,N1
  kCheq,  // CHEQ or TEND,N2
  kCard,  // CARD or TEND,N3
  kTend,  // any other TEND (and TEND,N4)
  kCred,
  kOpen,
  kPrnt,
  kExtl,
  kBarc,
};

// The first row of the dispatch table that the record matches (keywords in
// keyword mode of FindField; the TEND,Nn forms at the very start, case as
// written). Give it the record as prepared by PrepareReceiptLine.
SlCommand ClassifySlRecord(std::string_view record);

// What the receipt renderer does with a raw line of the data file before
// dispatch.
enum class LineKind {
  kSkipped,     // first four characters "XXXX" in any case
  kAsIs,        // shorter than four characters, or starting with "DEXT,"
  kPrintLine,   // first four characters "PRNT": never normalised
  kNormalised,  // everything else goes through NormalizeSlRecord
};
LineKind ClassifyReceiptLine(std::string_view line);

// The record ready for ClassifySlRecord: normalised or kept as it stands
// according to ClassifyReceiptLine.
std::string PrepareReceiptLine(std::string_view line, int max_text_length);

// The print run's choice of renderer, on the bytes of the data file.
// Reprint request: the first line begins with "RLPR" in any letter case.
bool IsReprintRequest(std::string_view data);
// Invoice: some line (CR LF, LF or CR ends one) begins with "OPFS" in capitals.
bool IsInvoiceData(std::string_view data);

// The same tests on a file (VerificaStampaCopia: false when the file is
// missing or empty; VerificaFattura: false when it cannot be read).
bool VerificaStampaCopia(Env& env, const std::string& path);
bool VerificaFattura(Env& env, const std::string& path);

}  // namespace dovevid::sl
