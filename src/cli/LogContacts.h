// The contacts a card run works through, kept as a few bytes each however long the log is. The log
// is read through twice a piece at a time, to learn its encoding and then its records; of every
// contact chosen only where its record lies and what grouping needs is kept, and a card reads its
// records again from the file just before it is drawn. Choosing, reporting and grouping are those
// of a run over the whole parsed log (cli::ChooseContact, qsl::OrderCards), so the cards, their
// names and the sent log do not change.
//
// Tagged logs (.adi) in UTF-8 are read this way. A Latin-1 log keeps its converted text, an XML
// log (.adx) its chosen records, and a log that is no file (a pipe) its text, in memory for the
// run.
#pragma once

#include "adif/Adif.h"
#include "cli/Cli.h"
#include "cli/LogRun.h"
#include "qsl/Queue.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

class LogContacts {
  public:
    // Reads the log at path, reporting as ReadLog and ChooseContact report; none after reporting
    // why the file cannot be read, or that it changed while it was read. afterPiece, when given,
    // is called with the bytes read so far (over both readings of a file) after each piece; tests
    // change the file there.
    static std::optional<LogContacts> Read(const std::string& path, qsl::SentSelection selection,
                                           std::string_view item, SelectionTotals& totals,
                                           CommandIo& io,
                                           const std::function<void(uint64_t)>& afterPiece = {});

    LogContacts(LogContacts&&) noexcept;
    LogContacts& operator=(LogContacts&&) noexcept;
    ~LogContacts();

    // Records in the log, damaged ones included.
    size_t RecordCount() const { return recordCount_; }
    // Contacts chosen, in the log's order.
    size_t Size() const { return places_.size(); }

    // The chosen contacts' cards (qsl::OrderCards); the grouping keys are let go of.
    qsl::CardOrder PlanCards(size_t perCard);

    // Contact i's record, read again; safe to call from several threads. Raises when the log no
    // longer holds it (changed since it was read).
    adif::Record Contact(size_t i) const;

  private:
    struct Source;
    // Where contact i's record lies: its bytes in the log, or its index among kept records.
    struct Place {
        uint64_t offset = 0;
        uint64_t length = 0;
    };

    LogContacts();

    std::unique_ptr<Source> source_;
    std::vector<Place> places_;
    std::vector<qsl::GroupKey> keys_;
    size_t recordCount_ = 0;
};

} // namespace cli
