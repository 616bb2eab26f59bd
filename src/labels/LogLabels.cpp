#include "labels/LogLabels.h"

#include "adif/Encoding.h"
#include "labels/LabelSheet.h"
#include "labels/LabelsFromLog.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace velmora::labels {

namespace fs = std::filesystem;

LogForLabels LogForLabels::Read(const std::string& path) {
    std::error_code error;
    if (fs::is_directory(path, error))
        throw ELabelError(path + ": is a folder, not a log");
    if (const uintmax_t size = fs::file_size(path, error); !error && size > kMaxLabelLogBytes)
        throw ELabelError(path + ": is " + std::to_string(size >> 20) +
                          " MiB; logs over 256 MiB are refused");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw ELabelError(path + ": cannot open the log: " + std::strerror(errno));
    std::ostringstream contents;
    contents << in.rdbuf();
    if (in.bad())
        throw ELabelError(path + ": cannot read the log");
    const std::string bytes = std::move(contents).str();
    return LogForLabels(path, adif::DecodeLogText(bytes).text);
}

LogForLabels::LogForLabels(std::string fileName, std::string_view text)
    : path_(std::move(fileName)), records_(adif::ParseLog(path_, text)) {}

LogLabelRun LogForLabels::Labels(const LogLabelOptions& options) const {
    if (options.perCard < 1 || options.perCard > qsl::kMaxContactsPerCard)
        throw ELabelError("contacts per label: " + std::to_string(options.perCard) +
                          " is not a number from 1 to " + std::to_string(qsl::kMaxContactsPerCard));
    if (!qsl::IsDatePattern(options.datePattern))
        throw ELabelError("date pattern \"" + options.datePattern +
                          "\" names no part of a date (YYYY, YY, MM, DD)");
    LogLabelRun run;
    std::vector<const adif::Record*> chosen;
    chosen.reserve(records_.size());
    for (const adif::Record& record : records_) {
        if (record.Damaged() || qsl::TrimBlanks(record.Value("CALL")).empty())
            ++run.damaged;
        else if (!qsl::IsSelected(record, options.selection))
            ++run.notSelected;
        else
            chosen.push_back(&record);
    }
    run.contacts = chosen.size();
    const std::vector<qsl::CardContacts> cards = qsl::GroupContacts(chosen, options.perCard);
    run.labels = LabelsFromCards(cards, options.datePattern, options.defaultOwnCall);
    return run;
}

} // namespace velmora::labels
