#include "graphics/Color.h"

#include "platform/Screen.h"

namespace graphics {

TColor ResolveColor(TColor color) {
    if (color < 0)
        return static_cast<TColor>(platform::GetSysColor(int(uint32_t(color) & 0xFF)));
    return color;
}

} // namespace graphics
