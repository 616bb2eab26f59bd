// Little-endian fields, the byte order of the BMP and GIF formats and of the platform's own
// structures. Readers pass spans they have already read in full; an index past the end is a
// caller's fault, caught by the standard library's assertions in checked builds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace platform {

constexpr uint16_t ReadLe16(std::span<const uint8_t> bytes, size_t at) {
    return uint16_t(bytes[at] | (bytes[at + 1] << 8));
}

constexpr uint32_t ReadLe32(std::span<const uint8_t> bytes, size_t at) {
    return uint32_t(bytes[at]) | (uint32_t(bytes[at + 1]) << 8) | (uint32_t(bytes[at + 2]) << 16) |
           (uint32_t(bytes[at + 3]) << 24);
}

inline void AppendLe16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

inline void AppendLe32(std::vector<uint8_t>& out, uint32_t value) {
    AppendLe16(out, value & 0xFFFF);
    AppendLe16(out, value >> 16);
}

} // namespace platform
