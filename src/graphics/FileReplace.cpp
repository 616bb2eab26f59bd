#include "graphics/FileReplace.h"

#include "graphics/Exceptions.h"
#include "platform/Kernel.h"

#include <cerrno>
#include <cstring>

namespace graphics {

namespace {

std::string FullPath(const std::filesystem::path& path) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return ec ? path.string() : full.lexically_normal().string();
}

// The system's text for errno, in the platform's words where it has them.
std::string PlatformText(int error) {
    uint32_t code = 0;
    if (error == ENOENT || error == ENOTDIR)
        code = platform::ERROR_FILE_NOT_FOUND;
    else if (error == EACCES || error == EPERM || error == EISDIR || error == EROFS)
        code = platform::ERROR_ACCESS_DENIED;
    std::string text = code != 0 ? platform::SystemErrorText(code) : std::string();
    return text.empty() ? std::string(std::strerror(error)) : text;
}

} // namespace

void RaiseFileFailure(const std::filesystem::path& target, platform::FileFailure failure,
                      ErrorWords words) {
    const std::string reason =
        words == ErrorWords::Platform ? PlatformText(failure.error) : std::strerror(failure.error);
    const std::string file = "\"" + FullPath(target) + "\". ";
    if (failure.step == platform::FileStep::Write)
        throw EWriteError("Cannot write file " + file + reason);
    throw EFCreateError("Cannot create file " + file + reason);
}

void ReplaceFileContents(const std::string& path, std::span<const uint8_t> bytes) {
    if (const auto failure =
            platform::ReplaceFileAtomically(path, bytes, platform::OldPermissions::IfPossible))
        RaiseFileFailure(path, *failure, ErrorWords::Platform);
}

} // namespace graphics
