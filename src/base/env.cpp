#include "base/env.h"

#include <cmath>

namespace dovevid {

void Attendi(Env& env, double ms) {
  const long steps = static_cast<long>(std::nearbyint(ms)) / 50;
  for (long i = 0; i < steps; ++i) {
    env.SleepMs(50);
    env.PumpEvents();
  }
}

std::string JoinPath(const std::string& dir, std::string_view name) {
  std::string path = dir;
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
  return path;
}

}  // namespace dovevid
