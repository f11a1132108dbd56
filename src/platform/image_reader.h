// Picture files for the logo: bitmaps through the core's decoder, PNG and
// JPEG (and whatever else the installed Qt image plugins read) through QImage.
#pragma once

#include <string>

#include "base/env.h"
#include "logo/logo.h"

namespace dovevid::platform {

class QtImageReader : public logo::ImageReader {
 public:
  explicit QtImageReader(Env& env) : env_(env) {}
  Status Read(const std::string& path, logo::GrayImage* out) override;

 private:
  Env& env_;
};

}  // namespace dovevid::platform
