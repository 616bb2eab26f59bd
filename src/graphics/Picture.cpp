#include "graphics/Picture.h"

#include "graphics/Bitmap.h"
#include "graphics/Exceptions.h"
#include "graphics/PictureFormats.h"

#include <algorithm>
#include <cctype>

namespace graphics {

TPicture::~TPicture() = default;

void TPicture::Hook(TGraphic& graphic) {
    graphic.OnChange = [this](TGraphic&) { Changed(); };
    graphic.OnProgress = [this](TPersistent& sender, TProgressStage stage, uint8_t percent,
                                bool redrawNow, const platform::RECT& rect,
                                const std::string& message) {
        if (OnProgress)
            OnProgress(sender, stage, percent, redrawNow, rect, message);
    };
}

void TPicture::Changed() {
    if (OnChange)
        OnChange(*this);
}

void TPicture::Install(std::unique_ptr<TGraphic> graphic) {
    std::unique_ptr<TGraphic> old = std::move(graphic_);
    graphic_ = std::move(graphic);
    old.reset();
    try {
        Changed();
    } catch (...) {
        // The new graphic is dropped with the error; the picture must not keep a freed one.
        graphic_.reset();
        throw;
    }
}

TBitmap& TPicture::Bitmap() {
    if (auto* bitmap = dynamic_cast<TBitmap*>(graphic_.get()))
        return *bitmap;
    graphic_.reset();
    auto bitmap = std::make_unique<TBitmap>();
    Hook(*bitmap);
    TBitmap& result = *bitmap;
    graphic_ = std::move(bitmap);
    Changed();
    return result;
}

void TPicture::SetHeldGraphic(const TGraphic* graphic) {
    if (graphic == nullptr) {
        graphic_.reset();
        Changed();
        return;
    }
    std::unique_ptr<TGraphic> copy = graphic->Construct();
    copy->CopyFrom(graphic);
    Hook(*copy);
    Install(std::move(copy));
}

void TPicture::CopyFrom(const TPersistent* source) {
    if (source == nullptr) {
        SetHeldGraphic(nullptr);
    } else if (const auto* picture = dynamic_cast<const TPicture*>(source)) {
        SetHeldGraphic(picture->HeldGraphic());
    } else if (const auto* graphic = dynamic_cast<const TGraphic*>(source)) {
        SetHeldGraphic(graphic);
    } else {
        TPersistent::CopyFrom(source);
    }
}

void TPicture::CopyInto(TPersistent& destination) const {
    auto* target = dynamic_cast<TGraphic*>(&destination);
    if (graphic_ && target != nullptr && graphic_->ClassType().InheritsFrom(target->ClassType())) {
        target->CopyFrom(graphic_.get());
        return;
    }
    TPersistent::CopyInto(destination);
}

int TPicture::Width() const {
    return graphic_ ? graphic_->Width() : 0;
}

int TPicture::Height() const {
    return graphic_ ? graphic_->Height() : 0;
}

void TPicture::LoadFromFile(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    std::string extension;
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        extension = path.substr(dot + 1);
    const TGraphicClass* cls = FindGraphicClass(extension);
    if (cls == nullptr)
        throw EInvalidGraphic("Unknown picture file extension (." + extension + ")");
    LoadFromFile(path, *cls);
}

void TPicture::LoadFromFile(const std::string& path, const TGraphicClass& graphicClass) {
    std::unique_ptr<TGraphic> graphic = graphicClass.Create();
    Hook(*graphic);
    graphic->ReadFromFile(path);
    Install(std::move(graphic));
}

void TPicture::SaveToFile(const std::string& path) {
    if (graphic_)
        graphic_->WriteToFile(path);
}

} // namespace graphics
