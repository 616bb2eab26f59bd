#include "graphics/Persistent.h"

#include "graphics/Exceptions.h"

#include <string>

namespace graphics {

namespace {

[[noreturn]] void RaiseConvert(const TPersistent* source, const TPersistent& destination) {
    std::string sourceName = source != nullptr ? std::string(source->ClassName()) : "nil";
    throw EConvertError("Cannot assign a " + sourceName + " to a " +
                        std::string(destination.ClassName()));
}

} // namespace

void TPersistent::CopyFrom(const TPersistent* source) {
    if (source == nullptr)
        RaiseAssignError(nullptr);
    source->CopyInto(*this);
}

void TPersistent::CopyInto(TPersistent& destination) const {
    RaiseConvert(this, destination);
}

void TPersistent::RaiseAssignError(const TPersistent* source) const {
    RaiseConvert(source, *this);
}

} // namespace graphics
