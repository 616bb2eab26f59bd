#include "graphics/Graphic.h"

#include "graphics/Exceptions.h"
#include "graphics/Stream.h"

#include <algorithm>

namespace graphics {

bool TGraphicClass::InheritsFrom(const TGraphicClass& base) const {
    for (const TGraphicClass* c = this; c != nullptr; c = c->parent) {
        if (c == &base)
            return true;
    }
    return false;
}

std::unique_ptr<TGraphic> TGraphicClass::Create() const {
    if (create == nullptr)
        throw EInvalidGraphicOperation("Cannot create an instance of the abstract class " +
                                       std::string(name));
    return create();
}

const TGraphicClass& TGraphic::Class() {
    static const TGraphicClass cls{"TGraphic", nullptr, nullptr};
    return cls;
}

void TGraphic::SetModified(bool modified) {
    if (modified)
        NotifyChanged();
    else
        modified_ = false;
}

void TGraphic::NotifyChanged() {
    modified_ = true;
    if (OnChange)
        OnChange(*this);
}

bool TGraphic::SameContent(TGraphic& other) {
    if (&other == this)
        return true;
    if (&other.ClassType() != &ClassType())
        return false;
    if (IsEmpty() || other.IsEmpty())
        return IsEmpty() && other.IsEmpty();
    TMemoryStream mine;
    TMemoryStream theirs;
    SaveToStream(mine);
    other.SaveToStream(theirs);
    return std::ranges::equal(mine.Memory(), theirs.Memory());
}

void TGraphic::ReadStoredData(TStream& stream) {
    LoadFromStream(stream);
}

void TGraphic::WriteStoredData(TStream& stream) {
    SaveToStream(stream);
}

void TGraphic::ReplacePalette(platform::HPALETTE) {}

void TGraphic::SetTransparency(bool transparent) {
    if (transparent == transparent_)
        return;
    transparent_ = transparent;
    NotifyChanged();
}

void TGraphic::ReadFromFile(const std::string& path) {
    TFileStream file(path, fmOpenRead);
    LoadFromStream(file);
}

void TGraphic::WriteToFile(const std::string& path) {
    TFileStream file(path, fmCreate);
    SaveToStream(file);
}

void TGraphic::Progress(TProgressStage stage, uint8_t percentDone, bool redrawNow,
                        const platform::RECT& rect, const std::string& message) {
    if (OnProgress)
        OnProgress(*this, stage, percentDone, redrawNow, rect, message);
}

} // namespace graphics
