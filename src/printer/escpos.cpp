#include "printer/escpos.h"

namespace dovevid::escpos {

namespace {
std::string Bytes(std::initializer_list<std::uint8_t> bytes) {
  std::string s;
  for (std::uint8_t b : bytes) s += static_cast<char>(b);
  return s;
}
}  // namespace

std::string Initialize() { return Bytes({0x1B, 0x40}); }
std::string RotationOff() { return Bytes({0x1B, 0x56, 0x00}); }
std::string Justify(Justification j) { return Bytes({0x1B, 0x61, static_cast<std::uint8_t>(j)}); }

std::string PrintMode(bool double_height, bool double_width) {
  const std::uint8_t n = (double_height ? kDoubleHeight : 0) | (double_width ? kDoubleWidth : 0);
  return Bytes({0x1B, 0x21, n});
}

std::string CharSizeReset() { return Bytes({0x1D, 0x21, 0x00}); }
std::string FeedLines(std::uint8_t n) { return Bytes({0x1B, 0x64, n}); }
std::string FeedUnits() { return Bytes({0x1B, 0x4A, 0x31}); }

std::string DrawerPulse(std::uint8_t m, std::uint8_t t1, std::uint8_t t2) {
  return Bytes({0x1B, 0x70, m, t1, t2});
}

std::string Cut(CutMode m) { return Bytes({0x1D, 0x56, static_cast<std::uint8_t>(m)}); }
std::string BarcodeHeight(std::uint8_t n) { return Bytes({0x1D, 0x68, n}); }
std::string BarcodeWidth(std::uint8_t n) { return Bytes({0x1D, 0x77, n}); }
std::string BarcodeHri(std::uint8_t n) { return Bytes({0x1D, 0x48, n}); }

std::string BarcodePrintA(std::uint8_t m, std::string_view data) {
  return Bytes({0x1D, 0x6B, m}) + std::string(data) + '\0';
}

std::string BarcodePrintB(std::uint8_t m, std::string_view data) {
  return Bytes({0x1D, 0x6B, m, static_cast<std::uint8_t>(data.size())}) + std::string(data);
}

std::string BitImageDefine(std::uint8_t x, std::uint8_t y, std::string_view data) {
  return Bytes({0x1D, 0x2A, x, y}) + std::string(data);
}

std::string BitImagePrint() { return Bytes({0x1D, 0x2F, 0x00, 0x0A}); }

std::string NvGraphicsPrint() {
  return Bytes({0x1D, 0x28, 0x4C, 0x06, 0x00, 0x30, 0x45, 0x20, 0x20, 0x01, 0x01});
}

std::string NvGraphicsDefine(std::uint16_t width, std::uint16_t height, std::string_view rows) {
  // m '0', fn 'C', raster '0', key ' ' ' ', one colour, width, height, colour '1'.
  const std::string params =
      Bytes({0x30, 0x43, 0x30, 0x20, 0x20, 0x01, static_cast<std::uint8_t>(width & 0xFF),
             static_cast<std::uint8_t>(width >> 8), static_cast<std::uint8_t>(height & 0xFF),
             static_cast<std::uint8_t>(height >> 8), 0x31}) +
      std::string(rows);
  const std::size_t p = params.size();
  if (p <= 0xFFFF) {
    return Bytes({0x1D, 0x28, 0x4C, static_cast<std::uint8_t>(p & 0xFF),
                  static_cast<std::uint8_t>(p >> 8)}) + params;
  }
  return Bytes({0x1D, 0x38, 0x4C, static_cast<std::uint8_t>(p & 0xFF),
                static_cast<std::uint8_t>((p >> 8) & 0xFF), static_cast<std::uint8_t>((p >> 16) & 0xFF),
                static_cast<std::uint8_t>(p >> 24)}) + params;
}

std::string StatusQuery(std::uint8_t n) { return Bytes({0x10, 0x04, n}); }

std::string ButtonDrawerPulse() { return DrawerPulse(0x30, 0x23, 0x79); }
std::string SlDrawerPulse(std::uint8_t pin) { return DrawerPulse(pin, 0x19, 0xFA); }

bool IsOffline(std::uint8_t printer_status) { return (printer_status & 0x08) != 0; }
bool IsPaperEnd(std::uint8_t paper_status) { return (paper_status & 0x60) != 0; }

}  // namespace dovevid::escpos
