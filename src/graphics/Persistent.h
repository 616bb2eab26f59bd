// The common base of everything that can be assigned to something else: tools, graphics,
// pictures, the clipboard.
#pragma once

#include <string_view>

namespace graphics {

class TPersistent {
  public:
    virtual ~TPersistent() = default;

    virtual std::string_view ClassName() const { return "TPersistent"; }

    // Take the value of source. The base hands over to source->CopyInto(*this), so a source
    // that knows this class (the clipboard knows bitmaps and pictures) can fill it; a null
    // source or one that does not know this class raises EConvertError.
    virtual void CopyFrom(const TPersistent* source);
    // Fill destination from this object. The base knows no destination and raises
    // EConvertError "Cannot assign a <this class> to a <destination class>".
    virtual void CopyInto(TPersistent& destination) const;

  protected:
    // EConvertError "Cannot assign a %s to a %s": source class name (or "nil"), then this one.
    [[noreturn]] void RaiseAssignError(const TPersistent* source) const;
};

} // namespace graphics
