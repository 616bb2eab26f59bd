#include "app/Modules.h"

#include "gif/GIFImage.h"
#include "jpeg/JPEGImage.h"
#include "tjpeg/JpegFileImage.h"

namespace velmora {

void InitializeModules() {
    static bool done = false;
    if (done)
        return;
    done = true;
    // The graphics layer makes its own format list entries on first use; the readers add
    // theirs: JPEG for "jpeg" and "jpg" (choosing palette decoding on a screen of 8 bits or
    // fewer), then GIF, then the second JPEG codec for "jpg", whose entry is the newest and so
    // the one the picture dialogs' preview finds for that ending.
    jpeg::InitializeJPEGImageUnit();
    gif::InitializeGIFImageUnit();
    tjpeg::InitializeJpegFileUnit();
}

} // namespace velmora
