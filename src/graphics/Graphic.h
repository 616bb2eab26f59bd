// TGraphic: the abstract picture interface through which bitmaps, JPEG and GIF pictures are
// handled alike, and the class metadata (TGraphicClass) that the picture format list and the
// picture holder's virtual constructor use.
#pragma once

#include "graphics/Persistent.h"
#include "platform/Gdi.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace graphics {

class TCanvas;
class TGraphic;
class TStream;

// Metadata of a graphic class: its name, its base, and its virtual constructor (none for an
// abstract class). Each graphic class has one static instance.
struct TGraphicClass {
    std::string_view name;
    const TGraphicClass* parent = nullptr;
    std::unique_ptr<TGraphic> (*create)() = nullptr;

    // True for this class and every class derived from it.
    bool InheritsFrom(const TGraphicClass& base) const;
    // The virtual constructor; raises EInvalidGraphicOperation for an abstract class.
    std::unique_ptr<TGraphic> Create() const;
};

// A picture as the clipboard carries it and as a decoded JPEG passes to a bitmap: a clipboard
// format number with a data handle and a palette handle. Values produced by
// ExportClipboardData belong to the caller.
struct THandOverValues {
    uint16_t format = 0;
    platform::HBITMAP data;
    platform::HPALETTE palette;
};

enum TProgressStage : uint8_t { psStarting, psRunning, psEnding };

// Progress of a long load or conversion: sender, stage, percent done, whether the region should
// be redrawn now, the region that changed, and a message.
using TProgressEvent =
    std::function<void(TPersistent& sender, TProgressStage stage, uint8_t percentDone,
                       bool redrawNow, const platform::RECT& rect, const std::string& message)>;

class TGraphic : public TPersistent {
  public:
    TGraphic() = default;
    ~TGraphic() override = default;
    TGraphic(const TGraphic&) = delete;
    TGraphic& operator=(const TGraphic&) = delete;

    static const TGraphicClass& Class();
    virtual const TGraphicClass& ClassType() const { return Class(); }
    std::string_view ClassName() const override { return ClassType().name; }

    // ---- Properties.
    bool Modified() const { return modified_; }
    // Setting true fires NotifyChanged; false only clears the flag.
    void SetModified(bool modified);
    bool PaletteModified() const { return paletteModified_; }
    void SetPaletteModified(bool modified) { paletteModified_ = modified; }

    std::function<void(TGraphic&)> OnChange;
    TProgressEvent OnProgress;

    // ---- Virtual operations.
    // Sets the modified flag and fires OnChange.
    virtual void NotifyChanged();
    virtual void DrawGraphic(TCanvas& target, const platform::RECT& rect) = 0;
    // Same class and the same saved bytes.
    virtual bool SameContent(TGraphic& other);
    virtual bool IsEmpty() const = 0;
    virtual int Height() const = 0;
    virtual platform::GdiPalette* PaletteOf() const { return nullptr; }
    virtual bool IsTransparent() const { return transparent_; }
    virtual int Width() const = 0;
    virtual void ReadStoredData(TStream& stream);
    virtual void ResizeHeight(int height) = 0;
    virtual void ReplacePalette(platform::HPALETTE palette);
    virtual void SetTransparency(bool transparent);
    virtual void ResizeWidth(int width) = 0;
    virtual void WriteStoredData(TStream& stream);
    // A new, empty graphic of this object's own class.
    virtual std::unique_ptr<TGraphic> Construct() const { return ClassType().Create(); }
    // Opens the file for reading, loads it with LoadFromStream and closes it, also on failure.
    virtual void ReadFromFile(const std::string& path);
    virtual void WriteToFile(const std::string& path);
    virtual void LoadFromStream(TStream& stream) = 0;
    virtual void SaveToStream(TStream& stream) = 0;
    // data and palette are read, not changed, and remain the caller's.
    virtual void ImportClipboardData(uint16_t format, platform::GdiBitmap* data,
                                     platform::GdiPalette* palette) = 0;
    void ImportClipboardData(const THandOverValues& values) {
        ImportClipboardData(values.format, values.data.get(), values.palette.get());
    }
    virtual THandOverValues ExportClipboardData() = 0;

  protected:
    // Fires OnProgress with this graphic as sender.
    void Progress(TProgressStage stage, uint8_t percentDone, bool redrawNow,
                  const platform::RECT& rect, const std::string& message);

    bool transparent_ = false;

  private:
    bool modified_ = false;
    bool paletteModified_ = false;
};

} // namespace graphics
