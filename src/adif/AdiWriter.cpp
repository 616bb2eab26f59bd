#include "adif/AdiWriter.h"

namespace adif {

AdiWriter::AdiWriter(std::string_view description, std::string_view programId,
                     std::string_view programVersion, std::string_view createdTimestamp) {
    // Header text must not begin with '<', or a reader takes the header for a record.
    text_ = description.empty() || description.front() == '<' ? "ADIF export"
                                                              : std::string(description);
    text_ += '\n';
    Put("ADIF_VER", "3.1.4");
    Put("PROGRAMID", programId);
    Put("PROGRAMVERSION", programVersion);
    Put("CREATED_TIMESTAMP", createdTimestamp);
    text_ += "<EOH>\n";
}

void AdiWriter::Put(std::string_view name, std::string_view value) {
    text_ += '<';
    text_ += name;
    text_ += ':';
    text_ += std::to_string(value.size());
    text_ += '>';
    text_ += value;
    text_ += ' ';
}

void AdiWriter::Field(std::string_view name, std::string_view value) {
    if (!name.empty())
        Put(name, value);
}

void AdiWriter::EndRecord() {
    text_ += "<EOR>\n";
}

} // namespace adif
