#pragma once

#include <functional>

namespace tb {

class Prompts;

/// Runs one command of the test window; whatever it throws becomes a message to the teacher,
/// so that no exception reaches the window's event loop.
void runGuarded(Prompts& prompts, const std::function<void()>& command);

} // namespace tb
