#include "core/testbuilder/command_guard.h"

#include "core/foundation/cp1252.h"
#include "core/foundation/prompts.h"

#include <exception>

namespace tb {

void runGuarded(Prompts& prompts, const std::function<void()>& command)
{
    // Every command ends here: a file that cannot be read or written becomes a message
    // naming it, and the window goes on with the test as it stands.
    try {
        command();
    } catch (const std::exception& error) {
        prompts.message(toCp1252(error.what()), "");
    } catch (...) {
        prompts.message("An unexpected error stopped the command.", "");
    }
}

} // namespace tb
