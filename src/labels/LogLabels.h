// A log read once for the window's label sheets: the options (selection, contacts per label)
// change while the dialog is open, so the records are kept and the labels made again from them.
// The contacts are chosen as velmora-card labels chooses them: damaged records and records
// without CALL are left out, then the QSL_SENT selection applies; nothing is written to a
// stream, the window shows the totals instead.
#pragma once

#include "adif/Adif.h"
#include "labels/LabelContent.h"
#include "qsl/Contact.h"
#include "qsl/Queue.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::labels {

// Logs larger than this are refused, as velmora-card refuses them.
inline constexpr std::size_t kMaxLabelLogBytes = std::size_t(256) << 20;

struct LogLabelOptions {
    qsl::SentSelection selection = qsl::SentSelection::All;
    std::size_t perCard = 1; // 1 to qsl::kMaxContactsPerCard
    std::string datePattern = std::string(qsl::kDefaultDateFormat);
    std::string defaultOwnCall; // the profile's call, for logs that name no own call
};

struct LogLabelRun {
    std::vector<LabelData> labels;
    std::size_t contacts = 0;    // contacts on the labels
    std::size_t damaged = 0;     // damaged records and records without CALL, left out
    std::size_t notSelected = 0; // left out by the selection
};

class LogForLabels {
  public:
    // Reads and parses the log at path; a file that is not UTF-8 is read as Latin-1. Raises
    // ELabelError naming the file when it is missing, a folder, too large or unreadable.
    static LogForLabels Read(const std::string& path);
    // The log already in memory (tests); fileName decides between the tagged and XML forms.
    LogForLabels(std::string fileName, std::string_view text);

    const std::string& Path() const { return path_; }
    std::size_t Records() const { return records_.size(); }

    // One label per card's worth of chosen contacts. Raises ELabelError for a perCard out of
    // range or a date pattern that names no part of a date.
    LogLabelRun Labels(const LogLabelOptions& options) const;

  private:
    LogForLabels() = default;
    std::string path_;
    std::vector<adif::Record> records_;
};

} // namespace velmora::labels
