// Pictures as the logo code handles them: gray levels as read from an image
// file, and the black and white dots the printer prints.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dovevid::logo {

// Gray levels from 0 (black) to 255 (white), row by row from the top, with
// any transparency already laid on white paper.
struct GrayImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> level;
};

// Dots row by row from the top; true is a black (printed) dot.
class Bitmap {
 public:
  Bitmap() = default;
  Bitmap(int width, int height)
      : width_(width), height_(height), dots_(static_cast<std::size_t>(width) * height, false) {}

  int width() const { return width_; }
  int height() const { return height_; }
  bool empty() const { return dots_.empty(); }
  bool At(int x, int y) const { return dots_[Index(x, y)]; }
  void Set(int x, int y, bool black) { dots_[Index(x, y)] = black; }
  bool operator==(const Bitmap&) const = default;

  // Rows from the top, (width + 7) / 8 bytes each, the leftmost dot in the
  // most significant bit: the raster layout of the printer's graphics.
  std::string RasterRows() const;
  // Columns from the left, each from the top dot down in height / 8 bytes,
  // the top dot in the most significant bit: the layout of a downloaded bit
  // image. Both sides must be multiples of 8.
  std::string Columns() const;
  // The reverse of RasterRows.
  static Bitmap FromRasterRows(int width, int height, std::string_view rows);
  // The reverse of Columns.
  static Bitmap FromColumns(int width, int height, std::string_view columns);

 private:
  std::size_t Index(int x, int y) const { return static_cast<std::size_t>(y) * width_ + x; }

  int width_ = 0;
  int height_ = 0;
  std::vector<bool> dots_;
};

enum class Monochrome { kThreshold, kDither };

// Black where the gray level is below `threshold`; with kDither the error
// of each decision is spread to the neighbours (Floyd-Steinberg), so gray
// areas become patterns of dots.
Bitmap ToBitmap(const GrayImage& image, Monochrome method, int threshold = 128);

}  // namespace dovevid::logo
