#include "app/progress/BusyIndicator.h"

#include <QApplication>
#include <QCursor>
#include <QProgressDialog>
#include <chrono>

namespace progress {

namespace {

BusyIndicator* g_current = nullptr;
Clock g_testClock;
int g_barsShown = 0;

int64_t Now() {
    if (g_testClock)
        return g_testClock();
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The indicators need a widget application; without one (a console front end) they only keep
// the bookkeeping.
bool HaveWidgets() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

} // namespace

BusyIndicator::BusyIndicator(QWidget* owner, std::string text)
    : owner_(owner), text_(std::move(text)), start_(Now()), outer_(g_current) {
    g_current = this;
    if (HaveWidgets())
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

BusyIndicator::~BusyIndicator() {
    g_current = outer_;
    delete bar_.data();
    if (HaveWidgets())
        QApplication::restoreOverrideCursor();
}

BusyIndicator* BusyIndicator::Current() {
    return g_current;
}

void BusyIndicator::Report(graphics::TProgressStage stage, uint8_t percentDone) {
    if (!HaveWidgets())
        return;
    if (bar_ == nullptr && stage != graphics::psEnding && Now() - start_ >= kShowAfterMs)
        ShowBar();
    if (bar_ != nullptr)
        bar_->setValue(stage == graphics::psEnding ? 100 : percentDone);
    // Painting and other queued work may run; clicks and keys wait until the operation is over,
    // so no second command starts in the middle of this one.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void BusyIndicator::ShowBar() {
    auto* bar = new QProgressDialog(owner_);
    bar->setObjectName(QStringLiteral("ProgressIndicator"));
    bar->setWindowTitle(QStringLiteral("Velmora"));
    bar->setLabelText(QString::fromStdString(text_));
    bar->setCancelButton(nullptr);
    bar->setRange(0, 100);
    bar->setAutoClose(false);
    bar->setAutoReset(false);
    bar->setMinimumDuration(0);
    bar->setWindowModality(Qt::WindowModal);
    bar->setValue(0);
    bar->show();
    bar_ = bar;
    ++g_barsShown;
}

graphics::TProgressEvent ProgressListener() {
    return [](graphics::TPersistent&, graphics::TProgressStage stage, uint8_t percentDone, bool,
              const platform::RECT&, const std::string&) {
        if (BusyIndicator* current = BusyIndicator::Current())
            current->Report(stage, percentDone);
    };
}

void SetClockForTesting(Clock clock) {
    g_testClock = std::move(clock);
}

int BarsShown() {
    return g_barsShown;
}

} // namespace progress
