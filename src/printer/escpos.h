// The ESC/POS sequences the system emits, each as a small builder returning
// the bytes. Nothing here sends anything.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dovevid::escpos {

inline constexpr char kEsc = '\x1B';
inline constexpr char kGs = '\x1D';
inline constexpr char kDle = '\x10';
inline constexpr char kEot = '\x04';

// The justification strings, prebuilt because they are also glued in front
// of text. The parameter is an ASCII digit, not a byte value.
inline constexpr std::string_view kJustifyLeft = "\x1B" "a0";
inline constexpr std::string_view kJustifyCenter = "\x1B" "a1";
inline constexpr std::string_view kJustifyRight = "\x1B" "a2";

enum class Justification : char { kLeft = '0', kCenter = '1', kRight = '2' };

// PrintMode bits; no other bit of ESC ! is ever set.
inline constexpr std::uint8_t kDoubleHeight = 0x10;
inline constexpr std::uint8_t kDoubleWidth = 0x20;

enum class CutMode : std::uint8_t { kPartial = 0x42, kFull = 0x41 };

// StatusQuery parameters.
inline constexpr std::uint8_t kPrinterStatus = 1;
inline constexpr std::uint8_t kRollPaperStatus = 4;

// Barcode symbologies of BarcodePrintA (m = 0..6) and BarcodePrintB.
inline constexpr std::uint8_t kCode93 = 72;
inline constexpr std::uint8_t kCode128 = 73;

std::string Initialize();                     // ESC @
std::string RotationOff();                    // ESC V 0
std::string Justify(Justification j);         // ESC a n
std::string PrintMode(bool double_height, bool double_width);  // ESC ! n
std::string CharSizeReset();                  // GS ! 0
std::string FeedLines(std::uint8_t n);        // ESC d n
std::string FeedUnits();                      // ESC J '1' (49 motion units)
std::string DrawerPulse(std::uint8_t m, std::uint8_t t1, std::uint8_t t2);  // ESC p m t1 t2
// GS V m. The feed byte this form takes is not emitted: the next byte on the
// wire completes the command.
std::string Cut(CutMode m);
std::string BarcodeHeight(std::uint8_t n);    // GS h n
std::string BarcodeWidth(std::uint8_t n);     // GS w n
std::string BarcodeHri(std::uint8_t n);       // GS H n
std::string BarcodePrintA(std::uint8_t m, std::string_view data);  // GS k m data NUL
// GS k m n data; the count byte holds the data length modulo 256.
std::string BarcodePrintB(std::uint8_t m, std::string_view data);
std::string BitImageDefine(std::uint8_t x, std::uint8_t y, std::string_view data);  // GS * x y d..
std::string BitImagePrint();                  // GS / 0 LF
std::string NvGraphicsPrint();                // GS ( L 6 0 '0' 'E' ' ' ' ' 1 1
// Defines the NV graphic of key code 32 32 ("  ", the key NvGraphicsPrint
// prints) in raster format, one colour: function 67 of GS ( L, or of GS 8 L
// when the parameters exceed 65,535 bytes. `rows` holds the dots row by row
// from the top, (width + 7) / 8 bytes a row, the leftmost dot in the most
// significant bit, 1 = black.
std::string NvGraphicsDefine(std::uint16_t width, std::uint16_t height, std::string_view rows);
std::string StatusQuery(std::uint8_t n);      // DLE EOT n

// The maintenance drawer pulse and the one the SL drawer command uses.
std::string ButtonDrawerPulse();               // m 0x30, 35, 121
std::string SlDrawerPulse(std::uint8_t pin);   // m 0 or 1, 25, 250

// Tests on the one-byte replies to StatusQuery.
bool IsOffline(std::uint8_t printer_status);   // bit 3
bool IsPaperEnd(std::uint8_t paper_status);    // bits 5 and 6

}  // namespace dovevid::escpos
