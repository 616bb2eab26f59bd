// The station profile: the user's own station data, eleven text values kept in section "User"
// of the INI file beside the executable.
#pragma once

#include "profile/IniFiles.h"

#include <array>
#include <string>

namespace velmora {

struct StationProfile {
    std::string CALLID;
    std::string Country;
    std::string Name;
    std::string Addr;
    std::string City;
    std::string State;
    std::string ZIP;
    std::string RIG;
    std::string ANT;
    std::string PWR;
    std::string TKS;
    friend bool operator==(const StationProfile&, const StationProfile&) = default;
};

struct ProfileKey {
    const char* key;
    std::string StationProfile::*value;
};

inline constexpr char kProfileSection[] = "User";

// The keys in the order in which they are read and written.
inline constexpr std::array<ProfileKey, 11> kProfileKeys{{
    {"CALLID", &StationProfile::CALLID},
    {"Country", &StationProfile::Country},
    {"Name", &StationProfile::Name},
    {"Addr", &StationProfile::Addr},
    {"City", &StationProfile::City},
    {"State", &StationProfile::State},
    {"ZIP", &StationProfile::ZIP},
    {"RIG", &StationProfile::RIG},
    {"ANT", &StationProfile::ANT},
    {"PWR", &StationProfile::PWR},
    {"TKS", &StationProfile::TKS},
}};

// The executable's file name with its extension replaced by ".ini" (added when it has none).
std::string ProfilePathFor(const std::string& exeName);

// Where the program keeps its profile: ProfilePathFor(exeName) while the executable's folder can
// be written (a build tree, a user's own install). An installed program in a folder it cannot
// write keeps the file of that name in the user's configuration folder instead
// ($XDG_CONFIG_HOME/velmora, else ~/.config/velmora), made here when missing; without either
// variable the profile stays beside the executable.
std::string ProfileLocationFor(const std::string& exeName);

// Every key, empty when missing; a missing or unreadable file reads as empty values.
StationProfile ReadProfile(const toolkit::TIniFile& file);
// Every key in order, each written at once; the first refused write raises its error and the
// keys after it are not written.
void WriteProfile(toolkit::TIniFile& file, const StationProfile& profile);

// The profile values with the INI file object they come from, shared by the main and the setup
// window for the whole run.
struct ProfileStore {
    explicit ProfileStore(std::string path) : IniPath(path), IniFile(std::move(path)) {}
    std::string IniPath;
    toolkit::TIniFile IniFile;
    StationProfile Values;
};

} // namespace velmora
