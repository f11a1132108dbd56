// A temporary directory removed with everything in it when the test ends,
// and small helpers for real files in it.
#pragma once

#include <string>
#include <vector>

namespace dovevid::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string ReadFileOrEmpty(const std::string& path);
void WriteFileOrDie(const std::string& path, const std::string& contents);

// Runs a program with arguments (no shell), waits for it and returns its exit
// code; standard output and error are captured.
struct RunResult {
  int exit_code = -1;
  std::string out;
  std::string err;
};
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args);

}  // namespace dovevid::testing
