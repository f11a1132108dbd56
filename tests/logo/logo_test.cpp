#include "logo/logo.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fake_transports.h"
#include "logo/bmp.h"

namespace dovevid::logo {
namespace {

using ::testing::ElementsAre;

// A bitmap file written as paint programs do, independently of the code under test;
// `pixel(x, y)` (y = 0 the top row) gives the palette index (0 black, else white) or gray.
std::string MakeBmp(int w, int h, int bpp, const std::function<int(int, int)>& pixel) {
  const int colours = bpp <= 8 ? 1 << bpp : 0;
  const int stride = (w * bpp + 31) / 32 * 4;
  const int offset = 54 + 4 * colours;
  std::string s(static_cast<size_t>(offset + stride * h), '\0');
  auto put = [&](int at, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) s[static_cast<size_t>(at + i)] = static_cast<char>(v >> (8 * i));
  };
  s[0] = 'B', s[1] = 'M';
  put(10, offset, 4), put(14, 40, 4), put(18, w, 4), put(22, h, 4), put(26, 1, 2), put(28, bpp, 2);
  for (int i = 1; i < colours; ++i) put(54 + 4 * i, 0xFFFFFF, 4);
  for (int y = 0; y < h; ++y) {
    const int row = offset + (h - 1 - y) * stride;
    for (int x = 0; x < w; ++x) {
      const int v = pixel(x, y);
      if (bpp == 24) {
        put(row + 3 * x, static_cast<std::uint32_t>(v * 0x010101), 3);
      } else if (v) {
        s[static_cast<size_t>(row + x * bpp / 8)] |=
            static_cast<char>(v << (8 - bpp - x * bpp % 8));
      }
    }
  }
  return s;
}

bool Pattern(int x, int y) { return (x * 7 + y * 3) % 5 < 2 || x == y; }
int Black(int, int) { return 0; }

class LogoTest : public ::testing::Test, protected testing::FakeChannelRig {
 protected:
  LogoTest() { config::SelectListItem(settings, config::List::kComPort, 0); }

  BmpFileReader reader{env};
  std::vector<int> progress;
  LogoImages logo{
      {env, op, channel, settings, reader, "/app", {}, [this](int p) { progress.push_back(p); }}};
};

TEST_F(LogoTest, OnlyOneBitMultiplesOf32Download) {
  // Width, height, bits per pixel; only the first is taken. 544 is wider than the paper.
  const std::tuple<int, int, int> cases[] = {
      {512, 64, 1}, {500, 64, 1}, {512, 64, 4}, {512, 48, 1}, {544, 64, 1}};
  for (const auto& [w, h, bpp] : cases) {
    env.SetFile("/in.bmp", MakeBmp(w, h, bpp, Black));
    op.messages.clear();
    const bool accepted = w == 512 && h == 64 && bpp == 1;
    EXPECT_EQ(logo.DownloadBitImage("/in.bmp"), accepted) << w << "x" << h << "x" << bpp;
    if (!accepted && w <= 512) {
      EXPECT_THAT(op.messages, ElementsAre(kMsgFormatInvalid));
    }
  }
  EXPECT_EQ(ImageDimensionText(*ReadBmpHeader(MakeBmp(512, 64, 1, Black))), "512 x 64");
  EXPECT_FALSE(logo.DownloadBitImage("/missing.bmp"));
  EXPECT_EQ(op.messages.back(), kMsgFileNotFound);
}

TEST_F(LogoTest, BitImageIsSentColumnByColumnInPieces) {
  // Black where Pattern is set: palette index 0.
  env.SetFile("/in.bmp", MakeBmp(32, 32, 1, [](int x, int y) { return Pattern(x, y) ? 0 : 1; }));
  ASSERT_TRUE(logo.DownloadBitImage("/in.bmp"));
  std::string expected = "\x1D\x2A\x04\x04" + std::string(128, '\0');
  for (int x = 0; x < 32; ++x) {
    for (int y = 0; y < 32; ++y) {
      if (Pattern(x, y)) expected[4 + x * 4 + y / 8] |= static_cast<char>(0x80 >> (y % 8));
    }
  }
  EXPECT_EQ(serial.printed, expected);
  EXPECT_THAT(progress, ElementsAre(1, 79, 100));  // pieces at 1 and 101 of 128
  EXPECT_EQ(env.slept_ms(), 2 * kBitImagePiecePauseMs);
}

TEST_F(LogoTest, PiecesOfHundredBytesWithProgress) {
  std::vector<size_t> sent_at;
  const Progress p = [&](int percent) {
    progress.push_back(percent);
    sent_at.push_back(serial.printed.size());
  };
  channel.Generic_OpenPort();
  ASSERT_TRUE(SendInPieces(env, channel, std::string(250, 'x'), 100, p));
  EXPECT_THAT(progress, ElementsAre(0, 40, 80, 100));
  EXPECT_THAT(sent_at, ElementsAre(100, 200, 250, 250));
  EXPECT_EQ(ProgressText(progress[1]), "40 %");
  serial.write_fault = Status::Error(fault::kDeviceIo, "gone");
  EXPECT_FALSE(SendInPieces(env, channel, "abc", 100, {}));
}

// Reads a GS ( L / GS 8 L function 67 definition back into dots.
Bitmap DecodeNvDefinition(const std::string& f) {
  auto b = [&](size_t i) { return static_cast<unsigned char>(f.at(i)); };
  const bool big = f.compare(0, 3, "\x1D\x38\x4C") == 0;
  EXPECT_TRUE(big || f.compare(0, 3, "\x1D\x28\x4C") == 0);
  const size_t head = big ? 7 : 5;
  const size_t len = big ? b(3) | b(4) << 8 | b(5) << 16 : b(3) | b(4) << 8;
  EXPECT_EQ(len, f.size() - head);
  EXPECT_EQ(f.substr(head, 6), "0C0  \x01");  // define, raster, key 32 32, one colour
  const int w = b(head + 6) | b(head + 7) << 8, h = b(head + 8) | b(head + 9) << 8;
  EXPECT_EQ(f[head + 10], '1');
  Bitmap out(w, h);
  const size_t row = static_cast<size_t>((w + 7) / 8);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) out.Set(x, y, b(head + 11 + y * row + x / 8) & (0x80 >> (x % 8)));
  }
  return out;
}

TEST_F(LogoTest, NvFileAndPreviewHoldTheSourceDots) {
  // The last is over 65,535 bytes.
  const std::tuple<int, int, int> cases[] = {{37, 5, 8}, {50, 9, 24}, {19, 3, 4}, {512, 1100, 1}};
  for (const auto& [w, h, bpp] : cases) {
    const int white = bpp == 24 ? 255 : 1;
    env.SetFile("/in.bmp",
                MakeBmp(w, h, bpp, [&](int x, int y) { return Pattern(x, y) ? 0 : white; }));
    Bitmap dots;
    ASSERT_TRUE(ConvertImage(reader, "/in.bmp", {}, &dots).ok());
    ASSERT_TRUE(WriteLogoFiles(env, dots, "/app/nv.bin", "/app/preview.bmp").ok());
    const Bitmap nv = DecodeNvDefinition(env.File("/app/nv.bin"));
    ASSERT_EQ(nv.width(), w);
    ASSERT_EQ(nv.height(), h);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) ASSERT_EQ(nv.At(x, y), Pattern(x, y)) << x << "," << y;
    }
    GrayImage preview;
    ASSERT_TRUE(DecodeBmp(env.File("/app/preview.bmp"), &preview).ok());
    EXPECT_EQ(ToBitmap(preview, Monochrome::kThreshold), nv);
  }
}

TEST_F(LogoTest, DitheringTurnsGrayIntoDots) {
  const GrayImage gray{64, 64, std::vector<std::uint8_t>(64 * 64, 128)};
  EXPECT_EQ(ToBitmap(gray, Monochrome::kThreshold), Bitmap(64, 64));
  const Bitmap dithered = ToBitmap(gray, Monochrome::kDither);
  int black = 0;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) black += dithered.At(x, y);
  }
  EXPECT_NEAR(black, 64 * 64 / 2, 64);
}

// The serial printer's need of the NV file is shown end to end and on the logo page.
TEST_F(LogoTest, LoadLogoOnTheSpooler) {
  env.SetFile("/logo.bmp", MakeBmp(64, 32, 1, [](int x, int) { return x < 8 ? 0 : 1; }));
  testing::UseSpoolerPrinter(channel, spooler);
  env.SetFile("/wide.bmp", MakeBmp(600, 8, 8, Black));
  EXPECT_FALSE(logo.LoadLogo("/wide.bmp"));
  EXPECT_THAT(op.messages,
              ElementsAre("Image too wide: 600 dots, the paper takes 512", kMsgNotConverted));
  ASSERT_TRUE(logo.LoadLogo("/logo.bmp"));
  ASSERT_EQ(spooler.documents.size(), 1u);
  EXPECT_EQ(spooler.documents[0].data, env.File("/app/NVImageFile.BIN"));
  EXPECT_TRUE(spooler.documents[0].closed);
  EXPECT_EQ(DecodeNvDefinition(spooler.documents[0].data).At(7, 0), true);

  ASSERT_TRUE(logo.PrintImage());
  EXPECT_EQ(spooler.documents.back().data, "\x1D(L\x06" + std::string(1, '\0') + "0E  \x01\x01");
}

}  // namespace
}  // namespace dovevid::logo
