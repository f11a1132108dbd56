// Windows bitmap files: the header check of a logo to download, decoding of
// uncompressed bitmaps into gray levels, and the 1-bit preview file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/status.h"
#include "logo/bitmap.h"

namespace dovevid::logo {

struct BmpHeader {
  std::int32_t width = 0;   // offset 18
  std::int32_t height = 0;  // offset 22; negative for rows stored from the top
  std::uint8_t bits_per_pixel = 0;  // the byte at offset 28
};

// Nothing when the bytes are not a bitmap file ("BM" and a whole header).
std::optional<BmpHeader> ReadBmpHeader(std::string_view file);

// What a downloaded bit image takes: one bit per pixel, width and height
// positive multiples of 32.
bool IsDownloadable(const BmpHeader& header);

// "512 x 64".
std::string ImageDimensionText(const BmpHeader& header);

// Decodes an uncompressed bitmap of 1, 4, 8, 24 or 32 bits per pixel (32 bits
// also with colour masks); the pixel data is found where the header says.
// The error's description says what is wrong with the file.
Status DecodeBmp(std::string_view file, GrayImage* out);

// A 1-bit bitmap file of exactly these dots, with the usual two-colour
// palette (0 black, 1 white), rows from the bottom, pixel data at offset 62.
std::string EncodeBmp1(const Bitmap& dots);

}  // namespace dovevid::logo
