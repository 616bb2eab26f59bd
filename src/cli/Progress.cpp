#include "cli/Progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <sys/ioctl.h>
#include <unistd.h>

namespace cli {

double SteadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::string FormatDuration(double seconds) {
    const auto total = static_cast<long long>(std::max(0.0, std::round(seconds)));
    const long long hours = total / 3600;
    const long long minutes = total / 60 % 60;
    const long long secs = total % 60;
    char text[48];
    if (hours > 0)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", hours, minutes, secs);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", minutes, secs);
    return text;
}

std::string RenderProgress(size_t done, size_t total, double elapsedSeconds, size_t width) {
    done = std::min(done, total);
    std::string numbers = "  " + std::to_string(done) + "/" + std::to_string(total);
    if (elapsedSeconds > 0.0 && done > 0) {
        const double rate = double(done) / elapsedSeconds;
        char text[64];
        std::snprintf(text, sizeof text, "  %.0f cards/s", rate);
        numbers += text;
        numbers += "  ETA " + FormatDuration(double(total - done) / rate);
    }
    // "[" and "]" around a bar of at least ten cells; numbers that leave no room for it stand
    // alone.
    if (width < numbers.size() + 12)
        return numbers.substr(2, width);
    const size_t cells = std::min<size_t>(width - numbers.size() - 2, 40);
    const size_t filled = total == 0 ? cells : cells * done / total;
    std::string bar(1, '[');
    bar.append(filled, '#');
    bar.append(cells - filled, '-');
    bar += ']';
    return bar + numbers;
}

ProgressBar::ProgressBar(std::ostream& stream, bool terminal, size_t total, size_t width,
                         SecondsClock clock)
    : stream_(stream), terminal_(terminal), total_(total), width_(std::max<size_t>(width, 2)),
      clock_(std::move(clock)), start_(clock_()) {}

ProgressBar::~ProgressBar() {
    Finish();
}

double ProgressBar::ElapsedSeconds() const {
    return clock_() - start_;
}

void ProgressBar::Update(size_t done) {
    done_ = done;
    if (!terminal_ || finished_)
        return;
    const double now = clock_();
    if (done_ < total_ && lastDraw_ >= 0.0 && now - lastDraw_ < 0.1)
        return;
    lastDraw_ = now;
    Draw();
}

void ProgressBar::Message(std::string_view line) {
    Clear();
    stream_ << line << '\n';
    if (shown_ && !finished_)
        Draw();
    stream_.flush();
}

void ProgressBar::Finish() {
    if (finished_)
        return;
    Clear();
    finished_ = true;
    stream_.flush();
}

void ProgressBar::Draw() {
    // One column is left free so the cursor never wraps onto a new line.
    stream_ << '\r' << RenderProgress(done_, total_, ElapsedSeconds(), width_ - 1) << "\x1b[K";
    stream_.flush();
    shown_ = true;
}

void ProgressBar::Clear() {
    if (terminal_ && shown_)
        stream_ << "\r\x1b[K";
}

bool StandardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

size_t StandardErrorWidth() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

} // namespace cli
