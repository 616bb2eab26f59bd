// UTF-8 decoding for text layout. Ill-formed input never stops layout: each maximal ill-formed
// subsequence becomes one U+FFFD, following the Unicode Standard's recommended practice (chapter
// 3, "U+FFFD Substitution of Maximal Subparts"), so that measuring and drawing agree on the
// number of glyphs whatever the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace platform::text::detail {

constexpr char32_t kReplacementCharacter = 0xFFFD;

// Decodes the code point starting at text[pos] (pos < text.size()) and moves pos past the bytes
// it consumed: at least one, never beyond text.size().
inline char32_t DecodeUtf8(std::string_view text, size_t& pos) {
    const auto byteAt = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t lead = byteAt(pos++);
    if (lead < 0x80) {
        return lead;
    }

    // Well-formed sequences after the Unicode Standard's table 3-7: the second byte's range
    // depends on the lead, which excludes overlong forms, surrogates and values past U+10FFFF.
    int trailing = 0;
    char32_t codePoint = 0;
    uint8_t low = 0x80;
    uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trailing = 1;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trailing = 2;
        codePoint = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trailing = 3;
        codePoint = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return kReplacementCharacter;
    }

    for (int i = 0; i < trailing; ++i) {
        if (pos >= text.size()) {
            return kReplacementCharacter;
        }
        const uint8_t next = byteAt(pos);
        if (next < low || next > high) {
            return kReplacementCharacter; // the offending byte starts the next sequence
        }
        codePoint = (codePoint << 6) | (next & 0x3F);
        ++pos;
        low = 0x80;
        high = 0xBF;
    }
    return codePoint;
}

} // namespace platform::text::detail
