// The progress of a long run on a terminal: a bar with the count, the rate and the time left,
// redrawn in place on one line, and messages that appear above it without tearing it.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

namespace cli {

// Seconds since some fixed moment.
using SecondsClock = std::function<double()>;
double SteadySeconds();

// "[#####-----]  120/1000  212 cards/s  ETA 0:04" in at most width columns (the bar takes
// what the numbers leave). The rate and the time left are left out until time has passed.
std::string RenderProgress(size_t done, size_t total, double elapsedSeconds, size_t width);

// "0:04", "12:30", "1:02:03".
std::string FormatDuration(double seconds);

class ProgressBar {
  public:
    // Draws only when terminal is true (the stream is a terminal that a bar suits); width is
    // the terminal's width in columns.
    ProgressBar(std::ostream& stream, bool terminal, size_t total, size_t width = 80,
                SecondsClock clock = SteadySeconds);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // done items of total are finished. Redraws at most ten times a second, and at the last.
    void Update(size_t done);
    // A line of its own: the bar is cleared, the line written, the bar drawn again.
    void Message(std::string_view line);
    // Clears the bar; nothing is drawn after.
    void Finish();

    double ElapsedSeconds() const;

  private:
    void Draw();
    void Clear();

    std::ostream& stream_;
    bool terminal_;
    size_t total_;
    size_t width_;
    SecondsClock clock_;
    double start_;
    double lastDraw_ = -1.0;
    size_t done_ = 0;
    bool shown_ = false;
    bool finished_ = false;
};

// Whether the standard error stream is a terminal, and its width in columns (80 when unknown).
bool StandardErrorIsTerminal();
size_t StandardErrorWidth();

} // namespace cli
