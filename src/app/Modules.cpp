#include "app/Modules.h"

#include "card/PictureTable.h"

namespace velmora {

void InitializeModules() {
    static bool done = false;
    if (done)
        return;
    done = true;
    // The graphics layer makes its own format list entries on first use; the picture table adds
    // the readers': JPEG for "jpeg" and "jpg" (choosing palette decoding on a screen of 8 bits
    // or fewer), then GIF, then the second JPEG codec for "jpg", whose entry is the newest.
    card::InitializePictureModules();
}

} // namespace velmora
