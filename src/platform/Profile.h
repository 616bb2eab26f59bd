// The private profile functions: reading and writing one value of an INI file, with the rules
// of the classic desktop platform that callers rely on.
//
// File format: lines of "[Section]" headers and "key=value" entries. Section and key names are
// compared without regard to ASCII letter case; blanks (spaces and tabs) around a name or a value
// are not part of it. Lines that are neither a header nor an entry are kept as they are.
//
// Every successful write replaces the whole file atomically: the new contents go to a temporary
// file in the same folder, are flushed to the disk and renamed over the old file, so a crash
// never leaves a half-written profile behind. Nothing holds the file open between calls.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

namespace platform {

// Copies the value of key in section into buffer, NUL-terminated, and returns the number of
// bytes stored before the terminator. A missing file, section or key gives defaultValue with its
// trailing blanks removed. A value longer than buffer.size() - 1 bytes is cut to fit, never
// inside a UTF-8 sequence. An empty buffer receives nothing and gives 0.
uint32_t GetPrivateProfileStringA(std::string_view section, std::string_view key,
                                  std::string_view defaultValue, std::span<char> buffer,
                                  const std::filesystem::path& fileName);

// Sets key in section to value, creating the file and the section when they are absent. A line
// break inside value would start a new line of the file, so it is stored as a blank instead.
// Returns false when the file cannot be read or replaced (a folder or file that refuses writing,
// a path through a non-folder); errno then holds the cause and the old file is unchanged.
bool WritePrivateProfileStringA(std::string_view section, std::string_view key,
                                std::string_view value, const std::filesystem::path& fileName);

} // namespace platform
