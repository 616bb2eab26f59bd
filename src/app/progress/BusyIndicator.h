// While a long operation runs on the user-interface thread (decoding a large background,
// encoding the card), the window shows a busy cursor; once the operation has taken longer than
// half a second, a progress bar fed by the pictures' progress events appears as well. The
// events also let queued painting run, so the window repaints rather than freezing.
#pragma once

#include "graphics/Graphic.h"

#include <QPointer>
#include <QProgressDialog>
#include <cstdint>
#include <functional>
#include <string>

class QWidget;

namespace progress {

// Milliseconds from an arbitrary start.
using Clock = std::function<int64_t()>;

// How long an operation runs before the progress bar appears.
inline constexpr int64_t kShowAfterMs = 500;

// Lives on the stack for the length of one operation. Indicators nest: the innermost one
// receives the events.
class BusyIndicator {
  public:
    // owner: the window the progress bar belongs to (may be null); text: what it says.
    BusyIndicator(QWidget* owner, std::string text);
    ~BusyIndicator();
    BusyIndicator(const BusyIndicator&) = delete;
    BusyIndicator& operator=(const BusyIndicator&) = delete;

    // One progress event of the running operation.
    void Report(graphics::TProgressStage stage, uint8_t percentDone);

    // The progress bar while it is shown, else null.
    QProgressDialog* Bar() const { return bar_; }

    // The indicator of the innermost running operation, or null.
    static BusyIndicator* Current();

  private:
    void ShowBar();

    QPointer<QWidget> owner_;
    std::string text_;
    int64_t start_;
    QPointer<QProgressDialog> bar_;
    BusyIndicator* outer_;
};

// A progress listener for picture objects: it forwards every event to the indicator of the
// operation running at that moment and does nothing when none runs, so a picture may keep it
// for its whole life.
graphics::TProgressEvent ProgressListener();

// Test seams: the clock the indicators read (an empty clock restores the steady clock), and
// how many progress bars have been shown in this process.
void SetClockForTesting(Clock clock);
int BarsShown();

} // namespace progress
