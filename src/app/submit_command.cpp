#include "app/submit_command.h"

#include <iostream>
#include <optional>

#include "app/configuration.h"
#include "app/options.h"
#include "base/text.h"
#include "config/settings.h"
#include "job/job_files.h"
#include "platform/posix_env.h"

namespace dovevid::app {

namespace {

constexpr char kUsage[] =
    "usage: dovevid submit FILE [--data-dir DIR] [--app-dir DIR] [--ext .00N] [--timeout S]\n"
    "\n"
    "Hands FILE to a running server as a cash register does: writes it as\n"
    "SR_DATI, then creates SR_START, and waits until SR_START is gone and the\n"
    "server has answered. On success prints the two lines of SR_OUT and exits\n"
    "0; on an error answer prints the line of SR_ERR and exits 1.\n"
    "\n"
    "  --ext .00N    job-file extension, .001 to .008 (default: the configured one)\n"
    "  --timeout S   seconds to wait for the answer (default 60, at most 86400)\n"
    "\n"
    "Exit status: 0 printed, 1 error answer, 2 bad usage, 3 no answer in\n"
    "time, 4 the job could not be handed over.\n";

constexpr int kPollMs = 20;
constexpr double kMaxTimeoutS = 86400;

int Usage(const std::string& error) {
  std::cerr << "dovevid submit: " << error << '\n' << kUsage;
  return 2;
}

// The answer's lines without their line ends.
std::string Lines(const std::string& contents) {
  std::string out;
  for (const std::string& line : SplitCrLf(contents)) out += line + '\n';
  return out;
}

}  // namespace

int RunSubmitCommand(const std::vector<std::string>& args) {
  CommonOptions common;
  std::vector<std::string> rest;
  std::string error;
  if (!TakeCommonOptions(args, &common, &rest, &error)) return Usage(error);

  std::optional<std::string> file, ext;
  double timeout_s = 60;
  for (size_t i = 0; i < rest.size(); ++i) {
    const std::string& a = rest[i];
    if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (a == "--ext" || a == "--timeout") {
      if (i + 1 >= rest.size()) return Usage(a + " needs a value");
      const std::string& v = rest[++i];
      if (a == "--ext") {
        ext = v;
      } else {
        const std::optional<double> n = ParseNumber(v);
        // Bounded so the deadline in milliseconds cannot overflow.
        if (!n || *n <= 0 || *n > kMaxTimeoutS) {
          return Usage("--timeout takes a number of seconds up to 86400");
        }
        timeout_s = *n;
      }
    } else if (a.rfind("--", 0) == 0 || file) {
      return Usage("unexpected argument '" + a + "'");
    } else {
      file = a;
    }
  }
  if (!file) return Usage("which file?");

  platform::PosixEnv env;
  const std::optional<config::Directories> dirs = ResolveDirectories(env, common, &error);
  if (!dirs) {
    std::cerr << "dovevid submit: " << error << '\n';
    return 4;
  }
  if (!ext) ext = LoadSettings(env, *dirs).FileExtension();
  const auto& extensions = config::ListItems(config::List::kFileExtension);
  if (std::find(extensions.begin(), extensions.end(), *ext) == extensions.end()) {
    return Usage("--ext takes .001 to .008");
  }
  const auto path = [&](std::string_view base) {
    return JoinPath(dirs->data_dir, std::string(base) + *ext);
  };

  std::string data;
  if (const Status st = env.ReadFile(*file, &data); !st.ok()) {
    std::cerr << "dovevid submit: " << *file << ": " << st.description() << '\n';
    return 4;
  }
  if (env.FileExists(path(job::kSrStart))) {
    std::cerr << "dovevid submit: a job is already waiting (" << path(job::kSrStart) << ")\n";
    return 4;
  }
  // The data complete and closed before the start file appears.
  Status st = env.WriteFile(path(job::kSrDati), data);
  if (st.ok()) st = env.WriteFile(path(job::kSrStart), "");
  if (!st.ok()) {
    std::cerr << "dovevid submit: " << dirs->data_dir << ": " << st.description() << '\n';
    return 4;
  }

  const std::int64_t deadline = env.MonotonicMs() + static_cast<std::int64_t>(timeout_s * 1000);
  bool told_paper_end = false;
  while (env.MonotonicMs() < deadline) {
    env.SleepMs(kPollMs);
    const bool started = env.FileExists(path(job::kSrStart));
    std::string contents;
    if (started) {
      // The server reports a paper end while it waits for new paper.
      if (!told_paper_end && env.ReadFile(path(job::kSrErr), &contents).ok() &&
          contents.rfind("E096", 0) == 0) {
        std::cerr << "dovevid submit: waiting: " << Lines(contents);
        told_paper_end = true;
      }
      continue;
    }
    if (env.FileExists(path(job::kFinesco))) {
      // FINESCO comes just before the result lines: wait for both.
      if (env.ReadFile(path(job::kSrOut), &contents).ok() && SplitCrLf(contents).size() >= 2) {
        std::cout << Lines(contents);
        return 0;
      }
      continue;
    }
    if (env.ReadFile(path(job::kSrErr), &contents).ok() && !contents.empty()) {
      std::cout << Lines(contents);
      return 1;
    }
  }
  std::cerr << "dovevid submit: no answer within " << timeout_s << " s (is the server running on "
            << dirs->data_dir << "?)\n";
  return 3;
}

}  // namespace dovevid::app
