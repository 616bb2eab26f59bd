// The clipboard object that the main window makes anew at every activation. The clipboard
// module's object takes this place once it is wired in; until then the object has an identity
// only, which is what activation promises: a new object each time.
#pragma once

#include <cstdint>
#include <memory>

namespace velmora {

struct ClipboardObject {
    uint64_t serial = 0; // counts the objects made in this run
};

std::unique_ptr<ClipboardObject> NewClipboardObject();

} // namespace velmora
