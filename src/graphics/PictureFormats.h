// The process-wide picture format list: which graphic class reads which file extension, and the
// filter string of the picture dialogs. Created on first use with the system's own entries
// "wmf" and "emf" (TMetafile), "ico" (TIcon) and "bmp" (TBitmap).
#pragma once

#include "graphics/Graphic.h"

#include <string>
#include <string_view>

namespace graphics {

// Appends an entry; the extension is stored in lower case.
void RegisterFileFormat(std::string_view extension, std::string_view description,
                        const TGraphicClass& graphicClass);
// Removes every entry whose class is graphicClass or derives from it.
void UnregisterGraphicClass(const TGraphicClass& graphicClass);
// The class for an extension (without the dot, any case): the entry added last wins. Null when
// none is registered.
const TGraphicClass* FindGraphicClass(std::string_view extension);
// A dialog filter of all entries whose class derives from base, newest first, led by an "All"
// entry when more than one qualifies.
std::string GraphicFilter(const TGraphicClass& base);
// The extension of the newest entry for a class (for a save dialog), empty when none.
std::string GraphicExtension(const TGraphicClass& graphicClass);

// A picture class that exists for the format list only: it holds nothing, draws nothing and has
// no size, and loading one raises EInvalidGraphic with the class's own message. Derived names
// itself (kClassName) and gives that message (kNotValidMessage).
template <class Derived> class TPlaceholderGraphic : public TGraphic {
  public:
    static const TGraphicClass& Class();
    const TGraphicClass& ClassType() const override { return Class(); }
    // Another object of the class (which holds nothing) is taken; anything else is refused.
    void CopyFrom(const TPersistent* source) override;
    void DrawGraphic(TCanvas&, const platform::RECT&) override {}
    bool IsEmpty() const override { return true; }
    int Width() const override { return 0; }
    int Height() const override { return 0; }
    void ResizeWidth(int) override {}
    void ResizeHeight(int) override {}
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream&) override {}
    void ImportClipboardData(uint16_t format, platform::GdiBitmap* data,
                             platform::GdiPalette* palette) override;
    THandOverValues ExportClipboardData() override { return {}; }
};

// Metafile pictures are not drawn by this system; the class exists for the format list only.
// Loading raises EInvalidGraphic "Metafile is not valid".
class TMetafile : public TPlaceholderGraphic<TMetafile> {
  public:
    static constexpr std::string_view kClassName = "TMetafile";
    static constexpr const char* kNotValidMessage = "Metafile is not valid";
};

// Icons likewise: the class exists for the format list only. Loading raises EInvalidGraphic
// "Icon image is not valid".
class TIcon : public TPlaceholderGraphic<TIcon> {
  public:
    static constexpr std::string_view kClassName = "TIcon";
    static constexpr const char* kNotValidMessage = "Icon image is not valid";
};

// Both are instantiated once, in PictureFormats.cpp, so each has one class record.
extern template class TPlaceholderGraphic<TMetafile>;
extern template class TPlaceholderGraphic<TIcon>;

} // namespace graphics
