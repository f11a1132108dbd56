// End-to-end fixture: the built `dovevid --headless` on a temporary data
// directory, printing to `dovevid-vprinter` on a pty mapped to COM1, with a
// 100 ms polling interval. Tests act as the cash register does: they write
// job files (or run `dovevid submit`) and read the answers and the bytes the
// virtual printer received.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace dovevid::testing {

// A program run in the background with its output in a file; stopped with
// SIGTERM (Stop) or SIGKILL (destructor).
class Background {
 public:
  Background() = default;
  ~Background();
  Background(const Background&) = delete;
  Background& operator=(const Background&) = delete;

  bool Start(const std::string& program, const std::vector<std::string>& args,
             const std::string& log_path, const std::map<std::string, std::string>& env = {});
  // Sends SIGTERM and returns at once.
  void Terminate();
  // SIGTERM, then waits up to `timeout_ms`; the exit code, or -1 when it did
  // not end in time (it is then killed).
  int Stop(int timeout_ms = 10000);
  // The exit code once the program has ended by itself within `timeout_ms`,
  // else -1.
  int Wait(int timeout_ms);
  bool running() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
};

// Polls `done` every 10 ms for up to `timeout_ms`.
bool WaitFor(const std::function<bool()>& done, int timeout_ms = 5000);

std::string DovevidPath();
std::string VprinterPath();

class ServerTest : public ::testing::Test {
 protected:
  // Starts the virtual printer on a pty (not the server).
  void SetUp() override;
  void TearDown() override;

  // Applies settings with `dovevid settings set` (fails the test on a
  // refusal). The defaults of every test: COM1, text input, 100 ms polling,
  // trace on, no date lines (so the bytes on the wire are predictable).
  void Configure(const std::vector<std::string>& name_values);
  // Starts the server with the directories of this test and COM1 on the pty.
  void StartServer(const std::map<std::string, std::string>& env = {},
                   const std::vector<std::string>& extra_args = {});
  // Stops it with SIGTERM; its exit code.
  int StopServer();
  // Waits until the server has published its identification (SR_MATR) on
  // its first poll.
  void WaitUntilServing();

  // Switches the virtual printer: ready, paper-end, offline, silent.
  void SetPrinterState(const std::string& state);

  std::string Path(const std::string& name) const { return dir_ / name; }
  bool Exists(const std::string& name) const;
  std::string Read(const std::string& name) const { return ReadFileOrEmpty(Path(name)); }
  void Write(const std::string& name, const std::string& bytes) const {
    WriteFileOrDie(Path(name), bytes);
  }
  // Writes SR_DATI and then SR_START, as a cash register does.
  void SubmitFiles(const std::string& data, const std::string& ext = ".001") const;
  // Waits for the end of the job: SR_START gone and FINESCO or SR_ERR there
  // (with SR_OUT's two lines after FINESCO).
  bool WaitForAnswer(const std::string& ext = ".001", int timeout_ms = 10000) const;
  // What the printer received (status queries excluded).
  std::string Captured() const { return ReadFileOrEmpty(capture_); }
  std::string ServerLog() const { return ReadFileOrEmpty(server_log_); }

  TempDir dir_;  // data and application directory
  TempDir printer_dir_;
  std::string tty_, capture_, control_, server_log_;
  Background printer_;
  Background server_;
};

}  // namespace dovevid::testing
