#include "job/sl_renderers.h"

#include "sl/invoice.h"
#include "sl/receipt.h"

namespace dovevid::job {

SlRenderers::SlRenderers(Env& env, const config::Directories& dirs,
                         const config::Settings& settings, TraceLog& trace, Operator& op,
                         sl::CustomerDisplay& display)
    : env_(env),
      dirs_(dirs),
      settings_(settings),
      trace_(trace),
      op_(op),
      display_(display),
      vat_rates_(sl::DefaultVatRates()) {}

sl::RenderContext SlRenderers::Context() {
  return sl::RenderContext{env_, dirs_, settings_, vat_rates_, trace_, op_, display_, env_.Now()};
}

sl::RenderResult SlRenderers::Receipt(const std::string& data_path) {
  return sl::SimulazioneScontrino(Context(), data_path);
}

sl::RenderResult SlRenderers::Invoice(const std::string& data_path) {
  vat_rates_ = sl::LoadVatRates(env_, dirs_.app_dir);
  return sl::SimulazioneFattura(Context(), data_path);
}

}  // namespace dovevid::job
