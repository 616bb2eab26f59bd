// TPicture: the holder of at most one graphic. Storing a graphic stores a copy of it (for a
// bitmap, one sharing the same image); changes of the held graphic are reported as changes of
// the picture.
#pragma once

#include "graphics/Graphic.h"
#include "graphics/Persistent.h"

#include <functional>
#include <memory>
#include <string>

namespace graphics {

class TBitmap;

class TPicture : public TPersistent {
  public:
    TPicture() = default;
    ~TPicture() override;
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    std::string_view ClassName() const override { return "TPicture"; }

    // The graphic as a bitmap: any other graphic (or none) is replaced by a new empty bitmap.
    TBitmap& Bitmap();
    TGraphic* HeldGraphic() const { return graphic_.get(); }
    // Stores a copy of graphic made by its class's virtual constructor and CopyFrom; null
    // empties the picture. The new object has its own canvas with default tools.
    void SetHeldGraphic(const TGraphic* graphic);

    // Null, a picture (its graphic is copied; an empty picture empties this one) or a graphic;
    // anything else goes to the source's CopyInto or raises EConvertError.
    void CopyFrom(const TPersistent* source) override;
    // A destination of the graphic's class (or a base of it) takes the graphic.
    void CopyInto(TPersistent& destination) const override;

    int Width() const;
    int Height() const;

    // Loads a file with the class registered for its extension (graphics/PictureFormats.h);
    // an unknown extension raises EInvalidGraphic "Unknown picture file extension (.%s)".
    void LoadFromFile(const std::string& path);
    // The same with the class the caller chose instead of the format list's.
    void LoadFromFile(const std::string& path, const TGraphicClass& graphicClass);
    void SaveToFile(const std::string& path);

    // Fired after every change of the graphic or of its content.
    std::function<void(TPicture&)> OnChange;
    TProgressEvent OnProgress;

  private:
    void Hook(TGraphic& graphic);
    void Changed();
    void Install(std::unique_ptr<TGraphic> graphic);

    std::unique_ptr<TGraphic> graphic_;
};

} // namespace graphics
