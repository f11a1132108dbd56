#include "platform/image_reader.h"

#include <QImage>

#include "logo/bmp.h"

namespace dovevid::platform {

Status QtImageReader::Read(const std::string& path, logo::GrayImage* out) {
  std::string bytes;
  if (Status s = env_.ReadFile(path, &bytes); !s.ok()) return s;
  if (bytes.starts_with("BM")) {
    // One decoder for bitmaps everywhere, so the program converts them
    // exactly as the tests check.
    Status s = logo::DecodeBmp(bytes, out);
    return s.ok() ? s : Status::Error(s.number(), path + ": " + s.description());
  }
  QImage image;
  if (!image.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()))) {
    return Status::Error(fault::kPathFileAccess,
                         path + ": not a picture this program reads (BMP, PNG or JPEG)");
  }
  image = image.convertToFormat(QImage::Format_ARGB32);
  out->width = image.width();
  out->height = image.height();
  out->level.resize(static_cast<std::size_t>(out->width) * out->height);
  for (int y = 0; y < image.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      // Transparent parts are the paper.
      const int alpha = qAlpha(row[x]);
      out->level[static_cast<std::size_t>(y) * out->width + x] =
          static_cast<std::uint8_t>(255 - alpha * (255 - qGray(row[x])) / 255);
    }
  }
  return Status::OK();
}

}  // namespace dovevid::platform
