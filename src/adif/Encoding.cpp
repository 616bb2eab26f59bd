#include "adif/Encoding.h"

#include <cstdint>

namespace adif {

namespace {

bool IsContinuation(std::string_view text, size_t at) {
    return at < text.size() && (uint8_t(text[at]) & 0xC0) == 0x80;
}

// Windows-1252's meaning of bytes 0x80 to 0x9F; zero where the code page defines none.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

} // namespace

size_t Utf8SequenceLength(std::string_view text, size_t at) {
    const auto lead = uint8_t(text[at]);
    if (lead < 0x80)
        return 1;
    size_t length = 0;
    uint32_t minimum = 0;
    uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        minimum = 0x80;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        minimum = 0x800;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        minimum = 0x10000;
        code = lead & 0x07;
    } else {
        return 1;
    }
    for (size_t i = 1; i < length; ++i) {
        if (!IsContinuation(text, at + i))
            return 1;
        code = (code << 6) | (uint8_t(text[at + i]) & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 1;
    return length;
}

bool IsValidUtf8(std::string_view text) {
    for (size_t at = 0; at < text.size();) {
        if (uint8_t(text[at]) < 0x80) {
            ++at;
            continue;
        }
        const size_t length = Utf8SequenceLength(text, at);
        if (length == 1)
            return false;
        at += length;
    }
    return true;
}

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

std::string Latin1ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        const auto byte = uint8_t(c);
        char32_t code = byte;
        if (byte >= 0x80 && byte <= 0x9F && kWindows1252High[byte - 0x80] != 0)
            code = kWindows1252High[byte - 0x80];
        AppendUtf8(out, code);
    }
    return out;
}

DecodedText DecodeLogText(std::string_view bytes) {
    if (IsValidUtf8(bytes))
        return {std::string(bytes), TextEncoding::Utf8};
    return {Latin1ToUtf8(bytes), TextEncoding::Latin1};
}

} // namespace adif
