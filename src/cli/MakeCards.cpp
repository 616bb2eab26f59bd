#include "cli/MakeCards.h"

#include "graphics/Exceptions.h"
#include "graphics/Stream.h"
#include "graphics/Tools.h"
#include "jpeg/JPEGImage.h"
#include "platform/Ascii.h"
#include "qsl/Queue.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#ifndef VELMORA_INSTALLED_DATA_DIR
#define VELMORA_INSTALLED_DATA_DIR ""
#endif

namespace cli {

namespace fs = std::filesystem;

namespace {

bool IsNameByte(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

// The length of the UTF-8 sequence led by lead, 1 for a byte that leads none (it then stands
// alone); continuation bytes are only counted when they are really there.
size_t SequenceLength(std::string_view text, size_t at) {
    const auto lead = uint8_t(text[at]);
    const size_t wanted = (lead & 0xE0) == 0xC0   ? 2
                          : (lead & 0xF0) == 0xE0 ? 3
                          : (lead & 0xF8) == 0xF0 ? 4
                                                  : 1;
    size_t length = 1;
    while (length < wanted && at + length < text.size() &&
           (uint8_t(text[at + length]) & 0xC0) == 0x80)
        ++length;
    return length;
}

} // namespace

// ---- The station profile ----------------------------------------------------------------------

fs::path DefaultProfilePath(const fs::path& executable) {
    return executable.parent_path() / "velmora.ini";
}

velmora::StationProfile ReadStationProfile(const fs::path& path) {
    return velmora::ReadProfile(toolkit::TIniFile(path.string()));
}

// ---- One card's contact data ------------------------------------------------------------------

card::CardData CardDataFor(const Contact& contact, const velmora::StationProfile& profile) {
    return CardDataFor(std::span(&contact, 1), profile, QslRequest::None);
}

namespace {

std::string FrequencyCell(const Contact& contact) {
    return contact.frequency.empty() ? contact.band : contact.frequency;
}

// The first non-empty value of a member across the contacts.
std::string FirstGiven(std::span<const Contact> contacts, std::string Contact::*member) {
    for (const Contact& contact : contacts) {
        if (!(contact.*member).empty())
            return contact.*member;
    }
    return {};
}

void AddCardExtras(card::CardData& data, std::span<const Contact> contacts, QslRequest request) {
    const bool anyFrequency = std::any_of(contacts.begin(), contacts.end(),
                                          [](const Contact& c) { return !c.frequency.empty(); });
    const bool anyBand = std::any_of(contacts.begin(), contacts.end(),
                                     [](const Contact& c) { return !c.band.empty(); });
    if (!anyFrequency && anyBand)
        data.frequencyColumn = card::FrequencyColumn::Band;
    data.frequency = FrequencyCell(contacts.front());
    const size_t rows = std::min(contacts.size(), card::kMaxTableRows);
    for (size_t i = 1; i < rows; ++i) {
        const Contact& c = contacts[i];
        data.moreRows.push_back(
            card::ContactRow{c.station, c.date, c.utc, FrequencyCell(c), c.rst, c.mode});
    }
    data.contactedOperator = FirstGiven(contacts, &Contact::operatorName);
    if (const std::string message = FirstGiven(contacts, &Contact::qslMessage); !message.empty())
        data.thanks = message;
    if (request == QslRequest::PseTnx) {
        const bool allReceived = std::all_of(contacts.begin(), contacts.end(),
                                             [](const Contact& c) { return c.qslReceived; });
        data.thanks += allReceived ? " TNX QSL" : " PSE QSL";
    }
    data.qslVia = FirstGiven(contacts, &Contact::qslVia);
    std::vector<std::string> satellites;
    for (const Contact& contact : contacts) {
        if (!contact.satellite.empty() &&
            std::find(satellites.begin(), satellites.end(), contact.satellite) == satellites.end())
            satellites.push_back(contact.satellite);
    }
    for (const std::string& name : satellites)
        data.satellite += (data.satellite.empty() ? "" : ", ") + name;
}

} // namespace

card::CardData CardDataFor(std::span<const Contact> contacts,
                           const velmora::StationProfile& profile, QslRequest request) {
    static const Contact kNobody;
    const Contact& contact = contacts.empty() ? kNobody : contacts.front();
    card::CardData data;
    data.callSign = contact.ownCall.empty() ? profile.CALLID : contact.ownCall;
    data.operatorName = profile.Name;
    data.date = contact.date;
    data.utc = contact.utc;
    data.frequency = contact.frequency;
    data.rst = contact.rst;
    data.mode = contact.mode;
    data.thanks = profile.TKS;
    data.country = profile.Country;
    data.qth = profile.Addr;
    data.contactedStation = contact.station;
    data.rig = profile.RIG;
    data.contactedOperator = contact.operatorName;
    data.city = profile.City;
    data.state = profile.State;
    data.antenna = profile.ANT;
    data.zip = profile.ZIP;
    data.power = profile.PWR;
    data.textColor = graphics::clBlack;
    // The main window's call-sign font as it starts: the card canvas's face and style.
    data.callIdFont = card::StartingCallIdFont(graphics::TFont());
    if (!contacts.empty())
        AddCardExtras(data, contacts, request);
    return data;
}

// ---- File names -------------------------------------------------------------------------------

std::string SanitizeNamePart(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (IsNameByte(text[i])) {
            out += text[i++];
            continue;
        }
        out += '_';
        i += SequenceLength(text, i);
    }
    return out;
}

std::string CardBaseName(const adif::Record& record) {
    return SanitizeNamePart(record.Value("CALL")) + "_" +
           SanitizeNamePart(record.Value("QSO_DATE")) + "_" +
           SanitizeNamePart(record.Value("TIME_ON"));
}

CardNamer::CardNamer(fs::path folder, ExistingFiles existing)
    : folder_(std::move(folder)), existing_(existing) {}

std::error_code ClaimNewFile(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return std::error_code(errno, std::generic_category());
    ::close(fd);
    return {};
}

void ReleaseEmptyClaim(const fs::path& path) {
    std::error_code ignored;
    if (fs::is_regular_file(path, ignored) && fs::file_size(path, ignored) == 0)
        fs::remove(path, ignored);
}

std::optional<fs::path> CardNamer::Claim(const std::string& base, std::error_code& error) {
    error.clear();
    // Far more than any log holds cards of one name; past it the folder is full of them.
    constexpr int kMaxSuffix = 100000;
    for (int n = 1; n <= kMaxSuffix; ++n) {
        const std::string name = n == 1 ? base + ".jpg" : base + "_" + std::to_string(n) + ".jpg";
        if (taken_.contains(name))
            continue;
        const fs::path path = folder_ / name;
        if (existing_ == ExistingFiles::Keep) {
            // Anything of that name, a dangling link included, keeps it.
            std::error_code status;
            const fs::file_status found = fs::symlink_status(path, status);
            if (found.type() != fs::file_type::not_found) {
                if (status) {
                    error = status;
                    return std::nullopt;
                }
                continue;
            }
        }
        taken_.insert(name);
        return path;
    }
    error = std::make_error_code(std::errc::file_exists);
    return std::nullopt;
}

// ---- The background and the card --------------------------------------------------------------

std::vector<fs::path> BlankCardCandidates(const fs::path& executable) {
    std::vector<fs::path> candidates{fs::path(card::kBlankCardName)};
    const fs::path beside = executable.parent_path().parent_path() / "share" / "velmora";
    if (!executable.empty())
        candidates.push_back(beside / card::kBlankCardName);
    const fs::path configured = VELMORA_INSTALLED_DATA_DIR;
    if (!configured.empty() && configured != beside)
        candidates.push_back(configured / card::kBlankCardName);
    return candidates;
}

std::optional<fs::path> FindBlankCard(const fs::path& executable) {
    for (const fs::path& candidate : BlankCardCandidates(executable)) {
        std::error_code error;
        if (fs::is_regular_file(candidate, error))
            return candidate;
    }
    return std::nullopt;
}

CardBackground CardBackground::FromPicture(const std::string& path) {
    CardBackground background;
    card::LoadBackground(background.objects_, path);
    return background;
}

CardBackground CardBackground::FromBlankCard(const std::string& path) {
    CardBackground background;
    card::LoadBlankCard(background.objects_, path);
    return background;
}

std::unique_ptr<graphics::TBitmap> ComposeCard(const CardBackground& background,
                                               const card::CardData& data) {
    auto card = std::make_unique<graphics::TBitmap>();
    card->CopyFrom(&background.Bitmap());
    card::DrawBoxes(card->Canvas(), data);
    return card;
}

std::vector<uint8_t> EncodeCard(const graphics::TBitmap& card) {
    jpeg::TJPEGImage picture;
    picture.CopyFrom(&card);
    graphics::TMemoryStream stream;
    picture.SaveToStream(stream);
    const std::span<const uint8_t> bytes = stream.Memory();
    if (bytes.empty())
        throw graphics::EAbort("Operation aborted");
    return {bytes.begin(), bytes.end()};
}

void WriteCard(const graphics::TBitmap& card, const std::string& path) {
    jpeg::TJPEGImage picture;
    picture.CopyFrom(&card);
    picture.WriteToFile(path);
}

} // namespace cli
