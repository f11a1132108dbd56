// Arbitrary text as settings typed on the command line or sent to the
// server's control socket: one NAME=VALUE a line, txtTimerVal taking the
// polling-interval rule as the "timer" command does. What is accepted must
// show as a value that is accepted again and shows the same; the interval
// stays within 1 ms..60 s; and what is saved must load back to the same
// settings files and the same polling interval at the next start.
#include <fmt/format.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/text.h"
#include "config/schema.h"
#include "settings_fixture.h"

namespace {

using namespace dovevid;
using fuzz::Check;
using fuzz::kDirs;

std::string Files(const config::Settings& s) {
  return config::SettingsFileText(s) + '\0' + config::WordsFileText(s);
}

void Assign(testing::FakeEnv& env, config::Settings& s, std::string_view line) {
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos) return;
  const std::string_view name = line.substr(0, eq), value = line.substr(eq + 1);
  if (name == "txtTimerVal") {
    const double v = Val(value);
    if (v <= 0) return;  // refused before it reaches the rule
    config::CalculateTimer(env, kDirs, s, fmt::format("{}", v), true);
    Check(s.polling_interval_ms >= 1 && s.polling_interval_ms <= 60000);
    return;
  }
  if (!config::SetSetting(s, name, value).ok()) return;
  std::string shown, again;
  Check(config::GetSetting(s, name, &shown));
  config::Settings copy = s;
  Check(config::SetSetting(copy, name, shown).ok() && config::GetSetting(copy, name, &again) &&
        again == shown);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  testing::FakeEnv env;
  config::Settings s = fuzz::LoadSettings(env);
  while (!input.empty()) {
    const size_t end = input.find('\n');
    Assign(env, s, input.substr(0, end));
    input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
  }
  Check(config::SaveChkComFile(env, kDirs, s).ok());

  const config::Settings loaded = fuzz::LoadSettings(env);
  config::Settings expected = s;  // 0 and -1 both mean no display; a load gives -1
  if (expected.display_com_port == 0) expected.display_com_port = -1;
  Check(Files(loaded) == Files(expected));
  Check(loaded.polling_interval_ms == s.polling_interval_ms);
  return 0;
}
