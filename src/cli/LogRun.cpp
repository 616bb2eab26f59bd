#include "cli/LogRun.h"

#include "adif/Encoding.h"
#include "cli/CardCommand.h"
#include "cli/MakeCards.h"
#include "qsl/SentLog.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <unistd.h>

namespace cli {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kProgram = "velmora-card";

std::string ErrorText(int number) {
    return std::strerror(number);
}

bool ReadWholeFile(const std::string& path, std::string& text, CommandIo& io) {
    std::error_code error;
    if (fs::is_directory(path, error)) {
        ReportError(io, path, "is a folder, not a log");
        return false;
    }
    // The largest logs of the busiest stations are tens of megabytes; a file far beyond that is
    // no log, and reading it whole would take memory without bound.
    constexpr uintmax_t kMaxLogBytes = uintmax_t(256) << 20;
    if (const uintmax_t size = fs::file_size(path, error); !error && size > kMaxLogBytes) {
        ReportError(io, path,
                    "is " + std::to_string(size >> 20) + " MiB; logs over 256 MiB are refused");
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ReportError(io, path, "cannot open the log: " + ErrorText(errno));
        return false;
    }
    std::ostringstream contents;
    contents << in.rdbuf();
    if (in.bad()) {
        ReportError(io, path, "cannot read the log");
        return false;
    }
    text = std::move(contents).str();
    return true;
}

std::string Position(const std::string& log, const adif::Record& record, uint64_t offset) {
    return log + ": record " + std::to_string(record.number) + " at byte " + std::to_string(offset);
}

} // namespace

std::optional<std::vector<adif::Record>> ReadLog(const std::string& path, CommandIo& io) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes, io))
        return std::nullopt;
    const adif::DecodedText decoded = adif::DecodeLogText(bytes);
    std::string().swap(bytes);
    if (decoded.encoding == adif::TextEncoding::Latin1)
        io.err << kProgram << ": note: " << path
               << " is not UTF-8; read as Latin-1 (byte offsets below count the converted text)\n";
    return adif::ParseLog(path, decoded.text);
}

qsl::SentSelection SelectionOf(bool queued, bool onlyUnsent) {
    if (queued)
        return qsl::SentSelection::Queued;
    return onlyUnsent ? qsl::SentSelection::Unsent : qsl::SentSelection::All;
}

bool ChooseContact(const adif::Record& record, const std::string& logName,
                   qsl::SentSelection selection, std::string_view item, SelectionTotals& totals,
                   CommandIo& io) {
    if (record.Damaged()) {
        io.err << kProgram << ": " << Position(logName, record, record.damageOffset) << ": "
               << record.damage << "; skipped\n";
        ++totals.damaged;
        return false;
    }
    if (qsl::TrimBlanks(record.Value("CALL")).empty()) {
        io.err << kProgram << ": " << Position(logName, record, record.offset)
               << ": no CALL; skipped\n";
        ++totals.damaged;
        return false;
    }
    if (!qsl::IsSelected(record, selection)) {
        ++totals.notSelected;
        return false;
    }
    const bool noDate = qsl::TrimBlanks(record.Value("QSO_DATE")).empty();
    const bool noTime = qsl::TrimBlanks(record.Value("TIME_ON")).empty();
    if (noDate || noTime) {
        io.err << kProgram << ": warning: " << Position(logName, record, record.offset) << " ("
               << record.Value("CALL") << "): no "
               << (noDate && noTime ? "QSO_DATE or TIME_ON"
                   : noDate         ? "QSO_DATE"
                                    : "TIME_ON")
               << "; its " << item << " leaves that cell empty\n";
    }
    return true;
}

std::vector<const adif::Record*> SelectContacts(const std::vector<adif::Record>& records,
                                                const std::string& logName,
                                                qsl::SentSelection selection, std::string_view item,
                                                SelectionTotals& totals, CommandIo& io) {
    std::vector<const adif::Record*> contacts;
    contacts.reserve(records.size());
    for (const adif::Record& record : records) {
        if (ChooseContact(record, logName, selection, item, totals, io))
            contacts.push_back(&record);
    }
    return contacts;
}

std::optional<size_t> ParsePerCard(const std::optional<std::string>& text) {
    if (!text)
        return 1;
    if (text->size() != 1 || (*text)[0] < '1' ||
        size_t((*text)[0] - '0') > qsl::kMaxContactsPerCard)
        return std::nullopt;
    return size_t((*text)[0] - '0');
}

std::string PerCardError(const std::string& text) {
    return "\"" + text + "\" is not a number from 1 to " + std::to_string(qsl::kMaxContactsPerCard);
}

std::optional<velmora::StationProfile> LoadProfile(const std::optional<std::string>& given,
                                                   CommandIo& io) {
    // The default profile may be missing, as on the main window's first start.
    const fs::path path = given ? fs::path(*given) : DefaultProfilePath(ExecutablePath());
    std::error_code error;
    if (!fs::is_regular_file(path, error)) {
        if (given) {
            ReportError(io, path.string(), "no such station profile");
            return std::nullopt;
        }
        io.err << kProgram << ": note: no station profile at " << path.string()
               << "; the own station's lines stay empty\n";
        return velmora::StationProfile{};
    }
    if (::access(path.c_str(), R_OK) != 0) {
        ReportError(io, path.string(), "cannot read the station profile: " + ErrorText(errno));
        return std::nullopt;
    }
    return ReadStationProfile(path);
}

int CheckSentLog(const std::string& sentLog, const std::string& log, bool overwrite,
                 CommandIo& io) {
    const fs::path path = sentLog;
    std::error_code error;
    if (fs::equivalent(path, log, error) ||
        fs::weakly_canonical(path, error) == fs::weakly_canonical(log, error)) {
        ReportError(io, "--sent-log", "names the log itself, which is never written");
        return kExitUsage;
    }
    if (fs::is_directory(path, error)) {
        ReportError(io, path.string(), "is a folder, not a file for the sent log");
        return kExitFailure;
    }
    if (fs::exists(path, error) && !overwrite) {
        ReportError(io, path.string(), "exists already (give --overwrite to replace it)");
        return kExitFailure;
    }
    const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    if (!fs::is_directory(folder, error)) {
        ReportError(io, path.string(), "the folder for the sent log does not exist");
        return kExitFailure;
    }
    return kExitSuccess;
}

bool WriteSentLog(const std::string& path, bool overwrite,
                  std::span<const adif::Record* const> sent, CommandIo& io) {
    return WriteSentLog(
        path, overwrite, sent.size(), [sent](size_t i) { return *sent[i]; }, io);
}

bool WriteSentLog(const std::string& path, bool overwrite, size_t count,
                  const std::function<adif::Record(size_t)>& contact, CommandIo& io) {
    const std::time_t now = std::time(nullptr);
    const std::string date = qsl::UtcDate(now);
    qsl::SentLogPieces pieces(date, qsl::UtcTimestamp(now));
    // Pieces of about this size go to the file, the header with the first.
    constexpr size_t kPieceBytes = size_t(64) << 10;
    size_t next = 0;
    bool done = false;
    const auto nextPiece = [&](std::string& piece) {
        if (done)
            return false;
        while (next < count && pieces.Pending() < kPieceBytes)
            pieces.Add(contact(next++));
        piece = pieces.Take();
        done = next == count;
        return true;
    };
    std::error_code error;
    try {
        error = qsl::WriteFileAtomically(
            path, nextPiece, overwrite ? qsl::ExistingFile::Replace : qsl::ExistingFile::Keep);
    } catch (const std::exception& failure) {
        ReportError(io, path, std::string("cannot write the sent log: ") + failure.what());
        return false;
    }
    if (error) {
        ReportError(io, path,
                    error == std::errc::file_exists
                        ? std::string("exists already (give --overwrite to replace it)")
                        : "cannot write the sent log: " + error.message());
        return false;
    }
    io.out << kProgram << ": " << path << ": " << count << (count == 1 ? " contact" : " contacts")
           << " marked sent (QSL_SENT Y, QSLSDATE " << date
           << ", QSL_SENT_VIA B) for your logger to import\n";
    return true;
}

} // namespace cli
