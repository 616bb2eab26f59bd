#include "app/StationProfile.h"

namespace velmora {

std::string ProfilePathFor(const std::string& exeName) {
    const size_t slash = exeName.find_last_of('/');
    const size_t dot = exeName.find_last_of('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? exeName.substr(0, dot) : exeName) + ".ini";
}

StationProfile ReadProfile(const toolkit::TIniFile& file) {
    StationProfile profile;
    for (const ProfileKey& entry : kProfileKeys)
        profile.*entry.value = file.ReadString(kProfileSection, entry.key, "");
    return profile;
}

void WriteProfile(toolkit::TIniFile& file, const StationProfile& profile) {
    for (const ProfileKey& entry : kProfileKeys)
        file.WriteString(kProfileSection, entry.key, profile.*entry.value);
}

} // namespace velmora
