// Loading the configuration the way start-up does, for the commands.
#pragma once

#include "app/options.h"
#include "base/env.h"
#include "config/files.h"
#include "config/settings.h"

namespace dovevid::app {

// Timer, settings and words files, then the list defaults. The printer list
// is filled first, as record 18 is matched against it: with the COM ports and
// direct printers of `common` too, so a printer the server is given on its
// command line stays selected. Commands that only look at the settings leave
// the timer file alone. Without `cups_queues` the list has no CUPS queues:
// for commands that need no printer (laying out, handing over a job), which
// then neither ask the scheduler nor load libcups.
config::Settings LoadSettings(Env& env, const config::Directories& dirs,
                              const CommonOptions& common = {}, bool rewrite_timer_file = false,
                              bool cups_queues = true);

}  // namespace dovevid::app
