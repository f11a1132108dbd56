// Arbitrary bytes as the configuration files (settings, words, timer): the
// load must not crash, the polling interval must stay within 1 ms..60 s, and
// what the program saves must read back to the same bytes, so a damaged file
// settles after one save instead of drifting at every start.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "settings_fixture.h"

namespace {

using namespace dovevid;
using fuzz::Check;
using fuzz::kDirs;

std::string LoadAndSave(testing::FakeEnv& env) {
  const config::Settings s = fuzz::LoadSettings(env);
  Check(s.polling_interval_ms >= 1 && s.polling_interval_ms <= 60000);
  Check(config::SaveChkComFile(env, kDirs, s).ok());
  return env.File("/app/KV2EPcfg.txt") + env.File("/data/KV2EPcfg2.txt") +
         env.File("/data/KVTIMER1.TXT");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Three files separated by NUL bytes: settings, words, timer.
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t first = input.find('\0');
  const size_t second = first == std::string_view::npos ? first : input.find('\0', first + 1);
  testing::FakeEnv env;
  env.SetFile("/app/KV2EPcfg.txt", std::string(input.substr(0, first)));
  if (first != std::string_view::npos) {
    env.SetFile("/data/KV2EPcfg2.txt", std::string(input.substr(first + 1, second - first - 1)));
  }
  if (second != std::string_view::npos) {
    env.SetFile("/data/KVTIMER1.TXT", std::string(input.substr(second + 1)));
  }

  LoadAndSave(env);
  const std::string saved = LoadAndSave(env);
  Check(LoadAndSave(env) == saved);
  return 0;
}
