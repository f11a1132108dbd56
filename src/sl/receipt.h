// The receipt renderer: lays an SL receipt out for the configured row length
// into KV2EP.TXT (text rows, TRAS attribute lines and ESC/POS control lines),
// keeping the total, the VAT buckets and the payments in cents, and shows
// totals and change on the customer display.
#pragma once

#include <string>

#include "sl/render.h"

namespace dovevid::sl {

// Renders the SL data file at `data_path` with the row length of
// ctx.settings. Faults inside a record are logged ("SimulazioneScontrino"),
// told to the operator and the rendering goes on; "Dati IVA incoerenti"
// ends it early with the lines so far.
RenderResult SimulazioneScontrino(const RenderContext& ctx, const std::string& data_path);

}  // namespace dovevid::sl
