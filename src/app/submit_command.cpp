#include "app/submit_command.h"

#include <functional>
#include <iostream>
#include <optional>

#include "app/configuration.h"
#include "app/options.h"
#include "app/server_host.h"
#include "platform/control_socket.h"
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
    "While the job waits (paper end, printer not ready) it says so; the job\n"
    "stays queued and is printed when the printer is back.\n"
    "\n"
    "Exit status: 0 printed, 1 error answer, 2 bad usage, 3 no server serves\n"
    "the data directory (nothing is handed over) or no answer in time (the job\n"
    "stays queued: do not submit it again), 4 the job could not be handed over.\n";

constexpr int kPollMs = 20;
// How often the server is asked what a waiting job waits for.
constexpr int kStatusEveryMs = 1000;
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

// The printer state the running server reports ("ready", "paper end", ...),
// or nothing when no server answers on the control socket.
std::optional<std::string> ServerState(const config::Directories& dirs) {
  job::ControlReply reply;
  std::string error;
  if (platform::CallServer(ControlSocketPath(dirs), {"status"}, 2000, &reply, &error) !=
      platform::CallOutcome::kReplied) {
    return std::nullopt;
  }
  for (const std::string& line : SplitAnyLineEnd(reply.out)) {
    if (line.rfind("state=", 0) == 0) return line.substr(6);
  }
  return std::string();
}

// Waits for SR_START to go and the answer to be complete, telling what the
// job waits for meanwhile.
int WaitForAnswer(Env& env, const config::Directories& dirs,
                  const std::function<std::string(std::string_view)>& path, double timeout_s) {
  const std::int64_t deadline = env.MonotonicMs() + static_cast<std::int64_t>(timeout_s * 1000);
  std::int64_t next_check = env.MonotonicMs() + kStatusEveryMs;
  std::string told = "ready";
  while (env.MonotonicMs() < deadline) {
    env.SleepMs(kPollMs);
    std::string contents;
    if (env.FileExists(path(job::kSrStart))) {
      if (env.MonotonicMs() < next_check) continue;
      next_check = env.MonotonicMs() + kStatusEveryMs;
      const std::optional<std::string> state = ServerState(dirs);
      if (!state) {
        std::cerr << "dovevid submit: the server on " << dirs.data_dir << " has stopped; the job "
                  << "is still queued (" << path(job::kSrStart) << ") and is printed when a "
                  << "server starts again: do not submit it again\n";
        return 3;
      }
      if (*state != told && !state->empty()) {
        told = *state;
        if (told != "ready") {
          std::cerr << "dovevid submit: waiting: the printer reports " << told
                    << "; the job is still queued\n";
        }
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
  std::cerr << "dovevid submit: no answer within " << timeout_s << " s; the job is still "
            << "queued (" << path(job::kSrStart) << ") and the server prints it when it can: do "
            << "not submit it again ('dovevid status' tells what it waits for)\n";
  return 3;
}

struct SubmitArguments {
  CommonOptions common;
  std::optional<std::string> file, ext;
  double timeout_s = 60;
};

// The command's arguments; an exit code when it ends here (help, bad usage).
std::optional<int> ParseSubmitArguments(const std::vector<std::string>& args,
                                        SubmitArguments* out) {
  std::vector<std::string> rest;
  std::string error;
  if (!TakeCommonOptions(args, &out->common, &rest, &error)) return Usage(error);
  std::optional<std::string>& file = out->file;
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
        out->ext = v;
      } else {
        const std::optional<double> n = ParseNumber(v);
        // Bounded so the deadline in milliseconds cannot overflow.
        if (!n || *n <= 0 || *n > kMaxTimeoutS) {
          return Usage("--timeout takes a number of seconds up to 86400");
        }
        out->timeout_s = *n;
      }
    } else if (a.rfind("--", 0) == 0 || file) {
      return Usage("unexpected argument '" + a + "'");
    } else {
      file = a;
    }
  }
  if (!file) return Usage("which file?");
  return std::nullopt;
}

}  // namespace

int RunSubmitCommand(const std::vector<std::string>& args) {
  SubmitArguments a;
  if (const auto exit_code = ParseSubmitArguments(args, &a)) return *exit_code;
  const std::optional<std::string>& file = a.file;
  std::optional<std::string>& ext = a.ext;

  platform::PosixEnv env;
  std::string error;
  const std::optional<config::Directories> dirs = ResolveDirectories(env, a.common, &error);
  if (!dirs) {
    std::cerr << "dovevid submit: " << error << '\n';
    return 4;
  }
  if (!ext) ext = LoadSettings(env, *dirs, {}, false, /*cups_queues=*/false).FileExtension();
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
  // Nobody would take the job: say so before leaving files behind.
  if (!ServerState(*dirs)) {
    std::cerr << "dovevid submit: no server is serving " << dirs->data_dir
              << " (start one with 'dovevid --headless'); nothing was handed over\n";
    return 3;
  }
  // The data complete and closed before the start file appears.
  Status st = env.WriteFile(path(job::kSrDati), data);
  if (st.ok()) st = env.WriteFile(path(job::kSrStart), "");
  if (!st.ok()) {
    std::cerr << "dovevid submit: " << dirs->data_dir << ": " << st.description() << '\n';
    return 4;
  }
  return WaitForAnswer(env, *dirs, path, a.timeout_s);
}

}  // namespace dovevid::app
