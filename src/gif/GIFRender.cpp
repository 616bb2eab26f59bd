// The first frame as a bitmap: the frame's own 8-bit bitmap of colour indices (or of the web
// palette on palette displays), drawn into a white bitmap of the logical screen's size when the
// frame does not cover the screen exactly.
#include "gif/GIFDither.h"
#include "gif/GIFImage.h"
#include "graphics/Bitmap.h"
#include "graphics/Canvas.h"
#include "graphics/PictureFormats.h"
#include "platform/Clipboard.h"
#include "platform/DeviceContext.h" // complete object types for selection
#include "platform/Kernel.h"
#include "platform/Screen.h"

#include <cstring>

namespace gif {
namespace {

const std::string sRendering = "Rendering...";

// A screen-sized bitmap is a device-dependent bitmap of 4 bytes per pixel.
constexpr uint64_t kMaxBitmapPixels = uint64_t(256) << 20;
constexpr uint64_t kMaxBitmapBytes = uint64_t(1) << 30;

struct UnitState {
    bool initialized = false;
    bool paletteDisplay = false;
    unsigned clipboardFormat = 0;
    std::unique_ptr<graphics::TBitmap> templateBitmap;
};

UnitState& Unit() {
    static UnitState state;
    return state;
}

// Marks the image palette query as under way for its lifetime.
class QueryGuard {
  public:
    explicit QueryGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~QueryGuard() { flag_ = false; }
    QueryGuard(const QueryGuard&) = delete;
    QueryGuard& operator=(const QueryGuard&) = delete;

  private:
    bool& flag_;
};

size_t MaskRowBytes(int width) {
    return size_t((width + 15) / 16) * 2;
}

} // namespace

// ---- Unit-wide state --------------------------------------------------------------------------

void InitializeGIFImageUnit() {
    UnitState& unit = Unit();
    if (unit.initialized)
        return;
    unit.initialized = true;
    const platform::ScreenDescription& screen = platform::Screen();
    unit.paletteDisplay = screen.bitsPerPixel * screen.planes < 9;
    unit.clipboardFormat = platform::RegisterClipboardFormatA("GIF Image");
}

void FinalizeGIFImageUnit() {
    UnitState& unit = Unit();
    if (!unit.initialized)
        return;
    graphics::UnregisterGraphicClass(TGIFImage::Class());
    unit.templateBitmap.reset();
    unit.initialized = false;
}

unsigned CF_GIF() {
    InitializeGIFImageUnit();
    return Unit().clipboardFormat;
}

bool PaletteDisplay() {
    InitializeGIFImageUnit();
    return Unit().paletteDisplay;
}

platform::HPALETTE WebPalette() {
    platform::LOGPALETTE logical;
    logical.palVersion = 0x300;
    logical.palPalEntry.reserve(216);
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                logical.palPalEntry.push_back(
                    {uint8_t(r * 51), uint8_t(g * 51), uint8_t(b * 51), 0});
    return platform::CreatePalette(logical);
}

graphics::TBitmap& TemplateBitmap() {
    UnitState& unit = Unit();
    if (!unit.templateBitmap) {
        unit.templateBitmap = std::make_unique<graphics::TBitmap>();
        unit.templateBitmap->SetPixelFormat(graphics::pf8bit);
    }
    return *unit.templateBitmap;
}

// ---- Palettes ---------------------------------------------------------------------------------

bool TGIFImage::DitheringApplies() const {
    return (renderOptions_ & goDither) != 0 &&
           ((renderOptions_ & goAutoDither) == 0 || PaletteDisplay());
}

platform::GdiPalette* TGIFImage::PaletteOf() const {
    // A frame without a table of its own asks the image, which asks its first frame again:
    // that second question finds no table anywhere.
    if (paletteQueryActive_)
        throw GIFException(sNoColorTable);
    QueryGuard guard(paletteQueryActive_);
    if (bitmap_)
        if (platform::GdiPalette* palette = bitmap_->PaletteOf())
            return palette;
    if (palette_)
        return palette_.get();
    if (DitheringApplies()) {
        palette_ = WebPalette();
        return palette_.get();
    }
    if (header_.ColorMap().Count() > 0) {
        palette_ = header_.ColorMap().MakePalette();
        return palette_.get();
    }
    if (images_.Count() > 0)
        return images_[0].Palette();
    return nullptr;
}

void TGIFImage::ReplacePalette(platform::HPALETTE palette) {
    bitmap_.reset();
    palette_ = std::move(palette);
    SetPaletteModified(true);
    NotifyChanged();
}

platform::GdiPalette* TGIFSubImage::Palette() {
    if (bitmap_)
        if (platform::GdiPalette* palette = bitmap_->PaletteOf())
            return palette;
    if (palette_)
        return palette_.get();
    TGIFImage& image = *Image();
    if (image.DitheringApplies()) {
        palette_ = WebPalette();
        return palette_.get();
    }
    if (colorMap_.Count() > 0) {
        palette_ = colorMap_.MakePalette();
        return palette_.get();
    }
    return image.PaletteOf();
}

// ---- Frame bitmap -----------------------------------------------------------------------------

void TGIFSubImage::Progress(graphics::TProgressStage stage, int percent, bool redraw) {
    Image()->ReportProgress(*this, stage, percent, redraw, sRendering);
}

graphics::TBitmap* TGIFSubImage::FrameBitmap() {
    if (bitmap_)
        return bitmap_.get();
    if (Empty())
        return nullptr;
    TGIFImage& image = *Image();
    Progress(graphics::psStarting, 0, false);
    try {
        bitmap_ = image.DitheringApplies() ? BuildDitheredBitmap() : BuildPlainBitmap();
    } catch (const graphics::EAbort&) {
        Progress(graphics::psEnding, 0, image.PaletteModified());
        return nullptr;
    } catch (...) {
        Progress(graphics::psEnding, 0, image.PaletteModified());
        throw;
    }
    Progress(graphics::psEnding, 100, image.PaletteModified());
    return bitmap_.get();
}

std::unique_ptr<graphics::TBitmap> TGIFSubImage::NewIndexedBitmap(platform::HPALETTE palette) {
    // 8 bits per pixel come from the template; the storage is made once, at the final size,
    // with its colour table taken from the palette.
    auto bitmap = std::make_unique<graphics::TBitmap>();
    bitmap->CopyFrom(&TemplateBitmap());
    bitmap->SetPaletteHandle(std::move(palette));
    bitmap->SetSize(Width(), Height());
    return bitmap;
}

// The frame's indices row by row into bitmap, with progress every 32 rows and the transparency
// mask built alongside when one is due. writeRow(indices, row, transparent, maskRow) fills one
// bitmap row and its mask bits and says whether it met the transparent index.
template <class WriteRow>
std::unique_ptr<graphics::TBitmap>
TGIFSubImage::BuildBitmap(std::unique_ptr<graphics::TBitmap> bitmap, WriteRow writeRow) {
    const int width = Width();
    const int height = Height();
    const bool maskWanted = maskNeedsRebuild_ && hasTransparency_ && gce_ != nullptr;
    maskNeedsRebuild_ = false;
    const int transparent = maskWanted ? gce_->TransparentColorIndex() : -1;
    const size_t maskRowBytes = MaskRowBytes(width);
    std::vector<uint8_t> mask(maskWanted ? maskRowBytes * size_t(height) : 0);
    bool sawTransparent = false;
    for (int y = 0; y < height; ++y) {
        if (y % 32 == 0)
            Progress(graphics::psRunning, int(int64_t(y) * 100 / height), false);
        const auto source = std::span(pixels_).subspan(size_t(y) * size_t(width), size_t(width));
        const auto maskRow = maskWanted
                                 ? std::span(mask).subspan(size_t(y) * maskRowBytes, maskRowBytes)
                                 : std::span<uint8_t>();
        if (writeRow(source, bitmap->RowAddress(y), transparent, maskRow))
            sawTransparent = true;
    }
    if (maskWanted && sawTransparent)
        mask_ = platform::CreateBitmap(width, height, 1, 1, mask);
    return bitmap;
}

std::unique_ptr<graphics::TBitmap> TGIFSubImage::BuildPlainBitmap() {
    return BuildBitmap(NewIndexedBitmap(graphics::CopyPalette(Palette())),
                       [](std::span<const uint8_t> source, std::span<uint8_t> row, int transparent,
                          std::span<uint8_t> maskRow) {
                           std::memcpy(row.data(), source.data(), source.size());
                           bool saw = false;
                           if (maskRow.empty())
                               return saw;
                           for (size_t x = 0; x < source.size(); ++x)
                               if (source[x] == transparent) {
                                   maskRow[x / 8] |= uint8_t(0x80u >> (x % 8));
                                   saw = true;
                               }
                           return saw;
                       });
}

std::unique_ptr<graphics::TBitmap> TGIFSubImage::BuildDitheredBitmap() {
    auto bitmap = NewIndexedBitmap(graphics::CopyPalette(Palette()));
    const TGIFColorMap& global = Image()->Header().ColorMap();
    const TGIFColorMap* table = colorMap_.Count() > 0 ? &colorMap_
                                : global.Count() > 0  ? &global
                                                      : nullptr;
    if (!table)
        throw GIFException(sNoColorTable);
    TWebDitherer ditherer(table->Colors(), uint32_t(Width()));
    return BuildBitmap(std::move(bitmap),
                       [&ditherer](std::span<const uint8_t> source, std::span<uint8_t> row,
                                   int transparent, std::span<uint8_t> maskRow) {
                           return ditherer.DitherRow(source, row, transparent, maskRow);
                       });
}

// ---- Drawing ----------------------------------------------------------------------------------

void TGIFSubImage::DrawFrame(graphics::TCanvas& canvas, const platform::RECT& rect,
                             bool transparent) {
    const TGIFHeader& header = Image()->Header();
    const int screenWidth = header.Width();
    const int screenHeight = header.Height();
    if (screenWidth == 0 || screenHeight == 0)
        return;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const platform::RECT target{rect.left + platform::MulDiv(Left(), width, screenWidth),
                                rect.top + platform::MulDiv(Top(), height, screenHeight),
                                rect.left + platform::MulDiv(Left() + Width(), width, screenWidth),
                                rect.top +
                                    platform::MulDiv(Top() + Height(), height, screenHeight)};
    if (transparent && hasTransparency_) {
        if (maskNeedsRebuild_) {
            bitmap_.reset();
            mask_.reset();
        }
        graphics::TBitmap* frame = FrameBitmap();
        if (frame && mask_) {
            DrawMasked(canvas, target, *frame);
            return;
        }
    }
    canvas.DrawStretched(target, FrameBitmap());
}

// Transparent pixels (1 bits of the mask) leave the target as it was: the target is first
// cleared where the frame is opaque, then the frame with its transparent pixels cleared to
// black is merged in.
void TGIFSubImage::DrawMasked(graphics::TCanvas& canvas, const platform::RECT& target,
                              graphics::TBitmap& frame) {
    const int width = Width();
    const int height = Height();
    // A shared target gets its private copy before its device context is taken.
    canvas.NotifyChanging();
    platform::DeviceContext& dc = canvas.DeviceContext();
    platform::HDC maskDc = platform::CreateCompatibleDC(nullptr);
    platform::HDC imageDc = platform::CreateCompatibleDC(nullptr);
    platform::HBITMAP image =
        platform::CreateCompatibleBitmap(platform::GetScreenDC(), width, height);
    if (!maskDc || !imageDc || !image)
        graphics::RaiseOutOfResources();
    const auto oldMask = platform::SelectObject(*maskDc, *mask_);
    const auto oldImage = platform::SelectObject(*imageDc, *image);
    // The frame's pixels in screen format.
    platform::StretchBlt(*imageDc, 0, 0, width, height, &frame.Canvas().DeviceContext(), 0, 0,
                         width, height, platform::SRCCOPY);
    // Opaque (0) bits keep the pixel, transparent (1) bits clear it.
    platform::SetTextColor(*imageDc, platform::RGB(255, 255, 255));
    platform::SetBkColor(*imageDc, platform::RGB(0, 0, 0));
    platform::BitBlt(*imageDc, 0, 0, width, height, maskDc.get(), 0, 0, platform::SRCAND);
    // On the target, transparent bits keep the pixel and opaque bits clear it.
    const platform::COLORREF oldText = platform::SetTextColor(dc, platform::RGB(0, 0, 0));
    const platform::COLORREF oldBack = platform::SetBkColor(dc, platform::RGB(255, 255, 255));
    const int targetWidth = target.right - target.left;
    const int targetHeight = target.bottom - target.top;
    platform::StretchBlt(dc, target.left, target.top, targetWidth, targetHeight, maskDc.get(), 0, 0,
                         width, height, platform::SRCAND);
    platform::StretchBlt(dc, target.left, target.top, targetWidth, targetHeight, imageDc.get(), 0,
                         0, width, height, platform::SRCPAINT);
    canvas.NotifyChanged();
    platform::SetTextColor(dc, oldText);
    platform::SetBkColor(dc, oldBack);
    if (oldMask)
        platform::SelectObject(*maskDc, *oldMask);
    if (oldImage)
        platform::SelectObject(*imageDc, *oldImage);
}

// ---- The image's bitmap -----------------------------------------------------------------------

graphics::TBitmap* TGIFImage::Bitmap() {
    if (images_.Count() == 0)
        return nullptr;
    if (bitmap_)
        return bitmap_.get();
    // Kept only once it is complete, so a failed build fails again on the next request.
    auto bitmap = std::make_unique<graphics::TBitmap>();
    bitmap->OnChange = [this](graphics::TGraphic&) { NotifyChanged(); };
    TGIFSubImage& frame = images_[0];
    const int width = header_.Width();
    const int height = header_.Height();
    if (frame.Width() == width && frame.Height() == height) {
        bitmap->CopyFrom(frame.FrameBitmap());
    } else {
        const uint64_t pixels = uint64_t(width) * uint64_t(height);
        if (pixels > kMaxBitmapPixels || pixels * 4 > kMaxBitmapBytes)
            throw GIFException(sImageNotValid);
        bitmap->SetPaletteHandle(graphics::CopyPalette(PaletteOf()));
        bitmap->ResizeHeight(height);
        bitmap->ResizeWidth(width);
        bitmap->SetTransparency(false);
        if (width > 0 && height > 0)
            frame.DrawFrame(bitmap->Canvas(), platform::RECT{0, 0, width, height}, false);
    }
    bitmap_ = std::move(bitmap);
    return bitmap_.get();
}

void TGIFImage::DrawGraphic(graphics::TCanvas& target, const platform::RECT& rect) {
    if (graphics::TBitmap* bitmap = Bitmap())
        target.DrawStretched(rect, bitmap);
}

} // namespace gif
