// Arbitrary bytes as a picture file and as print data: decoding must not
// crash or read out of bounds, a decoded bitmap has as many gray levels as
// dots, and its preview file decodes back to the same dots.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "logo/bmp.h"
#include "preview/escpos_decoder.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace dovevid;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  logo::GrayImage image;
  if (logo::DecodeBmp(bytes, &image).ok()) {
    Check(image.level.size() == static_cast<std::size_t>(image.width) * image.height);
    const logo::Bitmap dots = logo::ToBitmap(image, logo::Monochrome::kDither);
    logo::GrayImage back;
    Check(logo::DecodeBmp(logo::EncodeBmp1(dots), &back).ok());
    Check(logo::ToBitmap(back, logo::Monochrome::kThreshold) == dots);
  }
  preview::EscPosDecoder decoder;
  decoder.EnablePage();
  decoder.Feed(bytes);
  decoder.Finish();
  return 0;
}
