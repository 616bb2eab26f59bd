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

// Metafile pictures are not drawn by this system; the class exists for the format list only.
// Loading raises EInvalidGraphic "Metafile is not valid".
class TMetafile : public TGraphic {
  public:
    static const TGraphicClass& Class();
    const TGraphicClass& ClassType() const override { return Class(); }
    // Another object of the class (which holds nothing) is taken; anything else is refused.
    void CopyFrom(const TPersistent* source) override;
    void DrawGraphic(TCanvas&, const platform::RECT&) override {}
    bool IsEmpty() const override { return true; }
    int WidthOf() const override { return 0; }
    int HeightOf() const override { return 0; }
    void ResizeWidth(int) override {}
    void ResizeHeight(int) override {}
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;
    void ImportClipboardData(uint16_t format, platform::GdiBitmap* data,
                             platform::GdiPalette* palette) override;
    THandOverValues ExportClipboardData() override;
};

// Icons likewise: the class exists for the format list only. Loading raises EInvalidGraphic
// "Icon image is not valid".
class TIcon : public TGraphic {
  public:
    static const TGraphicClass& Class();
    const TGraphicClass& ClassType() const override { return Class(); }
    // Another object of the class (which holds nothing) is taken; anything else is refused.
    void CopyFrom(const TPersistent* source) override;
    void DrawGraphic(TCanvas&, const platform::RECT&) override {}
    bool IsEmpty() const override { return true; }
    int WidthOf() const override { return 0; }
    int HeightOf() const override { return 0; }
    void ResizeWidth(int) override {}
    void ResizeHeight(int) override {}
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;
    void ImportClipboardData(uint16_t format, platform::GdiBitmap* data,
                             platform::GdiPalette* palette) override;
    THandOverValues ExportClipboardData() override;
};

} // namespace graphics
