// Face matching over fontconfig: which installed font file answers a requested face name,
// weight, slant and pitch.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform::text::detail {

struct FaceRequest {
    std::string family;   // as requested; the default-face names are handled here
    int32_t weight = 400; // 1 to 1000, as in LOGFONT
    bool italic = false;
    bool fixedPitch = false;
    uint8_t charset = 1;
};

struct FaceFile {
    std::string path;
    int index = 0; // face index (and named instance) inside the file
    std::string family;
};

// True for the names that stand for the default sans face: "MS Sans Serif", "Default" (any
// case) and the empty name.
bool IsDefaultFaceName(std::string_view name);

// The default-face names look for Liberation Sans, then DejaVu Sans, then whatever sans face
// fontconfig offers; other names go through fontconfig's own matching. Empty only when
// fontconfig knows no usable font at all.
std::optional<FaceFile> MatchFace(const FaceRequest& request);

} // namespace platform::text::detail
