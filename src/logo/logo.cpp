#include "logo/logo.h"

#include <fmt/format.h>

#include "base/text.h"
#include "logo/bmp.h"
#include "printer/escpos.h"

namespace dovevid::logo {

namespace {

constexpr char kMsgNotSent[] = "Logo not stored: the printer did not take all of it";

Status Refused(std::string why) { return Status::Error(fault::kPathFileAccess, std::move(why)); }

Status TooWide(int width, int paper) {
  return Refused(fmt::format("Image too wide: {} dots, the paper takes {}", width, paper));
}

}  // namespace

Status BmpFileReader::Read(const std::string& path, GrayImage* out) {
  std::string bytes;
  if (Status s = env_.ReadFile(path, &bytes); !s.ok()) return s;
  if (Status s = DecodeBmp(bytes, out); !s.ok()) return Refused(path + ": " + s.description());
  return Status::OK();
}

Status ConvertImage(ImageReader& reader, const std::string& path, const ConvertOptions& options,
                    Bitmap* out) {
  GrayImage image;
  if (Status s = reader.Read(path, &image); !s.ok()) return s;
  if (image.width > options.paper_width_dots) return TooWide(image.width, options.paper_width_dots);
  // The NV graphic's height field has 16 bits.
  if (image.height > 0xFFFF) return Refused(fmt::format("Image too tall: {} dots", image.height));
  *out = ToBitmap(image, options.method, options.threshold);
  return Status::OK();
}

Status WriteLogoFiles(Env& env, const Bitmap& dots, const std::string& nv_path,
                      const std::string& preview_path) {
  const std::pair<const std::string&, std::string> files[] = {
      {nv_path, nv_path.empty() ? "" : escpos::NvGraphicsDefine(static_cast<std::uint16_t>(dots.width()),
                                                                static_cast<std::uint16_t>(dots.height()),
                                                                dots.RasterRows())},
      {preview_path, preview_path.empty() ? "" : EncodeBmp1(dots)},
  };
  for (const auto& [path, bytes] : files) {
    if (path.empty()) continue;
    // No stale file may pass for the new one.
    if (env.FileExists(path)) (void)env.RemoveFile(path);
    if (Status s = env.WriteFile(path, bytes); !s.ok()) return s;
  }
  return Status::OK();
}

std::string ProgressText(int percent) { return fmt::format("{} %", percent); }

bool SendInPieces(Env& env, printer::PrinterChannel& channel, std::string_view bytes, int pause_ms,
                  const Progress& progress) {
  for (std::size_t at = 0; at < bytes.size(); at += kPieceBytes) {
    if (channel.Generic_TrasmettiStringa_NoCRLF(bytes.substr(at, kPieceBytes)) != printer::kSent) {
      return false;
    }
    const double percent = static_cast<double>(at + 1) * 100.0 / static_cast<double>(bytes.size());
    if (progress) progress(static_cast<int>(RoundHalfEven(percent)));
    env.PumpEvents();
    env.SleepMs(pause_ms);
  }
  if (progress) progress(100);
  return true;
}

bool LogoImages::Preview(const std::string& image_path) {
  const std::string preview = PreviewFilePath();
  if (d_.env.FileExists(preview)) (void)d_.env.RemoveFile(preview);
  if (image_path.empty() || !d_.env.FileExists(image_path)) {
    d_.op.ShowMessage(kMsgFileNotFound);
    return false;
  }
  Bitmap dots;
  Status s = ConvertImage(d_.reader, image_path, d_.options, &dots);
  if (s.ok()) s = WriteLogoFiles(d_.env, dots, "", preview);
  if (!s.ok()) {
    d_.op.ShowMessage(s.description());
    d_.op.ShowMessage(kMsgNotConverted);
    return false;
  }
  return d_.env.FileExists(preview);
}

bool LogoImages::DownloadBitImage(const std::string& bmp_path) {
  std::string file;
  if (bmp_path.empty() || !d_.env.FileExists(bmp_path) || !d_.env.ReadFile(bmp_path, &file).ok()) {
    d_.op.ShowMessage(kMsgFileNotFound);
    return false;
  }
  const auto header = ReadBmpHeader(file);
  GrayImage image;
  if (!header || !IsDownloadable(*header) || !DecodeBmp(file, &image).ok()) {
    d_.op.ShowMessage(kMsgFormatInvalid);
    return false;
  }
  const int x = image.width / 8, y = image.height / 8;
  if (image.width > d_.options.paper_width_dots || x * y > kMaxBitImageUnits) {
    d_.op.ShowMessage(image.width > d_.options.paper_width_dots
                          ? TooWide(image.width, d_.options.paper_width_dots).description()
                          : fmt::format("Image too large to download: {} x {} dots, at most {} "
                                        "blocks of 8 x 8",
                                        image.width, image.height, kMaxBitImageUnits));
    return false;
  }
  const std::string columns = ToBitmap(image, Monochrome::kThreshold).Columns();

  auto& ch = d_.channel;
  ch.Generic_OpenPort();
  bool sent = ch.Generic_TrasmettiStringa_NoCRLF(escpos::BitImageDefine(
                  static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), "")) == printer::kSent &&
              SendInPieces(d_.env, ch, columns, kBitImagePiecePauseMs, d_.progress);
  sent = ch.Generic_ClosePort() == printer::kSent && sent;
  if (!sent) d_.op.ShowMessage(kMsgNotSent);
  return sent;
}

bool LogoImages::ConvertToNvFile(const std::string& image_path) {
  Bitmap dots;
  Status s = ConvertImage(d_.reader, image_path, d_.options, &dots);
  if (s.ok()) s = WriteLogoFiles(d_.env, dots, NvFilePath(), "");
  if (s.ok()) return true;
  d_.op.ShowMessage(s.description());
  d_.op.ShowMessage(kMsgNotConverted);
  return false;
}

bool LogoImages::SendNvFile() {
  std::string bytes;
  if (!d_.env.ReadFile(NvFilePath(), &bytes).ok()) {
    d_.op.ShowMessage(kMsgFileNotFound);
    return false;
  }
  auto& ch = d_.channel;
  ch.Generic_OpenPort();
  bool sent = SendInPieces(d_.env, ch, bytes, kNvPiecePauseMs, d_.progress);
  sent = ch.Generic_ClosePort() == printer::kSent && sent;
  if (!sent) d_.op.ShowMessage(kMsgNotSent);
  return sent;
}

bool LogoImages::LoadLogo(const std::string& image_path) {
  if (image_path.empty() || !d_.env.FileExists(image_path)) {
    d_.op.ShowMessage(kMsgFileNotFound);
    return false;
  }
  d_.channel.UpdateTransport();
  const bool spooler = d_.channel.spooler_transport();
  if (spooler && !ConvertToNvFile(image_path)) return false;
  if (!d_.env.FileExists(NvFilePath())) {
    d_.op.ShowMessage(kMsgFileNotFound);
    return false;
  }
  return spooler ? SendNvFile() : DownloadBitImage(image_path);
}

bool LogoImages::PrintImage() {
  auto& ch = d_.channel;
  ch.Generic_OpenPort();
  // The serial printer entry prints the downloaded bit image, any other the
  // NV graphic, as the print run does.
  const bool sent = ch.Generic_TrasmettiStringa_NoCRLF(d_.settings.listPrinters == 0
                                                           ? escpos::BitImagePrint()
                                                           : escpos::NvGraphicsPrint()) == printer::kSent;
  return ch.Generic_ClosePort() == printer::kSent && sent;
}

}  // namespace dovevid::logo
