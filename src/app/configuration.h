// Loading the configuration the way start-up does, for the commands.
#pragma once

#include "base/env.h"
#include "config/files.h"
#include "config/settings.h"

namespace dovevid::app {

// Timer, settings and words files, then the list defaults. The printer list
// is filled first, as record 18 is matched against it. Commands that only
// look at the settings leave the timer file alone.
config::Settings LoadSettings(Env& env, const config::Directories& dirs,
                              bool rewrite_timer_file = false);

}  // namespace dovevid::app
