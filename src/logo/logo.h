// The logo at the top of receipts: converting a picture into the dots the
// printer prints, storing it in the printer (a downloaded bit image on the
// serial printer, an NV graphic under key code 32 32 on a spooler printer),
// previewing it and printing it once.
//
// The files live in one directory, the application directory:
// NVImageFile.BIN (the printer commands that define the NV graphic) and
// PreviewImageFile.bmp (a 1-bit bitmap of exactly the dots that print).
//
// Operations tell the operator through the Operator and report their
// progress through a callback, so a window, the command line and the server
// all drive the same code.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "base/env.h"
#include "base/operator.h"
#include "base/status.h"
#include "config/settings.h"
#include "logo/bitmap.h"
#include "printer/channel.h"

namespace dovevid::logo {

inline constexpr char kNvFileName[] = "NVImageFile.BIN";
inline constexpr char kPreviewFileName[] = "PreviewImageFile.bmp";

inline constexpr char kMsgFileNotFound[] = "File not found";
inline constexpr char kMsgNotConverted[] = "File not converted";
inline constexpr char kMsgFormatInvalid[] =
    "Format invalid: Color not monochrome and/or Image not multiple of 32";

// Printable width of an 80 mm TM-T88-class printer.
inline constexpr int kDefaultPaperWidthDots = 512;
// A downloaded bit image takes at most this many units of 8 x 8 dots.
inline constexpr int kMaxBitImageUnits = 1536;
inline constexpr std::size_t kPieceBytes = 100;
inline constexpr int kNvPiecePauseMs = 100;
inline constexpr int kBitImagePiecePauseMs = 60;

// Reads a picture file into gray levels.
class ImageReader {
 public:
  virtual ~ImageReader() = default;
  // The error's description tells the operator what is wrong.
  virtual Status Read(const std::string& path, GrayImage* out) = 0;
};

// Bitmap files (1, 4, 8, 24, 32 bits per pixel) through the Env.
class BmpFileReader : public ImageReader {
 public:
  explicit BmpFileReader(Env& env) : env_(env) {}
  Status Read(const std::string& path, GrayImage* out) override;

 private:
  Env& env_;
};

struct ConvertOptions {
  Monochrome method = Monochrome::kThreshold;
  int threshold = 128;
  int paper_width_dots = kDefaultPaperWidthDots;
};

// The dots the picture at `path` prints as; an error fit for the operator
// when it cannot be read or is wider than the paper.
Status ConvertImage(ImageReader& reader, const std::string& path, const ConvertOptions& options,
                    Bitmap* out);

// Replaces the NV file and the preview file with these dots; an empty path
// skips that file.
Status WriteLogoFiles(Env& env, const Bitmap& dots, const std::string& nv_path,
                      const std::string& preview_path);

// "40 %", as the progress label shows it.
std::string ProgressText(int percent);

// Told the percentage after each piece sent and 100 at the end.
using Progress = std::function<void(int percent)>;

// Sends `bytes` raw in pieces of 100 bytes, every byte once; after each piece
// tells `progress` the piece's 1-based start position times 100 divided by
// the length (rounded), lets events run and pauses `pause_ms`. False as soon
// as a piece is not taken (the rest is not sent).
bool SendInPieces(Env& env, printer::PrinterChannel& channel, std::string_view bytes, int pause_ms,
                  const Progress& progress);

struct LogoDeps {
  Env& env;
  Operator& op;
  printer::PrinterChannel& channel;
  const config::Settings& settings;  // which printer entry is selected
  ImageReader& reader;
  std::string logo_dir;  // NVImageFile.BIN and PreviewImageFile.bmp
  ConvertOptions options;
  Progress progress;  // may be empty
};

class LogoImages {
 public:
  explicit LogoImages(LogoDeps deps) : d_(std::move(deps)) {}

  std::string NvFilePath() const { return JoinPath(d_.logo_dir, kNvFileName); }
  std::string PreviewFilePath() const { return JoinPath(d_.logo_dir, kPreviewFileName); }

  // Replaces the preview file with the dots `image_path` would print; true
  // when the preview file exists afterwards.
  bool Preview(const std::string& image_path);
  // Checks the 1-bit bitmap and sends it as a downloaded bit image.
  bool DownloadBitImage(const std::string& bmp_path);
  // Stores the logo in the selected printer: a downloaded bit image of
  // `image_path` on the serial printer; on a spooler printer the picture is
  // converted into the NV file, which is sent as it stands. Either way the NV
  // file must exist. True when everything was sent.
  bool LoadLogo(const std::string& image_path);
  // Prints the stored logo once; true when it was sent.
  bool PrintImage();

 private:
  bool ConvertToNvFile(const std::string& image_path);
  bool SendNvFile();

  LogoDeps d_;
};

}  // namespace dovevid::logo
