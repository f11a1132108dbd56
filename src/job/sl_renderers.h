// The print run's renderers wired to the SL receipt and invoice renderers.
#pragma once

#include <string>

#include "base/env.h"
#include "base/log.h"
#include "base/operator.h"
#include "config/files.h"
#include "config/settings.h"
#include "job/print_run.h"
#include "sl/render.h"
#include "sl/vat.h"

namespace dovevid::job {

class SlRenderers : public Renderers {
 public:
  // All references must outlive the renderers; the settings are read at
  // every rendering, so changes apply to the next receipt.
  SlRenderers(Env& env, const config::Directories& dirs, const config::Settings& settings,
              TraceLog& trace, Operator& op, sl::CustomerDisplay& display);

  sl::RenderResult Receipt(const std::string& data_path) override;
  sl::RenderResult Invoice(const std::string& data_path) override;

 private:
  sl::RenderContext Context();

  Env& env_;
  const config::Directories& dirs_;
  const config::Settings& settings_;
  TraceLog& trace_;
  Operator& op_;
  sl::CustomerDisplay& display_;
  sl::VatRates vat_rates_;
};

}  // namespace dovevid::job
