// MD5 (RFC 1321), for comparing decoded pixels with the checksums that reference decoders list
// (giflib's for the GIF corpus, djpeg's for the JPEG one).
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace testsupport {

// The digest as 32 lower-case hex digits. Whole blocks are hashed in place; only the padded tail
// is copied, so large pictures cost no second buffer.
std::string Md5Hex(std::span<const uint8_t> bytes);

} // namespace testsupport
