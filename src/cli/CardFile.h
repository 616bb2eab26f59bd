// Putting the card files of a run in place. A card file under its final name is always whole:
// its contents reach the disk before the name points at them. What a run does not pay per card
// is the folder's flush (one at the end, platform::SyncFolder) and, when earlier files are kept, a
// claim file per name that the card would then replace (creating and freeing an inode per card,
// which file systems without a journal make slower with every inode freed).
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

namespace cli {

enum class ExistingFiles { Keep, Overwrite };

// Makes the file at path hold exactly bytes. With Keep, a file (or link, or folder) of that name
// is never replaced: its appearance since the name was chosen fails the write with EEXIST's
// text; the contents are written to a file without a name (or, where the file system has none,
// a temporary name beside path) and flushed before they are given path. With Overwrite, the file
// is replaced as Save As replaces it (graphics::ReplaceFileContents, which flushes the folder too).
// Raises EFCreateError "Cannot create file "%s". %s" or EWriteError "Cannot write file "%s". %s";
// no temporary file is left behind.
void PutCardFile(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                 ExistingFiles existing);

} // namespace cli
