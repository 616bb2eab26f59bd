// The text encoding of a contact log. ADIF logs are meant to be UTF-8 (or ASCII), but older
// Windows loggers write the system code page; a file that is not valid UTF-8 is read as that
// code page and converted, so names and places reach the card instead of replacement marks.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace adif {

enum class TextEncoding { Utf8, Latin1 };

struct DecodedText {
    std::string text; // UTF-8
    TextEncoding encoding = TextEncoding::Utf8;
};

// True when text is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsValidUtf8(std::string_view text);

// Latin-1 text as UTF-8. Bytes 0x80 to 0x9F are read as Windows-1252 gives them (the euro sign,
// typographic quotes and so on), as the WHATWG Encoding Standard does for text labelled Latin-1;
// the five bytes that code page leaves undefined keep their Latin-1 meaning.
std::string Latin1ToUtf8(std::string_view text);

// The text unchanged when it is valid UTF-8 (a byte order mark is kept), else read as Latin-1.
DecodedText DecodeLogText(std::string_view bytes);

// The bytes of the well-formed UTF-8 sequence starting at text[at], or 1 for any other byte
// (an ill-formed byte stands for itself). at must be inside text.
size_t Utf8SequenceLength(std::string_view text, size_t at);

void AppendUtf8(std::string& out, char32_t code);

} // namespace adif
