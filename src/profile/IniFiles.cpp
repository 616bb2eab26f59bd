#include "profile/IniFiles.h"

#include "platform/Profile.h"

#include <array>
#include <cerrno>

namespace toolkit {

std::string TIniFile::ReadString(std::string_view section, std::string_view ident,
                                 std::string_view defaultValue) const {
    std::array<char, 2048> buffer{};
    const uint32_t count =
        platform::GetPrivateProfileStringA(section, ident, defaultValue, buffer, fileName_);
    return std::string(buffer.data(), count);
}

void TIniFile::WriteString(std::string_view section, std::string_view ident,
                           std::string_view value) {
    errno = 0;
    if (!platform::WritePrivateProfileStringA(section, ident, value, fileName_))
        throw EIniFileException("Unable to write to " + fileName_, errno);
}

} // namespace toolkit
