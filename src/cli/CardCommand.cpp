// velmora-card --adif LOG --out DIR, and velmora-card --call CALL ... -o CARD.jpg.
#include "cli/CardCommand.h"

#include "adif/Adif.h"
#include "card/PictureTable.h"
#include "cli/CardComposers.h"
#include "cli/CardWriter.h"
#include "cli/LogContacts.h"
#include "cli/LogRun.h"
#include "cli/MakeCards.h"
#include "cli/OptionTable.h"
#include "cli/Progress.h"
#include "platform/AtomicFile.h"
#include "qsl/Queue.h"
#include "qsl/SentLog.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <iostream>
#include <optional>
#include <unistd.h>
#include <unordered_map>

namespace cli {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kProgram = "velmora-card";

// Card files written at the same time. Most of a write is waiting for the disk, so more writers
// than cores pay off; a few more make no difference.
constexpr size_t kWriterThreads = 16;

struct CardOptions {
    // Cards from a log.
    std::optional<std::string> adif;
    std::optional<std::string> out;
    bool overwrite = false;
    bool onlyUnsent = false;
    bool queued = false;
    bool pseTnx = false;
    std::optional<std::string> perCard;
    std::optional<std::string> sentLog;
    std::optional<std::string> dateFormat;
    std::optional<std::string> jobs;
    // One card from options.
    std::optional<std::string> call;
    std::optional<std::string> date;
    std::optional<std::string> utc;
    std::optional<std::string> mhz;
    std::optional<std::string> rst;
    std::optional<std::string> mode;
    std::optional<std::string> op;
    std::optional<std::string> output;
    // Both.
    std::optional<std::string> background;
    std::optional<std::string> profile;
    bool help = false;
};

enum class Mode { Log, Single, Both };

struct OptionSpec {
    std::string_view name;
    std::string_view alias;
    std::string_view argument; // empty for a flag
    Mode mode;
    std::string_view help;
    std::optional<std::string> CardOptions::*value;
    bool CardOptions::*flag;
};

constexpr OptionSpec Value(std::string_view name, std::string_view alias, std::string_view argument,
                           Mode mode, std::string_view help,
                           std::optional<std::string> CardOptions::*value) {
    return {name, alias, argument, mode, help, value, nullptr};
}

constexpr OptionSpec Flag(std::string_view name, Mode mode, std::string_view help,
                          bool CardOptions::*flag) {
    return {name, {}, {}, mode, help, nullptr, flag};
}

// In the order the help lists them.
constexpr std::array kOptions{
    Value("--adif", "", "LOG", Mode::Log, "the contact log (ADIF .adi, or .adx XML)",
          &CardOptions::adif),
    Value("--out", "", "DIR", Mode::Log, "folder for the cards, made when missing",
          &CardOptions::out),
    Flag("--overwrite", Mode::Both, "replace card files that exist already",
         &CardOptions::overwrite),
    Flag("--only-unsent", Mode::Log, "skip contacts whose QSL_SENT is Y (sent) or I (ignore)",
         &CardOptions::onlyUnsent),
    Flag("--queued", Mode::Log, "cards only for QSL_SENT R or Q (requested, queued)",
         &CardOptions::queued),
    Value("--per-card", "", "N", Mode::Log, "up to N (1 to 5) contacts with one station per card",
          &CardOptions::perCard),
    Value("--sent-log", "", "FILE", Mode::Log, "ADIF of the contacts given a card, marked sent",
          &CardOptions::sentLog),
    Flag("--pse-tnx", Mode::Log, "end the thanks line PSE QSL, or TNX QSL when received",
         &CardOptions::pseTnx),
    Value("--date-format", "", "PATTERN", Mode::Log,
          "the date's layout from YYYY, YY, MM, DD (YYYY-MM-DD)", &CardOptions::dateFormat),
    Value("--jobs", "", "N", Mode::Log, "cards made at the same time (one per core)",
          &CardOptions::jobs),
    Value("--call", "", "CALL", Mode::Single, "the contacted station's call sign",
          &CardOptions::call),
    Value("--date", "", "DATE", Mode::Single, "the contact's date, shown as given",
          &CardOptions::date),
    Value("--utc", "", "HHMM", Mode::Single, "the contact's time in UTC", &CardOptions::utc),
    Value("--mhz", "", "FREQ", Mode::Single, "the frequency in MHz", &CardOptions::mhz),
    Value("--rst", "", "RST", Mode::Single, "the signal report sent", &CardOptions::rst),
    Value("--mode", "", "MODE", Mode::Single, "the mode", &CardOptions::mode),
    Value("--op", "", "NAME", Mode::Single, "the contacted operator's name", &CardOptions::op),
    Value("--output", "-o", "CARD.jpg", Mode::Single, "the card file to write",
          &CardOptions::output),
    Value("--background", "", "PICTURE", Mode::Both,
          "the picture: {endings}; fitted unless 495 x 315", &CardOptions::background),
    Value("--profile", "", "FILE", Mode::Both,
          "the station profile (velmora.ini beside the program)", &CardOptions::profile),
    OptionSpec{"--help", "-h", {}, Mode::Both, "show this help", nullptr, &CardOptions::help},
};

void PrintUsage(std::ostream& stream) {
    stream << "usage: " << kProgram
           << " --adif LOG --out DIR [--background PICTURE] [--profile FILE]\n"
              "                    [--overwrite] [--only-unsent | --queued] [--per-card N]\n"
              "                    [--sent-log FILE] [--pse-tnx] [--date-format PATTERN]\n"
              "                    [--jobs N]\n"
              "       "
           << kProgram
           << " --call CALL [--date DATE] [--utc HHMM] [--mhz FREQ]\n"
              "                    [--rst RST] [--mode MODE] [--op NAME] [--background PICTURE]\n"
              "                    [--profile FILE] [--overwrite] -o CARD.jpg\n";
}

int UsageError(CommandIo& io, std::string_view subject, std::string_view message) {
    ReportError(io, subject, message);
    PrintUsage(io.err);
    return kExitUsage;
}

// Options take their value as the next argument or after '=' ("--out=cards").
int ParseOptions(std::span<const std::string> args, CardOptions& options, CommandIo& io) {
    return ParseWithTable(std::span<const OptionSpec>(kOptions), args, options,
                          [&io](std::string_view subject, std::string_view message) {
                              return UsageError(io, subject, message);
                          });
}

bool Given(const CardOptions& options, const OptionSpec& option) {
    return option.flag != nullptr ? options.*option.flag : (options.*option.value).has_value();
}

std::optional<size_t> PerCard(const CardOptions& options) {
    return ParsePerCard(options.perCard);
}

// --jobs's value: the number of composing threads, from 1 to kMaxComposers.
std::optional<size_t> Jobs(const CardOptions& options) {
    if (!options.jobs)
        return DefaultComposerCount();
    const std::string& text = *options.jobs;
    if (text.empty() || text.size() > 2 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const size_t count = std::stoul(text);
    if (count < 1 || count > kMaxComposers)
        return std::nullopt;
    return count;
}

// The options of the other mode than the one chosen are mistakes, not silently ignored.
int CheckMode(const CardOptions& options, Mode mode, CommandIo& io) {
    for (const OptionSpec& option : kOptions) {
        if (option.mode != Mode::Both && option.mode != mode && Given(options, option)) {
            return UsageError(io, option.name,
                              mode == Mode::Log ? "is for one card from options, not for --adif"
                                                : "is for cards from a log (--adif)");
        }
    }
    if (mode == Mode::Log && !options.out)
        return UsageError(io, "--adif", "needs --out DIR for the cards");
    if (mode == Mode::Single && !options.output)
        return UsageError(io, "--call", "needs -o CARD.jpg for the card");
    if (options.perCard && !PerCard(options))
        return UsageError(io, "--per-card", PerCardError(*options.perCard));
    if (options.jobs && !Jobs(options))
        return UsageError(io, "--jobs",
                          "\"" + *options.jobs + "\" is not a number from 1 to " +
                              std::to_string(kMaxComposers));
    if (options.dateFormat && !IsDatePattern(*options.dateFormat))
        return UsageError(io, "--date-format",
                          "\"" + *options.dateFormat +
                              "\" names no part of a date (YYYY, YY, MM, DD)");
    return kExitSuccess;
}

// The modules the main window initialises at start-up, so pictures decode the same way.
void InitialiseReaders() {
    card::InitializePictureModules();
}

std::optional<CardBackground> LoadBackground(const CardOptions& options, CommandIo& io) {
    InitialiseReaders();
    std::string path;
    try {
        if (options.background) {
            path = *options.background;
            return CardBackground::FromPicture(path);
        }
        const std::optional<fs::path> blank = FindBlankCard(ExecutablePath());
        if (!blank) {
            std::string places;
            for (const fs::path& candidate : BlankCardCandidates(ExecutablePath()))
                places += (places.empty() ? "" : ", ") + candidate.string();
            ReportError(io, card::kBlankCardName,
                        "the blank card is in none of " + places + "; give --background PICTURE");
            return std::nullopt;
        }
        path = blank->string();
        return CardBackground::FromBlankCard(path);
    } catch (const std::exception& error) {
        ReportError(io, path, error.what());
        return std::nullopt;
    }
}

// Writes the card, reporting a failure; true when the file is in place.
bool WriteCardFile(const CardBackground& background, const card::CardData& data,
                   const fs::path& path, CommandIo& io) {
    try {
        const std::unique_ptr<graphics::TBitmap> card = ComposeCard(background, data);
        WriteCard(*card, path.string());
        return true;
    } catch (const std::exception& error) {
        ReportError(io, path.string(), error.what());
        return false;
    }
}

// ---- Cards from a log -------------------------------------------------------------------------

struct LogTotals {
    size_t written = 0;         // cards
    size_t contactsOnCards = 0; // contacts on the cards written
    SelectionTotals selection;
    size_t failed = 0;
};

static_assert(qsl::kMaxContactsPerCard <= card::kMaxTableRows,
              "every contact grouped onto a card gets a row of its table");

// The cards of the run: the chosen contacts in card order and where each card begins. A card's
// records are read again from the log just before it is drawn, so a long log holds neither its
// records nor the text of its cards at once.
class CardPlan {
  public:
    CardPlan(LogContacts& log, size_t perCard) : log_(log), order_(log.PlanCards(perCard)) {}

    size_t Cards() const { return order_.firsts.size(); }
    size_t ContactsOn(size_t card) const { return End(card) - order_.firsts[card]; }
    // The records of card, oldest first.
    std::vector<adif::Record> Records(size_t card) const {
        std::vector<adif::Record> records;
        records.reserve(ContactsOn(card));
        for (size_t at = order_.firsts[card]; at < End(card); ++at)
            records.push_back(log_.Contact(order_.contacts[at]));
        return records;
    }
    // Contact k of card.
    adif::Record Contact(size_t card, size_t k) const {
        return log_.Contact(order_.contacts[order_.firsts[card] + k]);
    }

  private:
    size_t End(size_t card) const {
        return card + 1 < order_.firsts.size() ? order_.firsts[card + 1] : order_.contacts.size();
    }

    LogContacts& log_;
    qsl::CardOrder order_;
};

// What DrawBoxes needs for a card of these records.
card::CardData PrepareCard(const std::vector<adif::Record>& records, const CardOptions& options,
                           const velmora::StationProfile& profile) {
    const std::string datePattern(options.dateFormat.value_or(std::string(kDefaultDateFormat)));
    std::vector<Contact> details;
    details.reserve(records.size());
    for (const adif::Record& record : records)
        details.push_back(ContactFromRecord(record, datePattern));
    return CardDataFor(details, profile, options.pseTnx ? QslRequest::PseTnx : QslRequest::None);
}

void PrintSummary(const LogTotals& totals, const CardOptions& options, double seconds,
                  CommandIo& io) {
    char rate[64];
    std::snprintf(rate, sizeof rate, " in %.2f s (%.0f cards/s)", seconds,
                  seconds > 0 ? double(totals.written) / seconds : 0.0);
    io.out << kProgram << ": " << totals.written << (totals.written == 1 ? " card" : " cards")
           << " written to " << *options.out << rate;
    if (totals.contactsOnCards != totals.written)
        io.out << "; " << totals.contactsOnCards << " contacts on them";
    if (totals.selection.damaged > 0)
        io.out << "; " << totals.selection.damaged << " damaged record"
               << (totals.selection.damaged == 1 ? "" : "s") << " skipped";
    if (totals.selection.notSelected > 0)
        io.out << "; " << totals.selection.notSelected
               << (options.queued ? " not requested or queued, skipped" : " already sent, skipped");
    if (totals.failed > 0)
        io.out << "; " << totals.failed << (totals.failed == 1 ? " card" : " cards")
               << " could not be written";
    io.out << '\n';
}

// The sent log of the contacts whose cards are in place, in the order of the cards.
// They are read again from the log one by one as the file is written.
bool WriteCardsSentLog(const CardOptions& options, const CardPlan& plan,
                       const std::vector<bool>& written, size_t contacts, CommandIo& io) {
    size_t card = 0;
    size_t onCard = 0;
    const auto next = [&](size_t) {
        while (!written[card] || onCard == plan.ContactsOn(card)) {
            ++card;
            onCard = 0;
        }
        return plan.Contact(card, onCard++);
    };
    return WriteSentLog(*options.sentLog, options.overwrite, contacts, next, io);
}

int MakeCardsFromLog(const CardOptions& options, CommandIo& io) {
    if (options.sentLog) {
        const int status = CheckSentLog(*options.sentLog, *options.adif, options.overwrite, io);
        if (status == kExitUsage)
            PrintUsage(io.err);
        if (status != kExitSuccess)
            return status;
    }
    const std::optional<velmora::StationProfile> profile = LoadProfile(options.profile, io);
    if (!profile)
        return kExitFailure;
    LogTotals totals;
    std::optional<LogContacts> log =
        LogContacts::Read(*options.adif, SelectionOf(options.queued, options.onlyUnsent), "card",
                          totals.selection, io);
    if (!log)
        return kExitFailure;
    const CardPlan jobs(*log, PerCard(options).value_or(1));
    if (log->RecordCount() == 0)
        io.err << kProgram << ": note: " << *options.adif << " holds no contacts\n";

    // Each composer draws on a background of its own.
    std::vector<CardBackground> backgrounds;
    const size_t composerCount = std::min(*Jobs(options), std::max<size_t>(jobs.Cards(), 1));
    for (size_t i = 0; i < composerCount; ++i) {
        std::optional<CardBackground> background = LoadBackground(options, io);
        if (!background)
            return kExitFailure;
        backgrounds.push_back(std::move(*background));
    }
    std::error_code error;
    fs::create_directories(*options.out, error);
    if (error || !fs::is_directory(*options.out)) {
        ReportError(io, *options.out,
                    "cannot make the folder for the cards: " +
                        (error ? error.message() : std::string("not a folder")));
        return kExitFailure;
    }

    const ExistingFiles existing =
        options.overwrite ? ExistingFiles::Overwrite : ExistingFiles::Keep;
    CardNamer namer(*options.out, existing);
    const bool terminal = &io.err == &std::cerr && StandardErrorIsTerminal();
    ProgressBar bar(io.err, terminal, jobs.Cards(), terminal ? StandardErrorWidth() : 80);
    size_t finished = 0;
    std::vector<bool> written(jobs.Cards(), false);
    std::unordered_map<std::string, size_t> jobOfPath; // cards being written
    const auto fail = [&](const std::string& subject, const std::string& message) {
        ++totals.failed;
        ++finished;
        bar.Message(std::string(kProgram) + ": " + subject + ": " + message);
    };
    {
        // Cards are made here, one after the other, and written by the pool meanwhile.
        CardWriterPool writers(kWriterThreads, existing);
        const auto collect = [&](std::chrono::milliseconds wait) {
            for (const CardWriterPool::Result& result : writers.TakeResults(wait)) {
                const auto job = jobOfPath.find(result.path.string());
                if (result.error.empty()) {
                    ++totals.written;
                    ++finished;
                    if (job != jobOfPath.end()) {
                        written[job->second] = true;
                        totals.contactsOnCards += jobs.ContactsOn(job->second);
                    }
                } else {
                    fail(result.path.string(), result.error);
                }
                if (job != jobOfPath.end())
                    jobOfPath.erase(job);
            }
            bar.Update(finished);
        };
        // Cards are composed ahead on the composers, at most a few per thread, and taken in
        // order: names are chosen in the order of the cards, whichever is finished first.
        const size_t window = 4 * backgrounds.size();
        CardComposerPool composers(
            std::move(backgrounds), [&](size_t index, const CardBackground& background) {
                const std::unique_ptr<graphics::TBitmap> card =
                    ComposeCard(background, PrepareCard(jobs.Records(index), options, *profile));
                return EncodeCard(*card);
            });
        size_t submitted = 0;
        for (size_t i = 0; i < jobs.Cards(); ++i) {
            while (submitted < jobs.Cards() && submitted - i < window)
                composers.Submit(submitted++);
            CardComposerPool::Result made = composers.Take(i);
            std::string baseName;
            try {
                baseName = CardBaseName(jobs.Contact(i, 0));
            } catch (const std::exception& error) {
                fail(*options.out, error.what());
                continue;
            }
            const std::optional<fs::path> path = namer.Claim(baseName, error);
            if (!path) {
                fail((fs::path(*options.out) / baseName).string(),
                     "cannot make the card's file: " + error.message());
                continue;
            }
            if (!made.error.empty()) {
                fail(path->string(), made.error);
                continue;
            }
            jobOfPath.emplace(path->string(), i);
            writers.Submit(*path, std::move(made.bytes));
            collect(std::chrono::milliseconds(0));
        }
        while (writers.Outstanding() > 0)
            collect(std::chrono::milliseconds(100));
    }
    // Each card's contents were flushed before it got its name; the names last from here on.
    if (totals.written > 0 && !platform::SyncFolder(*options.out))
        bar.Message(std::string(kProgram) + ": " + *options.out +
                    ": note: the folder could not be flushed; the cards may not survive a crash");
    const double seconds = bar.ElapsedSeconds();
    bar.Finish();
    PrintSummary(totals, options, seconds, io);
    bool sentLogWritten = true;
    if (options.sentLog)
        sentLogWritten = WriteCardsSentLog(options, jobs, written, totals.contactsOnCards, io);
    return totals.selection.damaged == 0 && totals.failed == 0 && sentLogWritten ? kExitSuccess
                                                                                 : kExitFailure;
}

// ---- One card from options --------------------------------------------------------------------

int MakeOneCard(const CardOptions& options, CommandIo& io) {
    const std::optional<velmora::StationProfile> profile = LoadProfile(options.profile, io);
    if (!profile)
        return kExitFailure;
    const std::optional<CardBackground> background = LoadBackground(options, io);
    if (!background)
        return kExitFailure;

    Contact contact;
    contact.station = *options.call;
    contact.operatorName = options.op.value_or("");
    contact.date = options.date.value_or("");
    contact.utc = options.utc.value_or("");
    contact.frequency = options.mhz.value_or("");
    contact.rst = options.rst.value_or("");
    contact.mode = options.mode.value_or("");
    const fs::path path = *options.output;

    // Unless told to replace it, an existing file is kept: the name is claimed exclusively.
    bool claimed = false;
    if (!options.overwrite) {
        if (const std::error_code claim = ClaimNewFile(path)) {
            ReportError(io, path.string(),
                        claim == std::errc::file_exists
                            ? std::string("exists already (give --overwrite to replace it)")
                            : "cannot make the card's file: " +
                                  std::string(std::strerror(claim.value())));
            return kExitFailure;
        }
        claimed = true;
    }
    if (WriteCardFile(*background, CardDataFor(contact, *profile), path, io))
        return kExitSuccess;
    if (claimed)
        ReleaseEmptyClaim(path);
    return kExitFailure;
}

} // namespace

fs::path ExecutablePath() {
    std::error_code error;
    fs::path path = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : path;
}

namespace {

// A help text names the picture endings through this mark, filled from the picture table.
constexpr std::string_view kEndingsMark = "{endings}";

std::string OptionHelp(const OptionSpec& option) {
    std::string help(option.help);
    if (const size_t at = help.find(kEndingsMark); at != std::string::npos)
        help.replace(at, kEndingsMark.size(), card::KnownEndings(" or "));
    return help;
}

} // namespace

void PrintCardHelp(std::ostream& stream) {
    PrintUsage(stream);
    stream << "\ncard options:\n";
    for (const OptionSpec& option : kOptions) {
        std::string left = "  ";
        if (!option.alias.empty()) {
            left += option.alias;
            left += ", ";
        }
        left += option.name;
        if (!option.argument.empty()) {
            left += ' ';
            left += option.argument;
        }
        stream << left;
        if (left.size() < 26)
            stream << std::string(26 - left.size(), ' ');
        else
            stream << "\n" << std::string(26, ' ');
        stream << OptionHelp(option) << '\n';
    }
    stream << "\nOne card per contact of the log, named DIR/CALL_QSO_DATE_TIME_ON.jpg; a name\n"
              "taken already gets _2, _3 and so on. The own station comes from the profile;\n"
              "a contact's STATION_CALLSIGN (else OPERATOR) replaces the own call sign.\n"
              "With --per-card N, contacts with the same station and own call share a card,\n"
              "oldest first, N at most; the card is named after its first contact.\n"
              "Without --background the blank card is used, looked for in this order:\n";
    for (const fs::path& candidate : BlankCardCandidates(ExecutablePath())) {
        stream << "  " << candidate.string();
        if (candidate.is_relative())
            stream << " (in the current folder)";
        stream << '\n';
    }
    stream << "\nThe QSL round trip: export the log from your logger, make the cards of the\n"
              "contacts not sent yet and a sent log of them, print the cards, then import\n"
              "the sent log into the logger, which marks those contacts sent:\n"
              "  velmora-card --adif export.adi --out cards --only-unsent --per-card 4 \\\n"
              "               --sent-log sent.adi\n"
              "The sent log holds each contact's CALL, QSO_DATE, TIME_ON, BAND, FREQ, MODE,\n"
              "SUBMODE, STATION_CALLSIGN, OPERATOR, SAT_NAME and PROP_MODE as read, with\n"
              "QSL_SENT Y, QSLSDATE today (UTC) and QSL_SENT_VIA B. The log itself is never\n"
              "written; an existing sent log is kept unless --overwrite is given.\n"
              "\nExit status: 0 when every card was written, 1 when one was not (a damaged\n"
              "record included) or the sent log could not be written, 2 for a wrong command\n"
              "line.\n";
}

int RunCards(std::span<const std::string> args, CommandIo& io) {
    CardOptions options;
    if (const int status = ParseOptions(args, options, io); status != kExitSuccess)
        return status;
    if (options.help) {
        PrintCardHelp(io.out);
        return kExitSuccess;
    }
    if (options.adif && options.call)
        return UsageError(io, "--adif", "and --call make cards in different ways; give one");
    if (options.adif) {
        if (const int status = CheckMode(options, Mode::Log, io); status != kExitSuccess)
            return status;
        return MakeCardsFromLog(options, io);
    }
    if (options.call) {
        if (const int status = CheckMode(options, Mode::Single, io); status != kExitSuccess)
            return status;
        return MakeOneCard(options, io);
    }
    return UsageError(io, kProgram, "nothing to make: give --adif LOG or --call CALL");
}

} // namespace cli
