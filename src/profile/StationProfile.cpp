#include "profile/StationProfile.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace velmora {

std::string ProfilePathFor(const std::string& exeName) {
    const size_t slash = exeName.find_last_of('/');
    const size_t dot = exeName.find_last_of('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? exeName.substr(0, dot) : exeName) + ".ini";
}

std::string ProfileLocationFor(const std::string& exeName) {
    const std::string beside = ProfilePathFor(exeName);
    std::filesystem::path folder = std::filesystem::path(exeName).parent_path();
    if (folder.empty())
        folder = ".";
    // Saving replaces the file through a temporary file beside it, so the folder must be
    // writable, not only the file.
    if (::access(folder.c_str(), W_OK) == 0)
        return beside;
    std::filesystem::path config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/')
        config = xdg;
    else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
        config = std::filesystem::path(home) / ".config";
    else
        return beside;
    const std::filesystem::path user = config / "velmora";
    std::error_code error; // a folder that cannot be made shows as the profile's write error
    std::filesystem::create_directories(user, error);
    return (user / std::filesystem::path(beside).filename()).string();
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
