#include "app/Modules.h"

#include "gif/GIFImage.h"
#include "jpeg/JPEGImage.h"

namespace velmora {

void InitializeModules() {
    static bool done = false;
    if (done)
        return;
    done = true;
    // The graphics layer makes its own format list entries on first use; the readers add
    // theirs: JPEG for "jpeg" and "jpg" (choosing palette decoding on a screen of 8 bits or
    // fewer), then GIF.
    jpeg::InitializeJPEGImageUnit();
    gif::InitializeGIFImageUnit();
}

} // namespace velmora
