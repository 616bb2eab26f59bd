#include "cli/CardFile.h"

#include "graphics/FileReplace.h"
#include "platform/AtomicFile.h"

namespace cli {

void PutCardFile(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                 ExistingFiles existing) {
    if (existing == ExistingFiles::Overwrite) {
        // Replacing follows links and respects read-only files as Save As does.
        graphics::ReplaceFileContents(path.string(), bytes);
        return;
    }
    if (const auto failure = platform::CreateFileAtomically(path, bytes))
        graphics::RaiseFileFailure(path, *failure, graphics::ErrorWords::System);
}

} // namespace cli
