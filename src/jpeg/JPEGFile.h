// Replacing a file without ever leaving it half written: the new contents go to a temporary file
// in the same folder, are flushed and checked, and only then renamed over the target.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace jpeg {

// Makes the file at path hold exactly bytes. When the temporary file cannot be made, or the
// target is a folder or refuses writing: EFCreateError "Cannot create file "%s". %s". When the
// write falls short (a full disk, a file size limit) or cannot be flushed: EWriteError "Cannot
// write file "%s". %s". Both carry the target's full path and the system's text; in both cases
// an existing file keeps its contents and no temporary file is left behind.
void ReplaceFileContents(const std::string& path, std::span<const uint8_t> bytes);

// Writes all of bytes to the open file fd, going on after interrupted and short writes.
// Returns 0, or the errno of the failed write (ENOSPC when the system writes nothing).
int WriteAll(int fd, std::span<const uint8_t> bytes);

} // namespace jpeg
