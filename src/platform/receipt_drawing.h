// Draws decoded print data as the paper would look: text in the printer's
// 12 x 24 dot cells (doubled for double width and height), pictures dot for
// dot, barcodes, feeds and cuts, one image pixel per printer dot. Needs a
// QGuiApplication (the offscreen platform will do) for its font.
#pragma once

#include <string>

#include "base/status.h"
#include "preview/escpos_decoder.h"

namespace dovevid::platform {

// Writes the page as a PNG file `paper_dots` wide plus margins.
Status DrawReceiptPng(const preview::Page& page, int paper_dots, const std::string& path);

// Sets the offscreen platform unless another one is chosen, so a
// QGuiApplication can be made without a display.
void PreferOffscreenPlatform();

}  // namespace dovevid::platform
