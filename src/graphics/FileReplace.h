// Files written whole (platform/AtomicFile.h) with the stream classes' failures: the messages
// name the file by its full path and give the system's reason.
#pragma once

#include "platform/AtomicFile.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace graphics {

// How the system's reason is worded: in the platform's words where it has them, as the file
// streams word them (Platform), or as the C library says it (System).
enum class ErrorWords { Platform, System };

// Raises EFCreateError "Cannot create file "%s". %s" for a failure to make or name the file, or
// EWriteError "Cannot write file "%s". %s" for one to write or flush it, with target's full path.
[[noreturn]] void RaiseFileFailure(const std::filesystem::path& target,
                                   platform::FileFailure failure, ErrorWords words);

// Makes the file at path hold exactly bytes (platform::ReplaceFileAtomically; its permission
// bits carry over when the system allows). When the temporary file cannot be made, or the target
// is a folder or refuses writing: EFCreateError. When the write falls short (a full disk, a file
// size limit) or cannot be flushed: EWriteError. Both carry the target's full path and the
// system's text in the platform's words; in both cases an existing file keeps its contents and
// no temporary file is left behind.
void ReplaceFileContents(const std::string& path, std::span<const uint8_t> bytes);

} // namespace graphics
