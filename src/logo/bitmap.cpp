#include "logo/bitmap.h"

#include <algorithm>

namespace dovevid::logo {

std::string Bitmap::RasterRows() const {
  const int row_bytes = (width_ + 7) / 8;
  std::string out(static_cast<std::size_t>(row_bytes) * height_, '\0');
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      if (At(x, y)) out[static_cast<std::size_t>(y) * row_bytes + x / 8] |= static_cast<char>(0x80 >> (x % 8));
    }
  }
  return out;
}

std::string Bitmap::Columns() const {
  const int column_bytes = height_ / 8;
  std::string out(static_cast<std::size_t>(column_bytes) * width_, '\0');
  for (int x = 0; x < width_; ++x) {
    for (int y = 0; y < height_; ++y) {
      if (At(x, y)) out[static_cast<std::size_t>(x) * column_bytes + y / 8] |= static_cast<char>(0x80 >> (y % 8));
    }
  }
  return out;
}

Bitmap Bitmap::FromRasterRows(int width, int height, std::string_view rows) {
  Bitmap b(width, height);
  const std::size_t row_bytes = (static_cast<std::size_t>(width) + 7) / 8;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::size_t i = y * row_bytes + x / 8;
      if (i < rows.size()) b.Set(x, y, (static_cast<unsigned char>(rows[i]) & (0x80 >> (x % 8))) != 0);
    }
  }
  return b;
}

Bitmap Bitmap::FromColumns(int width, int height, std::string_view columns) {
  Bitmap b(width, height);
  const std::size_t column_bytes = static_cast<std::size_t>(height) / 8;
  for (int x = 0; x < width; ++x) {
    for (int y = 0; y < height; ++y) {
      const std::size_t i = x * column_bytes + y / 8;
      if (i < columns.size()) b.Set(x, y, (static_cast<unsigned char>(columns[i]) & (0x80 >> (y % 8))) != 0);
    }
  }
  return b;
}

Bitmap ToBitmap(const GrayImage& image, Monochrome method, int threshold) {
  Bitmap b(image.width, image.height);
  const auto w = static_cast<std::size_t>(image.width);
  // The error still owed to the current row and the next one.
  std::vector<int> row(w + 2, 0), next(w + 2, 0);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const std::size_t i = static_cast<std::size_t>(x) + 1;
      int level = image.level[static_cast<std::size_t>(y) * w + x];
      if (method == Monochrome::kDither) level = std::clamp(level + row[i] / 16, -255, 510);
      const bool black = level < threshold;
      b.Set(x, y, black);
      if (method != Monochrome::kDither) continue;
      const int error = level - (black ? 0 : 255);
      row[i + 1] += error * 7;
      next[i - 1] += error * 3;
      next[i] += error * 5;
      next[i + 1] += error;
    }
    row.swap(next);
    std::fill(next.begin(), next.end(), 0);
  }
  return b;
}

}  // namespace dovevid::logo
