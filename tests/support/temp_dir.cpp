#include "temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>

#include "child_process.h"

namespace dovevid::testing {

TempDir::TempDir() {
  path_ = (std::filesystem::temp_directory_path() / "dovevid-test.XXXXXX").string();
  if (::mkdtemp(path_.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string ReadFileOrEmpty(const std::string& path) {
  std::ostringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

void WriteFileOrDie(const std::string& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!(out << contents).flush()) throw std::runtime_error("cannot write " + path);
}

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args) {
  TempDir scratch;
  ChildProcess child;
  const bool started = child.Start(program, args, scratch / "out", {}, scratch / "err");
  const int exit_code = started ? child.Wait(std::numeric_limits<int>::max()) : -1;
  return {exit_code, ReadFileOrEmpty(scratch / "out"), ReadFileOrEmpty(scratch / "err")};
}

}  // namespace dovevid::testing
