// Writing the tagged form of ADIF (.adi): a header, then fields as <NAME:LENGTH>DATA with the
// length in bytes, each record closed by <EOR>. What is written reads back through ParseAdi
// unchanged.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace adif {

class AdiWriter {
  public:
    // The header: a line of free text, then ADIF_VER, PROGRAMID, PROGRAMVERSION and
    // CREATED_TIMESTAMP (YYYYMMDD HHMMSS, UTC), closed by <EOH>.
    AdiWriter(std::string_view description, std::string_view programId,
              std::string_view programVersion, std::string_view createdTimestamp);

    // A field of the open record; an empty name is not written.
    void Field(std::string_view name, std::string_view value);
    void EndRecord();

    const std::string& Text() const { return text_; }
    // The text written since the last Take (the header first), handed over, so a long file can
    // be written out as it is made.
    std::string Take() { return std::exchange(text_, std::string()); }

  private:
    void Put(std::string_view name, std::string_view value);

    std::string text_;
};

} // namespace adif
