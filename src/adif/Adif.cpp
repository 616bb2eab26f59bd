#include "adif/Adif.h"

#include "adif/Encoding.h"
#include "platform/Ascii.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace adif {

namespace {

using platform::AsciiUpper;
using platform::EqualNoCase;
using platform::StartsWithNoCase;
constexpr auto UpperCopy = platform::AsciiUpperCopy;

size_t FindNoCase(std::string_view text, std::string_view needle, size_t from) {
    if (from > text.size())
        return std::string_view::npos;
    const auto found =
        std::search(text.begin() + std::ptrdiff_t(from), text.end(), needle.begin(), needle.end(),
                    [](char x, char y) { return AsciiUpper(x) == AsciiUpper(y); });
    return found == text.end() ? std::string_view::npos : size_t(found - text.begin());
}

// A length of at most 18 decimal digits, which cannot overflow 64 bits; anything else is none.
std::optional<uint64_t> ParseLength(std::string_view digits) {
    if (digits.empty() || digits.size() > 18)
        return std::nullopt;
    uint64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + uint64_t(c - '0');
    }
    return value;
}

size_t RFindNoCase(std::string_view text, std::string_view needle) {
    if (needle.size() > text.size())
        return std::string_view::npos;
    for (size_t at = text.size() - needle.size() + 1; at-- > 0;) {
        if (EqualNoCase(text.substr(at, needle.size()), needle))
            return at;
    }
    return std::string_view::npos;
}

// Text from the file quoted in a message: at most 40 bytes (never half a UTF-8 character), with
// control characters (a NUL among them) shown as '?', so a hostile tag cannot flood or garble
// the terminal.
std::string Quoted(std::string_view text) {
    constexpr size_t kMaxQuoted = 40;
    const size_t cut = platform::Utf8CutLength(text, kMaxQuoted);
    std::string out(text.substr(0, cut));
    for (char& c : out) {
        if (uint8_t(c) < 0x20 || c == 0x7F)
            c = '?';
    }
    if (cut < text.size())
        out += "...";
    return out;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Collects the records of either format: opens a record at its first tag, marks it damaged at
// most once (the first fault is the one worth reporting), numbers records as they close and hands
// each to the sink at once, so a long log never has to be held as records.
class RecordCollector {
  public:
    explicit RecordCollector(const RecordSink& sink) : sink_(sink) {}

    bool Open() const { return open_; }
    Record& Current() { return current_; }

    void Begin(uint64_t offset) {
        if (open_)
            return;
        current_ = Record{};
        current_.offset = offset;
        open_ = true;
    }
    void Damage(uint64_t offset, std::string message) {
        Begin(offset);
        if (!current_.Damaged()) {
            current_.damage = std::move(message);
            current_.damageOffset = offset;
        }
    }
    // A record with neither fields nor damage (an <EOR> after another) is not a record. end is
    // the offset just past the record's last byte.
    void Finish(uint64_t end) {
        if (!open_)
            return;
        open_ = false;
        if (current_.fields.empty() && !current_.Damaged())
            return;
        current_.number = ++count_;
        current_.end = end;
        sink_(std::move(current_));
    }
    void Discard() { open_ = false; }
    bool Empty() const { return count_ == 0; }

  private:
    const RecordSink& sink_;
    size_t count_ = 0;
    Record current_;
    bool open_ = false;
};

// ---- The tagged form (.adi) --------------------------------------------------------------------

// A part of a log held in memory: bytes are the log's from offset base on.
struct Window {
    uint64_t base = 0;
    std::string_view bytes;
};

class AdiReader {
  public:
    // A whole log may begin with a header; the bytes of one record read again never do.
    enum class Start { Log, Record };

    AdiReader(std::string_view text, const RecordSink& sink, Start start = Start::Log)
        : text_(text), size_(text.size()), lastEor_(RFindNoCase(text, "<EOR>")),
          headerPossible_(start == Start::Log), textEndsLog_(start == Start::Log), records_(sink) {}

    // A log read through a window over its bytes: text is the window's first part (the log's
    // beginning) and Refill brings in more; scan has seen the whole log.
    AdiReader(const AdiLogScan& scan, const RecordSink& sink)
        : size_(scan.Size()), lastEor_(scan.LastEor()), eoh_(scan.FirstEoh()),
          headerPossible_(true), textEndsLog_(true), windowed_(true), records_(sink) {}

    void Read() {
        if (headerPossible_)
            SkipHeaderText();
        while (ReadTag() == Step::Next) {
        }
        Close();
    }

    // The windowed reading: fill(keepFrom) drops the window's bytes before keepFrom (which may lie
    // past them), brings in more and returns the new window, or nullopt when the log gives fewer
    // bytes than the scan saw (it changed); reading stops there.
    using Fill = std::function<std::optional<Window>(uint64_t keepFrom)>;
    bool ReadWindowed(const Fill& fill) {
        if (!Move(fill))
            return false;
        if (headerPossible_)
            SkipHeaderText();
        while (true) {
            const Step step = ReadTag();
            if (step == Step::Stop)
                break;
            if (step == Step::More && !Move(fill))
                return false;
        }
        Close();
        return true;
    }

    // The window's bytes of [from, to) of the log; empty when they are no longer held.
    std::string_view Bytes(uint64_t from, uint64_t to) const {
        if (from < base_ || to > base_ + text_.size() || from > to)
            return {};
        return text_.substr(size_t(from - base_), size_t(to - from));
    }

  private:
    enum class Step { Next, More, Stop };

    // Whether the window holds the log's last byte: only then does running out of it mean the
    // end of the log.
    bool AtEnd() const { return base_ + text_.size() >= size_; }

    bool Move(const Fill& fill) {
        const uint64_t keep = records_.Open() ? records_.Current().offset : base_ + pos_;
        const std::optional<Window> window = fill(keep);
        if (!window)
            return false;
        pos_ = size_t(base_ + pos_ - window->base);
        base_ = window->base;
        text_ = window->bytes;
        return true;
    }

    void Close() {
        if (records_.Open() && (!records_.Current().fields.empty()))
            records_.Damage(records_.Current().offset, "the log ends before this record's <EOR>");
        records_.Finish(size_);
    }

    // A file that does not begin with '<' starts with header text, which may hold anything
    // (even '<'), up to <EOH>. A file without <EOH> has no recognisable header: its records are
    // read from the start, and the text before the first tag is ignored like any text between
    // fields. Header fields in a file that begins with '<' are dropped when <EOH> is met.
    void SkipHeaderText() {
        if (text_.empty() || text_[0] == '<')
            return;
        const uint64_t eoh = windowed_ ? eoh_ : FindNoCase(text_, "<EOH>", 0);
        if (eoh == std::string_view::npos)
            return;
        pos_ = size_t(eoh + 5);
        headerPossible_ = false;
    }

    // Reads the next tag and its data: Stop at the end of the log, More (having changed nothing
    // but how far text without tags is passed over) when the window ends before the tag does.
    Step ReadTag() {
        if (pos_ > text_.size())
            return Step::More; // a header that ends past the window
        const size_t lt = text_.find('<', pos_);
        if (lt == std::string_view::npos) {
            pos_ = text_.size();
            return AtEnd() ? Step::Stop : Step::More;
        }
        pos_ = lt;
        const size_t gt = text_.find('>', lt + 1);
        if (gt == std::string_view::npos) {
            if (!AtEnd())
                return Step::More;
            records_.Damage(At(lt), "a tag without its closing '>'");
            return Step::Stop;
        }
        const std::string_view inside = text_.substr(lt + 1, gt - lt - 1);
        // Text between fields is ignored, and a '<' in it starts no tag when another '<' comes
        // before the next '>'. Only the last of those can start one, so reading goes on there
        // (which also keeps a long run of '<' from being scanned again for every one of them).
        if (const size_t inner = inside.rfind('<'); inner != std::string_view::npos) {
            pos_ = lt + 1 + inner;
            return Step::Next;
        }
        const size_t colon = inside.find(':');
        const std::string_view name = inside.substr(0, colon);
        if (EqualNoCase(name, "EOR")) {
            records_.Finish(At(gt + 1));
            pos_ = gt + 1;
            return Step::Next;
        }
        if (EqualNoCase(name, "EOH")) {
            if (headerPossible_ && records_.Empty())
                records_.Discard();
            headerPossible_ = false;
            pos_ = gt + 1;
            return Step::Next;
        }
        if (colon == std::string_view::npos) {
            // Loggers end their files with markers of their own (<EOF>, <APP_LoTW_EOF>); after
            // the last record such a tag ends nothing that could be damaged.
            if (!records_.Open() && (lastEor_ == std::string_view::npos || At(lt) > lastEor_)) {
                pos_ = gt + 1;
                return Step::Next;
            }
            return SkipDamagedRecord(
                lt, [&] { return "the tag <" + Quoted(inside) + "> has no length"; });
        }

        const std::string_view rest = inside.substr(colon + 1);
        const size_t typeColon = rest.find(':');
        const std::string_view lengthText = rest.substr(0, typeColon);
        const std::string_view type =
            typeColon == std::string_view::npos ? std::string_view{} : rest.substr(typeColon + 1);
        const std::optional<uint64_t> length = ParseLength(lengthText);
        if (!length)
            return SkipDamagedRecord(
                lt, [&] { return "the field <" + Quoted(inside) + "> has a bad length"; });
        const uint64_t left = size_ - At(gt + 1);
        if (*length > left) {
            records_.Damage(At(lt), "the field <" + Quoted(inside) + "> runs past the end of " +
                                        "the log (" + std::to_string(left) + " bytes left)");
            return Step::Stop;
        }
        // The data and the byte after it must be in the window to be judged.
        if (!AtEnd() && gt + 1 + *length >= text_.size())
            return Step::More;
        short_ = false;
        const size_t bytes = DataBytes(gt + 1, size_t(*length));
        if (short_)
            return Step::More;
        records_.Begin(At(lt));
        if (!name.empty() && !records_.Current().Damaged()) {
            records_.Current().fields.push_back(
                Field{UpperCopy(name), UpperCopy(type), std::string(text_.substr(gt + 1, bytes))});
        }
        pos_ = gt + 1 + bytes;
        return Step::Next;
    }

    uint64_t At(size_t inWindow) const { return base_ + inWindow; }

    // The bytes of a field's data of `length` at `begin`. The length counts bytes, but some
    // writers count characters, which cuts a value holding multi-byte characters short. Such a
    // cut shows as data that ends inside a UTF-8 sequence, or as text left over before the
    // next tag; then the length is read as characters instead, when that reading ends cleanly
    // (before blanks and the next '<', or at the end of the log). Sets short_ when the window
    // ends before that can be told.
    size_t DataBytes(size_t begin, size_t length) const {
        const std::string_view data = text_.substr(begin, length);
        const bool multiByte =
            std::any_of(data.begin(), data.end(), [](char c) { return uint8_t(c) >= 0x80; });
        const size_t end = begin + length;
        const bool splits = end < text_.size() && (uint8_t(text_[end]) & 0xC0) == 0x80 &&
                            length > 0 && (uint8_t(text_[end - 1]) >= 0x80);
        if (!splits && !(multiByte && !EndsCleanly(end)))
            return length;
        size_t at = begin;
        for (size_t counted = 0; counted < length; ++counted) {
            // A character cut by the window's end would read as a stray byte.
            if (!AtEnd() && at + 4 > text_.size()) {
                short_ = true;
                return length;
            }
            if (at >= text_.size())
                return length;
            at += Utf8SequenceLength(text_, at);
        }
        return EndsCleanly(at) ? at - begin : length;
    }

    // True when only blanks stand between at and the next tag or the end of the log. The bytes
    // of one record read again end at its <EOR>, not at the log's end: a reading that runs up to
    // there would have taken that <EOR> in the whole log too, where it closed the record.
    bool EndsCleanly(size_t at) const {
        while (at < text_.size() && IsBlank(text_[at]))
            ++at;
        if (at == text_.size() && !AtEnd())
            short_ = true;
        return at == text_.size() ? textEndsLog_ : text_[at] == '<';
    }

    // Without a trustworthy length the end of the field's data is unknown, so the rest of the
    // record is skipped up to its <EOR>, where reading can safely start again.
    template <typename Message> Step SkipDamagedRecord(size_t at, const Message& message) {
        const size_t eor = FindNoCase(text_, "<EOR>", at + 1);
        if (eor == std::string_view::npos && !AtEnd())
            return Step::More;
        records_.Damage(At(at), message());
        if (eor == std::string_view::npos)
            return Step::Stop;
        records_.Finish(At(eor + 5));
        pos_ = eor + 5;
        return Step::Next;
    }

    std::string_view text_;
    uint64_t base_ = 0; // the log offset of text_[0]
    uint64_t size_;     // the log's length
    uint64_t lastEor_;  // or AdiLogScan::kNone (equal to npos)
    uint64_t eoh_ = AdiLogScan::kNone;
    size_t pos_ = 0;
    bool headerPossible_;
    bool textEndsLog_;
    bool windowed_ = false;
    mutable bool short_ = false;
    RecordCollector records_;
};

// ---- The XML form (.adx) -----------------------------------------------------------------------

struct XmlToken {
    enum Kind { Start, End, Empty, Text, Finished, Error } kind = Finished;
    size_t offset = 0;
    std::string name;                                            // upper case
    std::vector<std::pair<std::string, std::string>> attributes; // names upper case
    std::string text;                                            // text, or the error
};

// A character reference &#N; or &#xN; naming a Unicode scalar value, or none.
std::optional<uint32_t> CharacterReference(std::string_view body) {
    const bool hex = !body.empty() && (body[0] == 'x' || body[0] == 'X');
    const std::string_view digits = hex ? body.substr(1) : body;
    if (digits.empty() || digits.size() > 8)
        return std::nullopt;
    uint32_t code = 0;
    for (char c : digits) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && AsciiUpper(c) >= 'A' && AsciiUpper(c) <= 'F')
            digit = AsciiUpper(c) - 'A' + 10;
        else
            return std::nullopt;
        code = code * (hex ? 16 : 10) + uint32_t(digit);
    }
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return std::nullopt;
    return code;
}

// The five predefined entities and character references are decoded; anything else after an
// '&' is kept as it stands.
std::string DecodeEntities(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t amp = text.find('&', pos);
        out.append(text.substr(pos, amp - pos));
        if (amp == std::string_view::npos)
            break;
        // The longest reference decoded is "&#x10FFFF;"; looking no further keeps a run of '&'
        // without ';' from being scanned to its end once for every '&'.
        constexpr size_t kLongestBody = 9;
        const size_t semi = text.substr(0, amp + 2 + kLongestBody).find(';', amp + 1);
        const std::string_view body = semi == std::string_view::npos
                                          ? std::string_view{}
                                          : text.substr(amp + 1, semi - amp - 1);
        static constexpr std::pair<std::string_view, char> kNamed[] = {
            {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
        bool decoded = false;
        for (const auto& [entity, c] : kNamed) {
            if (body == entity) {
                out += c;
                decoded = true;
            }
        }
        if (!decoded && body.size() > 1 && body[0] == '#') {
            if (const std::optional<uint32_t> code = CharacterReference(body.substr(1))) {
                AppendUtf8(out, char32_t(*code));
                decoded = true;
            }
        }
        if (decoded) {
            pos = semi + 1;
        } else {
            out += '&';
            pos = amp + 1;
        }
    }
    return out;
}

bool IsNameChar(char c) {
    return c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '/' && c != '>' && c != '=' &&
           c != '<' && c != '"' && c != '\'';
}

// A small XML scanner for the well-formed subset that ADX files use: elements with attributes,
// text, CDATA sections, comments, processing instructions and a DOCTYPE without internal subset.
class XmlScanner {
  public:
    explicit XmlScanner(std::string_view text) : text_(text) {
        if (StartsWithNoCase(text_, "\xEF\xBB\xBF"))
            pos_ = 3;
    }

    size_t Position() const { return pos_; }
    void MoveTo(size_t pos) { pos_ = pos; }

    XmlToken Next() {
        while (true) {
            if (pos_ >= text_.size())
                return XmlToken{XmlToken::Finished, pos_, {}, {}, {}};
            const size_t start = pos_;
            if (text_[pos_] != '<') {
                const size_t lt = text_.find('<', pos_);
                pos_ = lt == std::string_view::npos ? text_.size() : lt;
                return XmlToken{XmlToken::Text,
                                start,
                                {},
                                {},
                                DecodeEntities(text_.substr(start, pos_ - start))};
            }
            const std::string_view rest = text_.substr(pos_);
            if (rest.starts_with("<!--")) {
                if (!SkipPast("-->"))
                    return Fail(start, "a comment that is never closed");
                continue;
            }
            if (rest.starts_with("<![CDATA[")) {
                const size_t end = text_.find("]]>", pos_ + 9);
                if (end == std::string_view::npos)
                    return Fail(start, "a CDATA section that is never closed");
                pos_ = end + 3;
                return XmlToken{XmlToken::Text,
                                start,
                                {},
                                {},
                                std::string(text_.substr(start + 9, end - start - 9))};
            }
            if (rest.starts_with("<?")) {
                if (!SkipPast("?>"))
                    return Fail(start, "a processing instruction that is never closed");
                continue;
            }
            if (rest.starts_with("<!")) {
                if (!SkipPast(">"))
                    return Fail(start, "a declaration that is never closed");
                continue;
            }
            return ReadTag(start);
        }
    }

  private:
    bool SkipPast(std::string_view end) {
        const size_t found = text_.find(end, pos_);
        if (found == std::string_view::npos)
            return false;
        pos_ = found + end.size();
        return true;
    }

    XmlToken Fail(size_t at, std::string message) {
        pos_ = text_.size();
        return XmlToken{XmlToken::Error, at, {}, {}, std::move(message)};
    }

    std::string_view ReadName() {
        const size_t begin = pos_;
        while (pos_ < text_.size() && IsNameChar(text_[pos_]))
            ++pos_;
        return text_.substr(begin, pos_ - begin);
    }

    void SkipBlanks() {
        while (pos_ < text_.size() && IsBlank(text_[pos_]))
            ++pos_;
    }

    XmlToken ReadTag(size_t start) {
        ++pos_; // '<'
        const bool closing = pos_ < text_.size() && text_[pos_] == '/';
        if (closing)
            ++pos_;
        XmlToken token;
        token.offset = start;
        token.name = UpperCopy(ReadName());
        if (token.name.empty())
            return Fail(start, "a '<' that starts no element");
        while (true) {
            SkipBlanks();
            if (pos_ >= text_.size())
                return Fail(start,
                            "the element <" + Quoted(token.name) + "> is never closed by '>'");
            const char c = text_[pos_];
            if (c == '>') {
                ++pos_;
                token.kind = closing ? XmlToken::End : XmlToken::Start;
                return token;
            }
            if (c == '/' && !closing && pos_ + 1 < text_.size() && text_[pos_ + 1] == '>') {
                pos_ += 2;
                token.kind = XmlToken::Empty;
                return token;
            }
            if (closing)
                return Fail(start, "unexpected text in the end tag </" + Quoted(token.name) + ">");
            if (!ReadAttribute(token))
                return Fail(start, "a bad attribute in the element <" + Quoted(token.name) + ">");
        }
    }

    bool ReadAttribute(XmlToken& token) {
        const std::string_view name = ReadName();
        SkipBlanks();
        if (name.empty() || pos_ >= text_.size() || text_[pos_] != '=')
            return false;
        ++pos_;
        SkipBlanks();
        if (pos_ >= text_.size() || (text_[pos_] != '"' && text_[pos_] != '\''))
            return false;
        const char quote = text_[pos_++];
        const size_t end = text_.find(quote, pos_);
        if (end == std::string_view::npos)
            return false;
        token.attributes.emplace_back(UpperCopy(name),
                                      DecodeEntities(text_.substr(pos_, end - pos_)));
        pos_ = end + 1;
        return true;
    }

    std::string_view text_;
    size_t pos_ = 0;
};

std::string_view Attribute(const XmlToken& token, std::string_view name) {
    for (const auto& [key, value] : token.attributes) {
        if (key == name)
            return value;
    }
    return {};
}

// The ADIF name of a field element: application fields are APP_<PROGRAMID>_<FIELDNAME> and
// user-defined fields take their FIELDNAME, as the tagged form names them.
Field FieldOf(const XmlToken& token) {
    Field field;
    if (token.name == "APP") {
        field.name = "APP_" + UpperCopy(Attribute(token, "PROGRAMID")) + "_" +
                     UpperCopy(Attribute(token, "FIELDNAME"));
    } else if (token.name == "USERDEF") {
        field.name = UpperCopy(Attribute(token, "FIELDNAME"));
    } else {
        field.name = token.name;
    }
    field.type = UpperCopy(Attribute(token, "TYPE"));
    return field;
}

// The XML form carries international twins of the text fields (NAME_INTL beside NAME, QTH_INTL,
// QSLMSG_INTL, ...) with the text in full Unicode, where the plain field may hold an ASCII
// rendering. Readers ask for the plain name, so a twin with a value replaces it (or stands in
// for it when it is missing); the twin itself stays in the record.
void PreferInternationalFields(Record& record) {
    constexpr std::string_view kSuffix = "_INTL";
    const size_t count = record.fields.size();
    for (size_t i = 0; i < count; ++i) {
        const Field& twin = record.fields[i];
        if (twin.name.size() <= kSuffix.size() || !twin.name.ends_with(kSuffix) ||
            twin.value.empty())
            continue;
        const std::string plain = twin.name.substr(0, twin.name.size() - kSuffix.size());
        const auto found = std::find_if(record.fields.begin(), record.fields.end(),
                                        [&](const Field& field) { return field.name == plain; });
        if (found != record.fields.end()) {
            found->value = record.fields[i].value;
        } else {
            Field copy{plain, twin.type, twin.value};
            record.fields.push_back(std::move(copy));
        }
    }
}

class AdxReader {
  public:
    AdxReader(std::string_view text, const RecordSink& sink)
        : text_(text), scanner_(text), records_(sink) {}

    void Read() {
        while (Step()) {
        }
    }

  private:
    // Handles one token; false once the document is done or cannot be read further.
    bool Step() {
        const XmlToken token = scanner_.Next();
        switch (token.kind) {
        case XmlToken::Finished:
            if (records_.Open())
                records_.Damage(records_.Current().offset, "the log ends inside this record");
            records_.Finish(text_.size());
            return false;
        case XmlToken::Error:
            return Recover(token.offset, token.text);
        case XmlToken::Start:
            return OnStart(token);
        case XmlToken::Empty:
            return OnStart(token) && OnEnd(token);
        case XmlToken::End:
            return OnEnd(token);
        case XmlToken::Text:
            if (inField_ && stack_.size() == recordDepth_ + 1)
                field_.value += token.text;
            return true;
        }
        return false;
    }

    bool InsideHeader() const {
        return std::find(stack_.begin(), stack_.end(), "HEADER") != stack_.end();
    }

    // A log nests four deep (ADX, RECORDS, RECORD, field); far deeper nesting is no log, and
    // refusing it keeps memory and time bounded.
    static constexpr size_t kMaxDepth = 64;

    bool OnStart(const XmlToken& token) {
        if (stack_.size() >= kMaxDepth)
            return Recover(token.offset,
                           "elements nested more than " + std::to_string(kMaxDepth) + " deep");
        stack_.push_back(token.name);
        if (!records_.Open()) {
            if (token.name == "RECORD" && !InsideHeader()) {
                records_.Begin(token.offset);
                recordDepth_ = stack_.size();
            }
            return true;
        }
        // Fields are the record's children; anything nested deeper is not ADIF and is ignored.
        if (stack_.size() == recordDepth_ + 1) {
            field_ = FieldOf(token);
            inField_ = true;
        }
        return true;
    }

    bool OnEnd(const XmlToken& token) {
        if (stack_.empty() || stack_.back() != token.name) {
            const std::string open = stack_.empty() ? "nothing" : "<" + Quoted(stack_.back()) + ">";
            return Recover(token.offset,
                           "the end tag </" + Quoted(token.name) + "> does not close " + open);
        }
        stack_.pop_back();
        if (inField_ && stack_.size() == recordDepth_) {
            inField_ = false;
            records_.Current().fields.push_back(std::move(field_));
        }
        if (records_.Open() && stack_.size() < recordDepth_) {
            PreferInternationalFields(records_.Current());
            records_.Finish(scanner_.Position());
        }
        return true;
    }

    // Inside a record the fault costs that record: reading starts again after its end tag.
    // Outside one the document's structure is lost, so the fault is reported as a damaged
    // record at that position and reading stops.
    bool Recover(size_t at, const std::string& message) {
        const bool inRecord = records_.Open();
        records_.Damage(at, message);
        inField_ = false;
        const size_t end = inRecord ? FindNoCase(text_, "</RECORD>", at) : std::string_view::npos;
        records_.Finish(end == std::string_view::npos ? scanner_.Position() : end + 9);
        if (end == std::string_view::npos)
            return false;
        scanner_.MoveTo(end + 9);
        stack_.resize(std::min(stack_.size(), recordDepth_ - 1));
        return true;
    }

    std::string_view text_;
    XmlScanner scanner_;
    RecordCollector records_;
    std::vector<std::string> stack_;
    size_t recordDepth_ = 0; // the stack's size inside the open record
    bool inField_ = false;
    Field field_;
};

} // namespace

const Field* Record::Find(std::string_view name) const {
    for (const Field& field : fields) {
        if (EqualNoCase(field.name, name))
            return &field;
    }
    return nullptr;
}

std::string_view Record::Value(std::string_view name) const {
    const Field* field = Find(name);
    return field == nullptr ? std::string_view{} : std::string_view(field->value);
}

void ReadAdi(std::string_view text, const RecordSink& sink) {
    AdiReader(text, sink).Read();
}

void ReadAdx(std::string_view text, const RecordSink& sink) {
    AdxReader(text, sink).Read();
}

void AdiLogScan::Add(std::string_view piece) {
    if (piece.empty())
        return;
    if (size_ == 0)
        headerText_ = piece[0] != '<';
    // A marker may begin in the bytes kept from the pieces before.
    std::string joined = tail_;
    joined.append(piece.substr(0, std::min<size_t>(piece.size(), 4)));
    const uint64_t joinedAt = size_ - tail_.size();
    for (size_t at = 0; at < tail_.size() && at + 5 <= joined.size(); ++at) {
        const std::string_view marker = std::string_view(joined).substr(at, 5);
        if (EqualNoCase(marker, "<EOR>"))
            lastEor_ = joinedAt + at;
        if (headerText_ && firstEoh_ == kNone && EqualNoCase(marker, "<EOH>"))
            firstEoh_ = joinedAt + at;
    }
    if (const size_t eor = RFindNoCase(piece, "<EOR>"); eor != std::string_view::npos)
        lastEor_ = size_ + eor;
    if (headerText_ && firstEoh_ == kNone) {
        if (const size_t eoh = FindNoCase(piece, "<EOH>", 0); eoh != std::string_view::npos)
            firstEoh_ = size_ + eoh;
    }
    size_ += piece.size();
    if (piece.size() >= 4)
        joined = piece.substr(piece.size() - 4);
    tail_ = joined.substr(joined.size() - std::min<size_t>(joined.size(), 4));
}

bool ReadAdiWindowed(const AdiLogScan& scan, size_t window, const ReadLogBytes& read,
                     const RecordBytesSink& sink) {
    const AdiReader* reader = nullptr;
    const RecordSink withBytes = [&](Record&& record) {
        const std::string_view bytes =
            record.Damaged() ? std::string_view{} : reader->Bytes(record.offset, record.end);
        sink(std::move(record), bytes);
    };
    AdiReader adi(scan, withBytes);
    reader = &adi;

    std::string held;
    uint64_t base = 0;
    const uint64_t size = scan.Size();
    const auto fill = [&](uint64_t keepFrom) -> std::optional<Window> {
        const uint64_t drop = std::min<uint64_t>(keepFrom - base, held.size());
        held.erase(0, size_t(drop));
        base += drop;
        base = std::max(base, keepFrom); // a header passed over needs no reading
        // A record longer than the window doubles it, so it is read again only a few times.
        const uint64_t end = base + held.size();
        const size_t more = size_t(std::min<uint64_t>(std::max(window, held.size()), size - end));
        size_t done = held.size();
        held.resize(done + more);
        while (done < held.size()) {
            const size_t got = read(base + done, held.data() + done, held.size() - done);
            if (got == 0)
                return std::nullopt;
            done += got;
        }
        return Window{base, held};
    };
    return adi.ReadWindowed(fill);
}

std::vector<Record> ParseAdi(std::string_view text) {
    std::vector<Record> records;
    ReadAdi(text, [&records](Record&& record) { records.push_back(std::move(record)); });
    return records;
}

std::vector<Record> ParseAdx(std::string_view text) {
    std::vector<Record> records;
    ReadAdx(text, [&records](Record&& record) { records.push_back(std::move(record)); });
    return records;
}

Record ReadAdiRecord(std::string_view bytes) {
    std::optional<Record> first;
    const RecordSink keepFirst = [&first](Record&& record) {
        if (!first)
            first = std::move(record);
    };
    AdiReader(bytes, keepFirst, AdiReader::Start::Record).Read();
    if (!first) {
        Record none;
        none.damage = "no record in these bytes";
        return none;
    }
    return std::move(*first);
}

LogFormat FormatOf(std::string_view fileName, std::string_view text) {
    if (platform::EndsWithNoCase(fileName, ".adx"))
        return LogFormat::Adx;
    if (StartsWithNoCase(text, "\xEF\xBB\xBF"))
        text.remove_prefix(3);
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    if (text.starts_with("<?xml") || StartsWithNoCase(text, "<ADX>") ||
        StartsWithNoCase(text, "<ADX "))
        return LogFormat::Adx;
    return LogFormat::Adi;
}

std::vector<Record> ParseLog(std::string_view fileName, std::string_view text) {
    if (!IsValidUtf8(text)) {
        const std::string converted = Latin1ToUtf8(text);
        return ParseLog(fileName, converted);
    }
    return FormatOf(fileName, text) == LogFormat::Adx ? ParseAdx(text) : ParseAdi(text);
}

} // namespace adif
