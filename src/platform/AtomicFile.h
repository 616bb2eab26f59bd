// Putting a file's whole contents in place so that no reader, and no crash, ever finds it half
// written: the bytes go to a new file in the same folder, are flushed to the disk, and only then
// does that file take the target's name. The station profile, saved and converted pictures,
// label sheets and velmora-card's cards all come this way.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

namespace platform {

// The step that failed: making the new file or giving it its name (Create), or writing and
// flushing its contents (Write). Callers word their messages by it.
enum class FileStep { Create, Write };

struct FileFailure {
    FileStep step;
    int error; // the errno value
};

// How the permission bits of a replaced file carry over to the new one: a failure to set them
// fails the replacement (Required), or leaves the new file with the usual bits (IfPossible).
enum class OldPermissions { IfPossible, Required };

// Makes the file at target hold exactly bytes, renaming a new file over an existing one. A
// symbolic link is followed, so the file it names is replaced and the link stays. A folder
// (EISDIR) and a file that refuses writing are not replaced (Create, as emptying them would
// fail). The new file is a hidden temporary file beside the target (".NAME.tmp-PID-N"); after
// the rename the folder is flushed too. On failure an existing file keeps its contents and no
// temporary file is left behind.
std::optional<FileFailure> ReplaceFileAtomically(const std::filesystem::path& target,
                                                 std::span<const uint8_t> bytes,
                                                 OldPermissions permissions);

// Gives target exactly bytes as a new file and never replaces anything: a file, link or folder
// of that name fails the call with EEXIST (Create), even one that appeared while the bytes were
// written. The contents go to a file without a name where the file system has them (O_TMPFILE:
// a crash leaves nothing behind), else to a hidden temporary name, are flushed, and are then
// linked under target. The folder is not flushed: SyncFolder does that once for many files.
std::optional<FileFailure> CreateFileAtomically(const std::filesystem::path& target,
                                                std::span<const uint8_t> bytes);

// Flushes the folder, so the names given to files in it last; false when the flush failed.
bool SyncFolder(const std::filesystem::path& folder);

// Writes all of bytes to the open file fd, going on after interrupted and short writes.
// Returns 0, or the errno of the failed write (ENOSPC when the system writes nothing).
int WriteAll(int fd, std::span<const uint8_t> bytes);

} // namespace platform
