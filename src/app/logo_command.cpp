#include "app/logo_command.h"

#include <unistd.h>

#include <charconv>
#include <iostream>
#include <optional>

#include "app/options.h"
#include "app/remote.h"
#include "job/control.h"
#include "job/server.h"
#include "logo/bmp.h"
#include "logo/logo.h"
#include "platform/image_reader.h"
#include "platform/posix_env.h"
#include "platform/user_settings.h"

namespace dovevid::app {

namespace {

constexpr char kUsage[] =
    "usage: dovevid logo check FILE\n"
    "       dovevid logo convert FILE [--nv PATH] [--preview PATH] [PICTURE OPTIONS]\n"
    "       dovevid logo load [FILE] [PICTURE OPTIONS]\n"
    "       dovevid logo print\n"
    "\n"
    "The logo printed at the top of receipts (\"Print Logo Up\", chkOptions(2)).\n"
    "Run 'dovevid logo SUBCOMMAND --help' for one subcommand.\n";

constexpr char kCheckUsage[] =
    "usage: dovevid logo check FILE\n"
    "\n"
    "Checks that FILE is a bitmap the serial printer takes as a downloaded bit\n"
    "image (1 bit per pixel, width and height multiples of 32) and prints its\n"
    "size as \"W x H\". Exit status 1, with the reason on standard error, when\n"
    "the file is missing or refused.\n";

constexpr char kPictureOptions[] =
    "picture options:\n"
    "  --dither            spread gray levels into patterns of dots (photos);\n"
    "                      without it every dot darker than the threshold is black\n"
    "  --threshold N       gray level 1..255 below which a dot is black (128)\n"
    "  --paper-width DOTS  printable width; wider pictures are refused (512 for\n"
    "                      80 mm printers; default from PaperWidthDots in group\n"
    "                      [Logo] of ~/.config/Quenbridge/QNBKORV1.conf)\n";

constexpr char kConvertUsage[] =
    "usage: dovevid logo convert FILE [--nv PATH] [--preview PATH] [picture options]\n"
    "                                 [--app-dir DIR]\n"
    "\n"
    "Turns a picture (BMP of 1, 4, 8, 24 or 32 bits, PNG or JPEG) into black and\n"
    "white dots and writes NVImageFile.BIN (the printer commands that store it\n"
    "as the NV graphic with key code 32 32, what 'dovevid logo load' sends to a\n"
    "CUPS printer) and PreviewImageFile.bmp (a 1-bit bitmap of exactly the dots\n"
    "that print), both in the application directory unless --nv or --preview\n"
    "name other files. Prints the size in dots.\n"
    "\n";

constexpr char kLoadUsage[] =
    "usage: dovevid logo load [FILE] [picture options] [--app-dir DIR] [--data-dir DIR]\n"
    "                         [--com N=PATH]\n"
    "\n"
    "Stores the logo in the selected printer (ListPrinters), showing the\n"
    "progress:\n"
    "  - the serial printer (RS232_PRINTER) gets FILE as a downloaded bit image,\n"
    "    which lasts until the printer is switched off; FILE must be a 1-bit\n"
    "    bitmap with sides multiples of 32, and NVImageFile.BIN must exist in\n"
    "    the application directory (see 'dovevid logo convert');\n"
    "  - a CUPS printer gets FILE converted into NVImageFile.BIN, which is sent\n"
    "    as it stands and stays in the printer.\n"
    "Without FILE the logo last converted (PreviewImageFile.bmp) is loaded.\n"
    "Through the server serving the data directory when one runs (it sends the\n"
    "logo between jobs; a picture other than a bitmap is converted here first);\n"
    "otherwise on the printer port directly.\n"
    "\n";

constexpr char kPrintUsage[] =
    "usage: dovevid logo print [--app-dir DIR] [--data-dir DIR] [--com N=PATH]\n"
    "\n"
    "Prints the stored logo once on the selected printer: the downloaded bit\n"
    "image on the serial printer entry, the NV graphic on any other; through\n"
    "the server serving the data directory when one runs.\n";

int Usage(const std::string& error, const char* usage) {
  std::cerr << "dovevid logo: " << error << "\n\n" << usage;
  return 2;
}

bool WantsHelp(const std::vector<std::string>& args) {
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") return true;
  }
  return false;
}

std::optional<int> PositiveNumber(const std::string& text) {
  int n = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec != std::errc() || end != text.data() + text.size() || n <= 0) return std::nullopt;
  return n;
}

struct Parsed {
  CommonOptions common;
  std::optional<std::string> file;
  std::string nv, preview;
  logo::ConvertOptions options;
};

// Takes the options `allowed` lists ("picture", "paths"); the first
// non-option argument is FILE. An error text, or nothing.
std::optional<std::string> Parse(const std::vector<std::string>& args, bool picture, bool paths,
                                 Parsed* p) {
  std::vector<std::string> rest;
  std::string error;
  if (!TakeCommonOptions(args, &p->common, &rest, &error)) return error;
  p->options.paper_width_dots = platform::ReadLogoPaperWidth().value_or(logo::kDefaultPaperWidthDots);
  for (size_t i = 0; i < rest.size(); ++i) {
    const std::string& a = rest[i];
    const bool valued = (paths && (a == "--nv" || a == "--preview")) ||
                        (picture && (a == "--threshold" || a == "--paper-width"));
    if (picture && a == "--dither") {
      p->options.method = logo::Monochrome::kDither;
    } else if (valued) {
      if (i + 1 >= rest.size()) return a + " needs a value";
      const std::string& v = rest[++i];
      if (a == "--nv") p->nv = v;
      if (a == "--preview") p->preview = v;
      if (a == "--threshold" || a == "--paper-width") {
        const auto n = PositiveNumber(v);
        if (!n || (a == "--threshold" && *n > 255)) return a + ": " + v + " is not a valid number";
        (a == "--threshold" ? p->options.threshold : p->options.paper_width_dots) = *n;
      }
    } else if (a.rfind("--", 0) == 0 || p->file) {
      return "unexpected argument '" + a + "'";
    } else {
      p->file = a;
    }
  }
  return std::nullopt;
}

int Check(const std::vector<std::string>& args) {
  Parsed p;
  if (auto error = Parse(args, false, false, &p)) return Usage(*error, kCheckUsage);
  if (!p.file) return Usage("FILE is missing", kCheckUsage);
  platform::PosixEnv env;
  std::string bytes;
  if (!env.ReadFile(*p.file, &bytes).ok()) {
    std::cerr << "dovevid logo: " << logo::kMsgFileNotFound << '\n';
    return 1;
  }
  const auto header = logo::ReadBmpHeader(bytes);
  if (!header || !logo::IsDownloadable(*header)) {
    std::cerr << "dovevid logo: " << logo::kMsgFormatInvalid << '\n';
    return 1;
  }
  std::cout << logo::ImageDimensionText(*header) << '\n';
  return 0;
}

int Convert(const std::vector<std::string>& args) {
  const std::string usage = std::string(kConvertUsage) + kPictureOptions;
  Parsed p;
  if (auto error = Parse(args, true, true, &p)) return Usage(*error, usage.c_str());
  if (!p.file) return Usage("FILE is missing", usage.c_str());
  platform::PosixEnv env;
  const std::string app_dir = p.common.app_dir.value_or(platform::ApplicationDirectory());
  if (p.nv.empty()) p.nv = JoinPath(app_dir, logo::kNvFileName);
  if (p.preview.empty()) p.preview = JoinPath(app_dir, logo::kPreviewFileName);
  platform::QtImageReader reader(env);
  logo::Bitmap dots;
  Status s = env.FileExists(*p.file) ? logo::ConvertImage(reader, *p.file, p.options, &dots)
                                     : Status::Error(fault::kFileNotFound, logo::kMsgFileNotFound);
  if (s.ok()) s = logo::WriteLogoFiles(env, dots, p.nv, p.preview);
  if (!s.ok()) {
    std::cerr << "dovevid logo: " << s.description() << '\n';
    return 1;
  }
  std::cout << dots.width() << " x " << dots.height() << " dots\n" << p.nv << '\n' << p.preview << '\n';
  return 0;
}

// A bar redrawn in place on a terminal; only the end on anything else.
void ShowProgress(int percent) {
  const bool tty = ::isatty(STDERR_FILENO) != 0;
  if (!tty && percent < 100) return;
  const int filled = percent * 30 / 100;
  std::cerr << (tty ? "\r" : "") << '[' << std::string(static_cast<size_t>(filled), '#')
            << std::string(static_cast<size_t>(30 - filled), '.') << "] " << logo::ProgressText(percent)
            << (percent == 100 ? "\n" : "") << std::flush;
}

// The picture as a load request carries it: a bitmap as it is, any other
// picture turned here into a 1-bit bitmap of the dots it prints. An error
// text, or nothing.
std::optional<std::string> PictureBytes(const Parsed& p, std::string* bytes) {
  platform::PosixEnv env;
  if (!env.FileExists(*p.file) || !env.ReadFile(*p.file, bytes).ok()) return logo::kMsgFileNotFound;
  if (bytes->starts_with("BM")) return std::nullopt;
  platform::QtImageReader reader(env);
  logo::Bitmap dots;
  if (Status s = logo::ConvertImage(reader, *p.file, p.options, &dots); !s.ok()) {
    return s.description() + "\ndovevid logo: " + logo::kMsgNotConverted;
  }
  *bytes = logo::EncodeBmp1(dots);
  return std::nullopt;
}

// Shows the progress of a request carried out here.
class ProgressView : public job::StatusView {
 public:
  void ShowLogoProgress(int percent) override { ShowProgress(percent); }
};

// load and print: through the server serving the data directory, which
// owns the printer port; without one, here under its lock.
int WithPrinter(const std::vector<std::string>& args, bool load) {
  const std::string usage = load ? std::string(kLoadUsage) + kPictureOptions : kPrintUsage;
  Parsed p;
  if (auto error = Parse(args, load, false, &p)) return Usage(*error, usage.c_str());
  if (!load && p.file) return Usage("unexpected argument '" + *p.file + "'", usage.c_str());
  std::vector<std::string> request = {"logo", load ? "load" : "print"};
  if (load) {
    std::string bytes;
    if (p.file) {
      if (auto error = PictureBytes(p, &bytes)) {
        std::cerr << "dovevid logo: " << *error << '\n';
        return 1;
      }
    }
    request.push_back(bytes);
    for (std::string& word : job::LogoOptionWords(p.options)) request.push_back(std::move(word));
    if (const std::size_t size = job::EncodeControlMessage(request).size();
        size > job::kMaxControlMessageBytes) {
      const auto header = logo::ReadBmpHeader(request[2]);
      std::cerr << "dovevid logo: " << p.file.value_or("") << ": " << size
                << " bytes to send, more than the " << job::kMaxControlMessageBytes
                << " a request may take"
                << (header && header->bits_per_pixel != 1
                        ? "; a 1-bit bitmap of it is smaller: 'dovevid logo convert FILE' writes "
                          "one, which 'dovevid logo load' without FILE loads"
                        : "")
                << '\n';
      return 1;
    }
  }
  ProgressView view;
  RequestOptions options;
  options.view = &view;
  const RequestResult r = SendRequest(p.common, request, options);
  // The server showed its progress on its own view: here only the end.
  if (load && r.route == RequestRoute::kServer && r.reply.exit_code == 0) ShowProgress(100);
  return PrintReply(r);
}

}  // namespace

int RunLogoCommand(const std::vector<std::string>& args) {
  if (args.empty()) return Usage("a subcommand is missing", kUsage);
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  const std::string& sub = args[0];
  if (sub == "--help" || sub == "-h") {
    std::cout << kUsage;
    return 0;
  }
  const struct {
    const char* name;
    std::string usage;
    int (*run)(const std::vector<std::string>&);
  } subcommands[] = {
      {"check", kCheckUsage, Check},
      {"convert", std::string(kConvertUsage) + kPictureOptions, Convert},
      {"load", std::string(kLoadUsage) + kPictureOptions, [](const auto& a) { return WithPrinter(a, true); }},
      {"print", kPrintUsage, [](const auto& a) { return WithPrinter(a, false); }},
  };
  for (const auto& s : subcommands) {
    if (sub != s.name) continue;
    if (WantsHelp(rest)) {
      std::cout << s.usage;
      return 0;
    }
    return s.run(rest);
  }
  return Usage("unknown subcommand '" + sub + "'", kUsage);
}

}  // namespace dovevid::app
