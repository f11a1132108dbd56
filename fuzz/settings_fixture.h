// What the two settings fuzz targets share: the directories, and the
// settings as the program has them after start-up from the files in env.
#pragma once

#include <cstdlib>
#include <string>

#include "config/files.h"
#include "config/settings.h"
#include "fake_env.h"

namespace dovevid::fuzz {

// A broken promise is a crash, so the fuzzer keeps the input.
inline void Check(bool ok) {
  if (!ok) std::abort();
}

inline const config::Directories kDirs{"/app", "/data", "/data", true};

inline config::Settings LoadSettings(testing::FakeEnv& env) {
  config::Settings s;
  s.printer_entries = {"RS232_PRINTER , COM1", "kitchen ,  socket://127.0.0.1:9100"};
  config::LoadConfiguration(env, kDirs, s, [](const std::string& name) {
    return name == "kitchen" ? 1 : 0;
  });
  config::ApplyListDefaults(s);
  return s;
}

}  // namespace dovevid::fuzz
