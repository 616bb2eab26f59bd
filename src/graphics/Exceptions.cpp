#include "graphics/Exceptions.h"

#include "platform/Kernel.h"

namespace graphics {

void RaiseOutOfResources() {
    const uint32_t code = platform::GetLastError();
    std::string text = code == 0 ? std::string() : platform::SystemErrorText(code);
    if (text.empty())
        text = "Out of system resources";
    throw EOutOfResources(std::move(text));
}

void RaiseBitmapCreationError() {
    const uint32_t code = platform::GetLastError();
    if (code == 0)
        throw EInvalidGraphic("Bitmap image is not valid");
    throw EOSError("System Error.  Code: " + std::to_string(code) + ".\r\n" +
                       platform::SystemErrorText(code),
                   code);
}

} // namespace graphics
