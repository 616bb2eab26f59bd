#include "labels/SheetFile.h"

#include "platform/Ascii.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>

namespace velmora::labels {

namespace {

constexpr std::size_t kMaxNameBytes = 64;

enum class Key { name, paper, columns, rows, labelSize, pitch, margins };

struct KeyName {
    Key key;
    std::string_view text;
};

constexpr std::array<KeyName, 7> kKeys = {{
    {Key::name, "name"},
    {Key::paper, "paper"},
    {Key::columns, "columns"},
    {Key::rows, "rows"},
    {Key::labelSize, "label-size"},
    {Key::pitch, "pitch"},
    {Key::margins, "margins"},
}};

struct Pair {
    double first = 0;
    double second = 0;
};

class SheetParser {
  public:
    explicit SheetParser(const std::string& sourceName) : source_(sourceName) {
        sheet_.name = std::filesystem::path(sourceName).stem().string();
    }

    SheetLayout Parse(std::string_view text);

  private:
    [[noreturn]] void Fail(const std::string& problem) const {
        throw ELabelError(source_ + ", line " + std::to_string(line_) + ": " + problem);
    }

    void ParseLine(std::string_view line);
    void Apply(Key key, std::string_view keyText, std::string_view value);
    Pair ParsePair(std::string_view keyText, std::string_view value) const;
    int ParseCount(std::string_view keyText, std::string_view value) const;
    std::string ParseName(std::string_view value) const;

    std::string source_;
    std::size_t line_ = 0;
    SheetLayout sheet_;
    std::array<bool, kKeys.size()> seen_{};
};

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text.substr(0, platform::Utf8CutLength(text, 40))) + "\"";
}

// A plain decimal number ("63.5", "0.1875"), read without regard to the locale.
std::optional<double> ReadNumber(std::string_view& text) {
    double value = 0;
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (begin == end || !(std::isdigit(static_cast<unsigned char>(*begin)) || *begin == '.'))
        return std::nullopt; // no sign, no "inf" or "nan"
    const auto [next, error] = std::from_chars(begin, end, value, std::chars_format::fixed);
    if (error != std::errc() || !std::isfinite(value))
        return std::nullopt;
    text.remove_prefix(static_cast<std::size_t>(next - begin));
    return value;
}

SheetLayout SheetParser::Parse(std::string_view text) {
    if (text.size() > kMaxSheetFileBytes)
        throw ELabelError(source_ + ": a sheet file holds at most " +
                          std::to_string(kMaxSheetFileBytes / 1024) + " KiB of text.");
    if (text.find('\0') != std::string_view::npos)
        throw ELabelError(source_ + ": this is not a text file.");
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3); // a byte order mark some editors write
    while (!text.empty() || line_ == 0) {
        ++line_;
        const std::size_t end = text.find('\n');
        ParseLine(text.substr(0, end));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    std::string missing;
    for (std::size_t i = 1; i < kKeys.size(); ++i) { // all but name
        if (!seen_[i])
            missing += (missing.empty() ? "" : ", ") + std::string(kKeys[i].text);
    }
    if (!missing.empty())
        throw ELabelError(source_ + ": the sheet file does not give " + missing + ".");
    ValidateSheet(sheet_);
    return sheet_;
}

void SheetParser::ParseLine(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() == '#' || line.front() == ';')
        return;
    if (line.front() == '[')
        Fail("sections are not used in a sheet file; write only \"key = value\" lines");
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        Fail("expected \"key = value\", found " + Quoted(line));
    const std::string_view keyText = Trim(line.substr(0, equals));
    const std::string_view value = Trim(line.substr(equals + 1));
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        if (!platform::EqualNoCase(keyText, kKeys[i].text))
            continue;
        if (seen_[i])
            Fail("\"" + std::string(kKeys[i].text) + "\" is given twice");
        seen_[i] = true;
        if (value.empty())
            Fail("\"" + std::string(kKeys[i].text) + "\" has no value");
        Apply(kKeys[i].key, kKeys[i].text, value);
        return;
    }
    Fail("unknown key " + Quoted(keyText) +
         " (the keys are name, paper, columns, rows, label-size, pitch, margins)");
}

void SheetParser::Apply(Key key, std::string_view keyText, std::string_view value) {
    switch (key) {
    case Key::name:
        sheet_.name = ParseName(value);
        break;
    case Key::paper:
        if (platform::EqualNoCase(value, "A4")) {
            sheet_.paperWidth = kA4WidthMm;
            sheet_.paperHeight = kA4HeightMm;
        } else if (platform::EqualNoCase(value, "Letter")) {
            sheet_.paperWidth = kLetterWidthMm;
            sheet_.paperHeight = kLetterHeightMm;
        } else {
            const Pair size = ParsePair(keyText, value);
            sheet_.paperWidth = size.first;
            sheet_.paperHeight = size.second;
        }
        break;
    case Key::columns:
        sheet_.columns = ParseCount(keyText, value);
        break;
    case Key::rows:
        sheet_.rows = ParseCount(keyText, value);
        break;
    case Key::labelSize: {
        const Pair size = ParsePair(keyText, value);
        sheet_.labelWidth = size.first;
        sheet_.labelHeight = size.second;
        break;
    }
    case Key::pitch: {
        const Pair pitch = ParsePair(keyText, value);
        sheet_.pitchX = pitch.first;
        sheet_.pitchY = pitch.second;
        break;
    }
    case Key::margins: {
        const Pair margins = ParsePair(keyText, value);
        sheet_.marginLeft = margins.first;
        sheet_.marginTop = margins.second;
        break;
    }
    }
}

Pair SheetParser::ParsePair(std::string_view keyText, std::string_view value) const {
    const std::string expected = "\"" + std::string(keyText) +
                                 "\" needs two lengths such as \"63.5 x 38.1\" (millimetres) or "
                                 "\"2.625 x 1 in\", not " +
                                 Quoted(value);
    double scale = 1.0;
    if (platform::EndsWithNoCase(value, "in")) {
        scale = 25.4;
        value = Trim(value.substr(0, value.size() - 2));
    } else if (platform::EndsWithNoCase(value, "mm")) {
        value = Trim(value.substr(0, value.size() - 2));
    }
    const std::optional<double> first = ReadNumber(value);
    if (!first)
        Fail(expected);
    value = Trim(value);
    if (!value.empty() && (value.front() == 'x' || value.front() == 'X' || value.front() == ','))
        value = Trim(value.substr(1));
    const std::optional<double> second = ReadNumber(value);
    if (!second || !Trim(value).empty())
        Fail(expected);
    return {*first * scale, *second * scale};
}

int SheetParser::ParseCount(std::string_view keyText, std::string_view value) const {
    int count = 0;
    const auto [next, error] = std::from_chars(value.data(), value.data() + value.size(), count);
    if (error != std::errc() || next != value.data() + value.size() || count < 1 ||
        count > kMaxLabelsPerSide)
        Fail("\"" + std::string(keyText) + "\" must be a whole number from 1 to " +
             std::to_string(kMaxLabelsPerSide) + ", not " + Quoted(value));
    return count;
}

std::string SheetParser::ParseName(std::string_view value) const {
    if (value.size() > kMaxNameBytes)
        Fail("the name is longer than " + std::to_string(kMaxNameBytes) + " bytes");
    for (char c : value) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            Fail("the name holds a control character");
    }
    return std::string(value);
}

} // namespace

SheetLayout ParseSheetFile(std::string_view text, const std::string& sourceName) {
    return SheetParser(sourceName).Parse(text);
}

SheetLayout ReadSheetFile(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        throw ELabelError("\"" + path + "\" is a folder, not a sheet file.");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw ELabelError("Cannot open the sheet file \"" + path + "\".");
    // Read one byte past the limit, so an oversized file is refused without reading all of it.
    std::string text(kMaxSheetFileBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad())
        throw ELabelError("Cannot read the sheet file \"" + path + "\".");
    text.resize(static_cast<std::size_t>(in.gcount()));
    return ParseSheetFile(text, path);
}

SheetLayout ResolveSheet(const std::string& nameOrPath) {
    if (const SheetLayout* builtIn = FindBuiltInSheet(nameOrPath))
        return *builtIn;
    std::error_code error;
    if (!std::filesystem::exists(nameOrPath, error)) {
        std::string names;
        for (const SheetLayout& sheet : BuiltInSheets())
            names += (names.empty() ? "" : ", ") + sheet.name;
        throw ELabelError("\"" + nameOrPath + "\" is neither a built-in label sheet (" + names +
                          ") nor a sheet file.");
    }
    return ReadSheetFile(nameOrPath);
}

} // namespace velmora::labels
