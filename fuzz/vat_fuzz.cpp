// Arbitrary bytes as the VAT rates file: the load must not crash, code E
// stays exempt, and every rate finds its own code (the first with it).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fake_env.h"
#include "sl/vat.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace dovevid;
  const std::string file(reinterpret_cast<const char*>(data), size);
  testing::FakeEnv env;
  env.SetFile("/app/KVVALIVA.txt", file);
  const sl::VatRates rates = sl::LoadVatRates(env, "/app");
  Check(rates[4] == 0 && rates[5] == 0);
  for (size_t i = 0; i < 5; ++i) {
    int index = -1;
    const std::string code = sl::VatCodeOfRate(rates, rates[i], &index);
    Check(code.size() == 1 && index >= 0 && index <= static_cast<int>(i));
  }
  return 0;
}
