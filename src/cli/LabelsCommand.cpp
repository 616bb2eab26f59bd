// velmora-card labels --adif LOG --sheet NAME|FILE -o LABELS.pdf: sheets of QSL labels, one label
// per card's worth of contacts, chosen, grouped and marked sent exactly as the cards are.
#include "cli/Cli.h"
#include "cli/LogRun.h"
#include "cli/OptionTable.h"
#include "labels/LabelPdf.h"
#include "labels/LabelsFromLog.h"
#include "labels/SheetFile.h"
#include "qsl/SentLog.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <optional>
#include <ostream>

namespace cli {

namespace fs = std::filesystem;
namespace lb = velmora::labels;

namespace {

constexpr std::string_view kProgram = "velmora-card";

struct LabelOptions {
    std::optional<std::string> adif;
    std::optional<std::string> sheet;
    std::optional<std::string> output;
    std::optional<std::string> skip;
    std::optional<std::string> offset;
    std::optional<std::string> perCard;
    std::optional<std::string> sentLog;
    std::optional<std::string> profile;
    std::optional<std::string> dateFormat;
    bool queued = false;
    bool onlyUnsent = false;
    bool overwrite = false;
    bool outlines = false;
    bool help = false;
};

struct LabelOption {
    std::string_view name;
    std::string_view alias;
    std::string_view argument; // empty for a flag
    std::string_view help;
    std::optional<std::string> LabelOptions::*value;
    bool LabelOptions::*flag;
};

// In the order the help lists them.
const LabelOption kLabelOptions[] = {
    {"--adif", "", "LOG", "the contact log (ADIF .adi, or .adx XML)", &LabelOptions::adif, nullptr},
    {"--sheet", "", "NAME|FILE", "the label stock: a built-in sheet or a sheet file",
     &LabelOptions::sheet, nullptr},
    {"--output", "-o", "LABELS.pdf", "the PDF file to write", &LabelOptions::output, nullptr},
    {"--skip", "", "N", "labels already used on the first sheet (0)", &LabelOptions::skip, nullptr},
    {"--offset", "", "X,Y", "move everything X mm right, Y mm down (printer correction)",
     &LabelOptions::offset, nullptr},
    {"--per-card", "", "N", "up to N (1 to 5) contacts with one station per label",
     &LabelOptions::perCard, nullptr},
    {"--only-unsent", "", "", "skip contacts whose QSL_SENT is Y (sent) or I (ignore)", nullptr,
     &LabelOptions::onlyUnsent},
    {"--queued", "", "", "labels only for QSL_SENT R or Q (requested, queued)", nullptr,
     &LabelOptions::queued},
    {"--sent-log", "", "FILE", "ADIF of the contacts given a label, marked sent",
     &LabelOptions::sentLog, nullptr},
    {"--overwrite", "", "", "replace the PDF and the sent log when they exist", nullptr,
     &LabelOptions::overwrite},
    {"--outlines", "", "", "draw every label's outline (a test print on plain paper)", nullptr,
     &LabelOptions::outlines},
    {"--date-format", "", "PATTERN", "the date's layout from YYYY, YY, MM, DD (YYYY-MM-DD)",
     &LabelOptions::dateFormat, nullptr},
    {"--profile", "", "FILE", "the station profile, for the own call when the log has none",
     &LabelOptions::profile, nullptr},
    {"--help", "-h", "", "show this help", nullptr, &LabelOptions::help},
};

int ParseLabelOptions(std::span<const std::string> args, LabelOptions& options, CommandIo& io) {
    return ParseWithTable(std::span<const LabelOption>(kLabelOptions), args, options,
                          [&io](std::string_view subject, std::string_view message) {
                              ReportError(io, subject, message);
                              return kExitUsage;
                          });
}

void PrintLabelHelp(std::ostream& stream) {
    stream << "usage: " << kProgram
           << " labels --adif LOG --sheet NAME|FILE -o LABELS.pdf [--skip N]\n"
              "                    [--offset X,Y] [--per-card N] [--only-unsent | --queued]\n"
              "                    [--sent-log FILE] [--overwrite] [--outlines]\n\n"
              "label options:\n";
    for (const LabelOption& option : kLabelOptions) {
        std::string left = "  ";
        if (!option.alias.empty())
            left += std::string(option.alias) + ", ";
        left += option.name;
        if (!option.argument.empty())
            left += " " + std::string(option.argument);
        stream << left;
        if (left.size() < 26)
            stream << std::string(26 - left.size(), ' ');
        else
            stream << "\n" << std::string(26, ' ');
        stream << option.help << '\n';
    }
    stream << "\nbuilt-in sheets:\n";
    for (const lb::SheetLayout& sheet : lb::BuiltInSheets()) {
        char line[128];
        std::snprintf(line, sizeof line, "  %-7s %d x %d labels of %.1f x %.1f mm on %s\n",
                      sheet.name.c_str(), sheet.columns, sheet.rows, sheet.labelWidth,
                      sheet.labelHeight, sheet.paperWidth == lb::kA4WidthMm ? "A4" : "US Letter");
        stream << line;
    }
    stream << "\nOne label per card's worth of contacts with one station (as --per-card groups\n"
              "the cards), numbered row by row from the top left of each sheet. Other stock is\n"
              "described in a sheet file (keys name, paper, columns, rows, label-size, pitch,\n"
              "margins). The PDF has real text; print it at actual size (no fitting to the\n"
              "page). An existing PDF or sent log is kept unless --overwrite is given.\n";
}

// A whole number of labels to skip; the sheet decides how many may be skipped.
std::optional<int> ParseSkip(const std::string& text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0)
        return std::nullopt;
    return value;
}

std::optional<double> ParseMm(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

// "X,Y" in millimetres.
bool ParseOffset(const std::string& text, lb::SheetPlacement& placement) {
    const size_t comma = text.find(',');
    if (comma == std::string::npos)
        return false;
    const std::optional<double> x = ParseMm(std::string_view(text).substr(0, comma));
    const std::optional<double> y = ParseMm(std::string_view(text).substr(comma + 1));
    if (!x || !y)
        return false;
    placement.offsetX = *x;
    placement.offsetY = *y;
    return true;
}

bool SamePath(const fs::path& a, const fs::path& b) {
    std::error_code error;
    return fs::equivalent(a, b, error) ||
           fs::weakly_canonical(a, error) == fs::weakly_canonical(b, error);
}

// The PDF must not replace the log or the sent log, nor (without --overwrite) another file, and
// its folder must be there; checked before the log is read.
int CheckOutput(const LabelOptions& options, CommandIo& io) {
    const fs::path path = *options.output;
    if (SamePath(path, *options.adif)) {
        ReportError(io, "--output", "names the log itself, which is never written");
        return kExitUsage;
    }
    if (options.sentLog && SamePath(path, *options.sentLog)) {
        ReportError(io, "--output", "names the sent log too; give two files");
        return kExitUsage;
    }
    std::error_code error;
    if (fs::is_directory(path, error)) {
        ReportError(io, path.string(), "is a folder, not a file for the labels");
        return kExitFailure;
    }
    if (fs::exists(path, error) && !options.overwrite) {
        ReportError(io, path.string(), "exists already (give --overwrite to replace it)");
        return kExitFailure;
    }
    const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    if (!fs::is_directory(folder, error)) {
        ReportError(io, path.string(), "the folder for the labels does not exist");
        return kExitFailure;
    }
    return kExitSuccess;
}

// The command line's values, checked before any file is touched.
struct LabelRun {
    lb::SheetLayout sheet;
    lb::SheetPlacement placement;
    size_t perCard = 1;
    std::string datePattern;
};

int CheckArguments(const LabelOptions& options, LabelRun& run, CommandIo& io) {
    for (const auto& [given, name, what] :
         {std::tuple{options.adif.has_value(), "--adif", "the log to make labels from (LOG)"},
          std::tuple{options.sheet.has_value(), "--sheet", "the label stock (NAME or FILE)"},
          std::tuple{options.output.has_value(), "-o", "the PDF file to write (LABELS.pdf)"}}) {
        if (!given) {
            ReportError(io, name, std::string("is needed: ") + what);
            return kExitUsage;
        }
    }
    const std::optional<size_t> perCard = ParsePerCard(options.perCard);
    if (!perCard) {
        ReportError(io, "--per-card", PerCardError(*options.perCard));
        return kExitUsage;
    }
    run.perCard = *perCard;
    run.datePattern = options.dateFormat.value_or(std::string(qsl::kDefaultDateFormat));
    if (!qsl::IsDatePattern(run.datePattern)) {
        ReportError(io, "--date-format",
                    "\"" + run.datePattern + "\" names no part of a date (YYYY, YY, MM, DD)");
        return kExitUsage;
    }
    if (options.skip) {
        const std::optional<int> skip = ParseSkip(*options.skip);
        if (!skip) {
            ReportError(io, "--skip", "\"" + *options.skip + "\" is not a whole number of labels");
            return kExitUsage;
        }
        run.placement.skip = *skip;
    }
    if (options.offset && !ParseOffset(*options.offset, run.placement)) {
        ReportError(io, "--offset",
                    "\"" + *options.offset + "\" is not X,Y in millimetres (for example 0.5,-1)");
        return kExitUsage;
    }
    try {
        run.sheet = lb::ResolveSheet(*options.sheet);
    } catch (const lb::ELabelError& error) {
        std::error_code missing;
        const bool isFile = fs::exists(*options.sheet, missing);
        ReportError(io, "--sheet", error.what());
        return isFile ? kExitFailure : kExitUsage;
    }
    // The offset first, then the skip count, so the message names the option at fault.
    lb::SheetPlacement offsetOnly = run.placement;
    offsetOnly.skip = 0;
    std::string_view option = "--offset";
    try {
        lb::ValidatePlacement(run.sheet, offsetOnly);
        option = "--skip";
        lb::ValidatePlacement(run.sheet, run.placement);
    } catch (const lb::ELabelError& error) {
        ReportError(io, option, error.what());
        return kExitUsage;
    }
    if (const int status = CheckOutput(options, io); status != kExitSuccess)
        return status;
    if (options.sentLog)
        return CheckSentLog(*options.sentLog, *options.adif, options.overwrite, io);
    return kExitSuccess;
}

std::string Plural(size_t count, std::string_view one, std::string_view many) {
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

void PrintSummary(const LabelOptions& options, const LabelRun& run, size_t labels, size_t contacts,
                  const SelectionTotals& totals, CommandIo& io) {
    io.out << kProgram << ": " << *options.output << ": " << Plural(labels, "label", "labels")
           << " (" << Plural(contacts, "contact", "contacts") << ") on "
           << Plural(lb::SheetsNeeded(run.sheet, run.placement, labels), "sheet", "sheets")
           << " of " << run.sheet.name << ", from label " << run.placement.skip + 1
           << " of the first sheet";
    if (totals.damaged > 0)
        io.out << "; " << Plural(totals.damaged, "damaged record", "damaged records") << " skipped";
    if (totals.notSelected > 0)
        io.out << "; " << totals.notSelected
               << (options.queued ? " not requested or queued, skipped" : " already sent, skipped");
    io.out << '\n';
}

int MakeLabels(const LabelOptions& options, const LabelRun& run, CommandIo& io) {
    const std::optional<velmora::StationProfile> profile = LoadProfile(options.profile, io);
    if (!profile)
        return kExitFailure;
    const std::optional<std::vector<adif::Record>> log = ReadLog(*options.adif, io);
    if (!log)
        return kExitFailure;
    SelectionTotals totals;
    const std::vector<const adif::Record*> contacts = SelectContacts(
        *log, *options.adif, SelectionOf(options.queued, options.onlyUnsent), "label", totals, io);
    const std::vector<qsl::CardContacts> cards = qsl::GroupContacts(contacts, run.perCard);
    if (cards.empty()) {
        io.out << kProgram << ": " << *options.adif
               << ": no contacts to label; no PDF and no sent log written\n";
        return totals.damaged == 0 ? kExitSuccess : kExitFailure;
    }

    std::vector<uint8_t> pdf;
    try {
        const std::vector<lb::LabelData> labels =
            lb::LabelsFromCards(cards, run.datePattern, profile->CALLID);
        lb::RenderOptions render;
        render.outlines = options.outlines ? lb::LabelOutlines::everySlot : lb::LabelOutlines::none;
        pdf = lb::LabelsPdf(run.sheet, run.placement, labels, render);
    } catch (const std::exception& error) {
        ReportError(io, *options.output, error.what());
        return kExitFailure;
    }
    // The document is complete before the file is touched; it then replaces the file whole.
    const std::error_code error = qsl::WriteFileAtomically(
        *options.output, std::string_view(reinterpret_cast<const char*>(pdf.data()), pdf.size()),
        options.overwrite ? qsl::ExistingFile::Replace : qsl::ExistingFile::Keep);
    if (error) {
        ReportError(io, *options.output,
                    error == std::errc::file_exists
                        ? std::string("exists already (give --overwrite to replace it)")
                        : "cannot write the labels: " + error.message());
        return kExitFailure;
    }
    PrintSummary(options, run, cards.size(), contacts.size(), totals, io);

    bool sentLogWritten = true;
    if (options.sentLog) {
        std::vector<const adif::Record*> sent;
        for (const qsl::CardContacts& card : cards)
            sent.insert(sent.end(), card.contacts.begin(), card.contacts.end());
        sentLogWritten = WriteSentLog(*options.sentLog, options.overwrite, sent, io);
    }
    return totals.damaged == 0 && sentLogWritten ? kExitSuccess : kExitFailure;
}

} // namespace

int RunLabels(std::span<const std::string> args, CommandIo& io) {
    LabelOptions options;
    if (const int status = ParseLabelOptions(args, options, io); status != kExitSuccess)
        return status;
    if (options.help) {
        PrintLabelHelp(io.out);
        return kExitSuccess;
    }
    LabelRun run;
    if (const int status = CheckArguments(options, run, io); status != kExitSuccess)
        return status;
    return MakeLabels(options, run, io);
}

} // namespace cli
