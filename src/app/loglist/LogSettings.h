// The contact list's settings: the last log, its folder and the date pattern. They belong to
// the user, not to the station, so they live in the user's own settings file
// ($XDG_CONFIG_HOME/velmora/window.conf, else ~/.config/velmora/window.conf) and never in the
// station profile.
#pragma once

#include <string>

namespace loglist {

class LogSettings {
  public:
    // The settings file of the user running the program.
    static std::string FilePath();

    std::string LastLog() const;
    std::string LastFolder() const;
    // Remembers path as the last log and its folder as the last folder.
    void SetLastLog(const std::string& path);

    // The date pattern the list shows and fills dates with; velmora-card's default when none
    // is kept or the kept one names no part of a date.
    std::string DatePattern() const;
    void SetDatePattern(const std::string& pattern);
};

} // namespace loglist
