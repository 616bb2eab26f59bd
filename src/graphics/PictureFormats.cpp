#include "graphics/PictureFormats.h"

#include "graphics/Bitmap.h"
#include "graphics/Exceptions.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <vector>

namespace graphics {

namespace {

struct FormatEntry {
    const TGraphicClass* graphicClass;
    std::string extension;
    std::string description;
    int descriptionResource = 0;
};

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

struct FormatList {
    std::mutex lock;
    std::vector<FormatEntry> entries;
};

// Created on first use with the system's own picture classes.
FormatList& Formats() {
    static auto* list = [] {
        auto* l = new FormatList();
        l->entries.push_back({&TMetafile::Class(), "wmf", "Metafiles"});
        l->entries.push_back({&TMetafile::Class(), "emf", "Enhanced Metafiles"});
        l->entries.push_back({&TIcon::Class(), "ico", "Icons"});
        l->entries.push_back({&TBitmap::Class(), "bmp", "Bitmaps"});
        return l;
    }();
    return *list;
}

} // namespace

void RegisterFileFormat(std::string_view extension, std::string_view description,
                        const TGraphicClass& graphicClass) {
    auto& list = Formats();
    std::lock_guard lock(list.lock);
    list.entries.push_back({&graphicClass, Lower(extension), std::string(description)});
}

void UnregisterGraphicClass(const TGraphicClass& graphicClass) {
    auto& list = Formats();
    std::lock_guard lock(list.lock);
    std::erase_if(list.entries, [&graphicClass](const FormatEntry& e) {
        return e.graphicClass->InheritsFrom(graphicClass);
    });
}

const TGraphicClass* FindGraphicClass(std::string_view extension) {
    const std::string wanted = Lower(extension);
    auto& list = Formats();
    std::lock_guard lock(list.lock);
    for (auto it = list.entries.rbegin(); it != list.entries.rend(); ++it) {
        if (it->extension == wanted)
            return it->graphicClass;
    }
    return nullptr;
}

std::string GraphicFilter(const TGraphicClass& base) {
    auto& list = Formats();
    std::lock_guard lock(list.lock);
    std::string descriptions;
    std::string masks;
    int count = 0;
    for (auto it = list.entries.rbegin(); it != list.entries.rend(); ++it) {
        if (!it->graphicClass->InheritsFrom(base) || it->extension.empty())
            continue;
        if (count > 0) {
            descriptions += '|';
            masks += ';';
        }
        descriptions += it->description + " (*." + it->extension + ")|*." + it->extension;
        masks += "*." + it->extension;
        ++count;
    }
    if (count > 1)
        descriptions = "All (" + masks + ")|" + masks + "|" + descriptions;
    return descriptions;
}

std::string GraphicExtension(const TGraphicClass& graphicClass) {
    auto& list = Formats();
    std::lock_guard lock(list.lock);
    for (auto it = list.entries.rbegin(); it != list.entries.rend(); ++it) {
        if (it->graphicClass == &graphicClass)
            return it->extension;
    }
    return {};
}

// ---- The system's own picture classes that exist for the list -----------------------------------

template <class Derived> const TGraphicClass& TPlaceholderGraphic<Derived>::Class() {
    static const TGraphicClass cls{
        Derived::kClassName, &TGraphic::Class(),
        []() -> std::unique_ptr<TGraphic> { return std::make_unique<Derived>(); }};
    return cls;
}

template <class Derived> void TPlaceholderGraphic<Derived>::CopyFrom(const TPersistent* source) {
    const auto* other = dynamic_cast<const Derived*>(source);
    if (other == nullptr) {
        TGraphic::CopyFrom(source);
        return;
    }
    transparent_ = other->transparent_;
    NotifyChanged();
}

template <class Derived> void TPlaceholderGraphic<Derived>::LoadFromStream(TStream&) {
    throw EInvalidGraphic(Derived::kNotValidMessage);
}

template <class Derived>
void TPlaceholderGraphic<Derived>::ImportClipboardData(uint16_t, platform::GdiBitmap*,
                                                       platform::GdiPalette*) {
    throw EInvalidGraphic("Unsupported clipboard format");
}

template class TPlaceholderGraphic<TMetafile>;
template class TPlaceholderGraphic<TIcon>;

} // namespace graphics
