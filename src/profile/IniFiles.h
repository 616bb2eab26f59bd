// TIniFile: reading and writing single values of an INI file through the platform's private
// profile functions. Each write reaches the disk at once.
#pragma once

#include "platform/Exception.h"

#include <string>
#include <string_view>

namespace toolkit {

// A write the platform refused: "Unable to write to %s" with the file's path.
class EIniFileException : public platform::Exception {
  public:
    EIniFileException(std::string message, int errorNumber)
        : Exception(std::move(message)), errorNumber_(errorNumber) {}
    // The system's error number of the refusal.
    int ErrorNumber() const noexcept { return errorNumber_; }

  private:
    int errorNumber_;
};

class TIniFile {
  public:
    explicit TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

    const std::string& FileName() const { return fileName_; }
    // The value, or defaultValue for a missing file, section or key; at most 2047 bytes.
    std::string ReadString(std::string_view section, std::string_view ident,
                           std::string_view defaultValue) const;
    // Raises EIniFileException when the platform refuses the write.
    void WriteString(std::string_view section, std::string_view ident, std::string_view value);

  private:
    std::string fileName_;
};

} // namespace toolkit
