#pragma once

// A temporary folder holding the sample drug database, with the program's state loaded
// from it, for the benchmarks.

#include "core/foundation/app_state.h"
#include "core/headless/scripted_prompts.h"
#include "core/headless/temp_folder.h"
#include "core/startup/startup_loader.h"

#include <cstdio>
#include <memory>

namespace tb::bench {

struct Workspace {
    headless::TempFolder folder;
    std::unique_ptr<AppState> state;
    headless::ScriptedPrompts prompts;

    Workspace()
    {
        folder.copySampleDatabase(TB_SAMPLE_DIR);
        state = std::make_unique<AppState>(std::make_unique<ProductionRandom>(), folder.path());
        if (loadStartupFiles(*state))
            std::fprintf(stderr, "the sample drug database did not load\n");
    }
};

} // namespace tb::bench
