#include "app/ClipboardSeam.h"

namespace velmora {

std::unique_ptr<ClipboardObject> NewClipboardObject() {
    static uint64_t made = 0;
    auto object = std::make_unique<ClipboardObject>();
    object->serial = ++made;
    return object;
}

} // namespace velmora
