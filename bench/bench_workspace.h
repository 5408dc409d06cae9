#pragma once

// A temporary folder holding the sample drug database, with the program's state loaded
// from it, for the benchmarks.

#include "startup/app_state.h"
#include "startup/startup_loader.h"
#include "support/fake_prompts.h"
#include "support/temp_folder.h"

#include <cstdio>
#include <memory>

namespace tb::bench {

struct Workspace {
    testing::TempFolder folder;
    std::unique_ptr<AppState> state;
    testing::FakePrompts prompts;

    Workspace()
    {
        folder.copySampleDatabase(TB_SAMPLE_DIR);
        state = std::make_unique<AppState>(std::make_unique<ProductionRandom>(), folder.path());
        if (loadStartupFiles(*state))
            std::fprintf(stderr, "the sample drug database did not load\n");
    }
};

} // namespace tb::bench
