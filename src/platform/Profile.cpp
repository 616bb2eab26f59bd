#include "platform/Profile.h"

#include "platform/Ascii.h"
#include "platform/AtomicFile.h"

#include <cerrno>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace platform {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// One line of a profile file, classified once.
struct Line {
    enum class Kind { Other, Header, Entry };
    std::string text;
    Kind kind = Kind::Other;
    std::string name;  // section name for a header, key for an entry
    std::string value; // entries only
};

Line Classify(std::string text) {
    Line line;
    line.text = std::move(text);
    std::string_view view = Trim(line.text);
    if (!view.empty() && view.front() == '[') {
        const size_t close = view.find(']');
        if (close != std::string_view::npos) {
            line.kind = Line::Kind::Header;
            line.name = Trim(view.substr(1, close - 1));
        }
        return line;
    }
    if (!view.empty() && view.front() == ';')
        return line; // a comment, even when it holds '='
    const size_t equals = view.find('=');
    if (equals != std::string_view::npos) {
        line.kind = Line::Kind::Entry;
        line.name = Trim(view.substr(0, equals));
        line.value = Trim(view.substr(equals + 1));
    }
    return line;
}

// The file split into lines, or nothing when it cannot be read. A missing file is an empty one.
std::optional<std::vector<Line>> ReadLines(const std::filesystem::path& fileName) {
    std::vector<Line> lines;
    std::ifstream in(fileName, std::ios::binary);
    if (!in) {
        if (errno == ENOENT)
            return lines;
        return std::nullopt;
    }
    std::string text;
    while (std::getline(in, text)) {
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        lines.push_back(Classify(std::move(text)));
    }
    if (in.bad())
        return std::nullopt;
    return lines;
}

struct Position {
    size_t section = 0; // index of the header line
    std::optional<size_t> entry;
    size_t insertAt = 0; // after the section's last non-blank line
};

std::optional<Position> Find(const std::vector<Line>& lines, std::string_view section,
                             std::string_view key) {
    size_t i = 0;
    while (i < lines.size() &&
           !(lines[i].kind == Line::Kind::Header && EqualNoCase(lines[i].name, section)))
        ++i;
    if (i == lines.size())
        return std::nullopt;
    Position position;
    position.section = i;
    position.insertAt = i + 1;
    for (size_t j = i + 1; j < lines.size() && lines[j].kind != Line::Kind::Header; ++j) {
        if (!Trim(lines[j].text).empty())
            position.insertAt = j + 1;
        if (!position.entry && lines[j].kind == Line::Kind::Entry &&
            EqualNoCase(lines[j].name, key))
            position.entry = j;
    }
    return position;
}

// Copies value into buffer with its terminating zero, cut so no UTF-8 sequence is split.
uint32_t Store(std::string_view value, std::span<char> buffer) {
    if (buffer.empty())
        return 0;
    const size_t count = Utf8CutLength(value, buffer.size() - 1);
    value.copy(buffer.data(), count);
    buffer[count] = '\0';
    return static_cast<uint32_t>(count);
}

bool ValidName(std::string_view name) {
    return !Trim(name).empty() && name.find_first_of("[]=\r\n") == std::string_view::npos;
}

std::string SingleLine(std::string_view value) {
    std::string line(Trim(value));
    for (char& c : line) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    return line;
}

} // namespace

uint32_t GetPrivateProfileStringA(std::string_view section, std::string_view key,
                                  std::string_view defaultValue, std::span<char> buffer,
                                  const std::filesystem::path& fileName) {
    std::string_view fallback = defaultValue;
    while (!fallback.empty() && IsBlank(fallback.back()))
        fallback.remove_suffix(1);
    const int savedErrno = errno;
    const auto lines = ReadLines(fileName);
    errno = savedErrno; // a missing file is no error for a reader
    if (!lines)
        return Store(fallback, buffer);
    const auto position = Find(*lines, Trim(section), Trim(key));
    if (!position || !position->entry)
        return Store(fallback, buffer);
    return Store((*lines)[*position->entry].value, buffer);
}

bool WritePrivateProfileStringA(std::string_view section, std::string_view key,
                                std::string_view value, const std::filesystem::path& fileName) {
    if (!ValidName(section) || !ValidName(key) || fileName.empty()) {
        errno = EINVAL;
        return false;
    }
    auto lines = ReadLines(fileName);
    if (!lines)
        return false;

    const std::string entry = std::string(Trim(key)) + "=" + SingleLine(value);
    if (const auto position = Find(*lines, Trim(section), Trim(key))) {
        if (position->entry)
            (*lines)[*position->entry] = Classify(entry);
        else
            lines->insert(lines->begin() + static_cast<std::ptrdiff_t>(position->insertAt),
                          Classify(entry));
    } else {
        std::string header(1, '[');
        header += Trim(section);
        header += ']';
        lines->push_back(Classify(header));
        lines->push_back(Classify(entry));
    }

    std::string contents;
    for (const Line& line : *lines) {
        contents += line.text;
        contents += '\n';
    }
    // A symbolic link keeps pointing at the profile: the file it names is the one replaced. The
    // old file's permission bits must carry over, since a profile may be private to its owner.
    const auto failure = ReplaceFileAtomically(
        fileName, std::span(reinterpret_cast<const uint8_t*>(contents.data()), contents.size()),
        OldPermissions::Required);
    if (failure)
        errno = failure->error;
    return !failure;
}

} // namespace platform
