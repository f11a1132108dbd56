#include "logo/bmp.h"

#include <fmt/format.h>

#include <bit>
#include <vector>

namespace dovevid::logo {

namespace {

constexpr std::size_t kFileHeader = 14;
constexpr std::size_t kInfoHeader = 40;
// Damaged headers must not make us allocate gigabytes.
constexpr std::int64_t kMaxPixels = 64LL * 1024 * 1024;

std::uint32_t U32(std::string_view b, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}
std::uint16_t U16(std::string_view b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                    static_cast<unsigned char>(b[at + 1]) << 8);
}

void Put32(std::string& s, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void Put16(std::string& s, std::uint16_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>(v >> 8);
}

std::uint8_t Luma(int r, int g, int b) { return static_cast<std::uint8_t>((299 * r + 587 * g + 114 * b) / 1000); }

// A colour laid on white paper.
std::uint8_t OnPaper(std::uint8_t luma, int alpha) {
  return static_cast<std::uint8_t>(255 - alpha * (255 - luma) / 255);
}

// The value of `mask`'s bits in `pixel`, scaled to 0..255.
int Channel(std::uint32_t pixel, std::uint32_t mask) {
  if (mask == 0) return 255;
  const std::uint64_t v = (pixel & mask) >> std::countr_zero(mask);
  const std::uint64_t max = mask >> std::countr_zero(mask);
  return static_cast<int>(v * 255 / max);
}

Status Bad(const std::string& why) { return Status::Error(fault::kPathFileAccess, why); }

struct Layout {
  std::int64_t width = 0, height = 0;
  bool top_down = false;
  int bpp = 0;
  std::size_t data = 0, stride = 0;
  std::vector<std::uint8_t> palette;  // gray level of each entry
  std::uint32_t masks[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0};
};

Status ReadLayout(std::string_view f, Layout* l) {
  const auto header = ReadBmpHeader(f);
  if (!header) return Bad("not a bitmap file");
  const std::uint32_t info_size = U32(f, 14);
  const std::uint32_t compression = U32(f, 30);
  l->bpp = U16(f, 28);
  l->width = header->width;
  l->height = header->height < 0 ? -static_cast<std::int64_t>(header->height) : header->height;
  l->top_down = header->height < 0;
  l->data = U32(f, 10);
  if (l->width <= 0 || l->height <= 0 || l->width * l->height > kMaxPixels) {
    return Bad(fmt::format("unusable size {} x {}", header->width, header->height));
  }
  const bool masked = compression == 3 && l->bpp == 32;
  if (compression != 0 && !masked) return Bad("compressed bitmaps are not supported");
  if (l->bpp != 1 && l->bpp != 4 && l->bpp != 8 && l->bpp != 24 && l->bpp != 32) {
    return Bad(fmt::format("{} bits per pixel is not supported (1, 4, 8, 24 or 32)", l->bpp));
  }
  if (masked) {
    if (f.size() < 66) return Bad("the colour masks are missing");
    for (int i = 0; i < 3; ++i) l->masks[i] = U32(f, 54 + 4 * static_cast<std::size_t>(i));
    l->masks[3] = info_size >= 56 && f.size() >= 70 ? U32(f, 66) : 0;
  }
  if (l->bpp <= 8) {
    std::size_t colours = U32(f, 46);
    if (colours == 0 || colours > (1u << l->bpp)) colours = 1u << l->bpp;
    const std::size_t at = kFileHeader + info_size;
    if (info_size < kInfoHeader || at + 4 * colours > f.size()) return Bad("the palette is missing");
    for (std::size_t i = 0; i < colours; ++i) {
      const std::size_t e = at + 4 * i;
      l->palette.push_back(Luma(static_cast<unsigned char>(f[e + 2]), static_cast<unsigned char>(f[e + 1]),
                                static_cast<unsigned char>(f[e])));
    }
  }
  l->stride = static_cast<std::size_t>((l->width * l->bpp + 31) / 32 * 4);
  if (l->data > f.size() || (f.size() - l->data) / l->stride < static_cast<std::size_t>(l->height)) {
    return Bad("the pixel data is cut short");
  }
  return Status::OK();
}

std::uint8_t Pixel(std::string_view row, const Layout& l, std::int64_t x) {
  auto byte = [&](std::int64_t i) { return static_cast<unsigned char>(row[static_cast<std::size_t>(i)]); };
  if (l.bpp <= 8) {
    const std::int64_t bit = x * l.bpp;
    const unsigned index = (byte(bit / 8) >> (8 - l.bpp - bit % 8)) & ((1u << l.bpp) - 1);
    return index < l.palette.size() ? l.palette[index] : 255;
  }
  if (l.bpp == 24) return Luma(byte(3 * x + 2), byte(3 * x + 1), byte(3 * x));
  const std::uint32_t p = U32(row, static_cast<std::size_t>(4 * x));
  const int alpha = l.masks[3] ? Channel(p, l.masks[3]) : 255;
  return OnPaper(Luma(Channel(p, l.masks[0]), Channel(p, l.masks[1]), Channel(p, l.masks[2])), alpha);
}

}  // namespace

std::optional<BmpHeader> ReadBmpHeader(std::string_view file) {
  if (file.size() < kFileHeader + kInfoHeader || file.substr(0, 2) != "BM") return std::nullopt;
  return BmpHeader{static_cast<std::int32_t>(U32(file, 18)), static_cast<std::int32_t>(U32(file, 22)),
                   static_cast<std::uint8_t>(file[28])};
}

bool IsDownloadable(const BmpHeader& h) {
  return h.bits_per_pixel == 1 && h.width > 0 && h.height > 0 && h.width % 32 == 0 &&
         h.height % 32 == 0;
}

std::string ImageDimensionText(const BmpHeader& h) { return fmt::format("{} x {}", h.width, h.height); }

Status DecodeBmp(std::string_view file, GrayImage* out) {
  Layout l;
  if (Status s = ReadLayout(file, &l); !s.ok()) return s;
  out->width = static_cast<int>(l.width);
  out->height = static_cast<int>(l.height);
  out->level.assign(static_cast<std::size_t>(l.width * l.height), 255);
  for (std::int64_t y = 0; y < l.height; ++y) {
    const std::int64_t stored = l.top_down ? y : l.height - 1 - y;
    const std::string_view row = file.substr(l.data + static_cast<std::size_t>(stored) * l.stride, l.stride);
    for (std::int64_t x = 0; x < l.width; ++x) {
      out->level[static_cast<std::size_t>(y * l.width + x)] = Pixel(row, l, x);
    }
  }
  return Status::OK();
}

std::string EncodeBmp1(const Bitmap& dots) {
  const std::uint32_t stride = (static_cast<std::uint32_t>(dots.width()) + 31) / 32 * 4;
  const std::uint32_t image = stride * static_cast<std::uint32_t>(dots.height());
  const std::uint32_t offset = kFileHeader + kInfoHeader + 8;
  std::string s = "BM";
  Put32(s, offset + image);
  Put32(s, 0);
  Put32(s, offset);
  Put32(s, kInfoHeader);
  Put32(s, static_cast<std::uint32_t>(dots.width()));
  Put32(s, static_cast<std::uint32_t>(dots.height()));
  Put16(s, 1);
  Put16(s, 1);
  for (std::uint32_t v : {0u, image, 2835u, 2835u, 2u, 2u}) Put32(s, v);  // 72 dpi
  Put32(s, 0x00000000);  // black
  Put32(s, 0x00FFFFFF);  // white
  for (int y = dots.height() - 1; y >= 0; --y) {
    std::string row(stride, '\0');
    for (int x = 0; x < dots.width(); ++x) {
      if (!dots.At(x, y)) row[static_cast<std::size_t>(x / 8)] |= static_cast<char>(0x80 >> (x % 8));
    }
    s += row;
  }
  return s;
}

}  // namespace dovevid::logo
