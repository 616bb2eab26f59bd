#include "app/Modules.h"

namespace velmora {

void InitializeModules() {
    static bool done = false;
    if (done)
        return;
    done = true;
    // The graphics layer creates its own format list entries on first use. The JPEG and GIF
    // modules add theirs through their initialisation functions, called here as they arrive.
}

} // namespace velmora
