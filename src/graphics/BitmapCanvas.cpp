// The bitmap's canvas and the process-wide registry of canvases that hold storage selected.
#include "graphics/Bitmap.h"
#include "graphics/BitmapStorage.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace graphics {

using namespace storage;

// ---- TBitmapCanvas -----------------------------------------------------------------------------

namespace {

struct CanvasRegistry {
    std::mutex lock;
    std::vector<TBitmapCanvas*> canvases;
};

CanvasRegistry& Registry() {
    static auto* registry = new CanvasRegistry();
    return *registry;
}

} // namespace

TBitmapCanvas::TBitmapCanvas(TBitmap& bitmap) : bitmap_(bitmap) {}

TBitmapCanvas::~TBitmapCanvas() {
    ReleaseHandle();
}

void TBitmapCanvas::NotifyChanging() {
    bitmap_.Changing();
    TCanvas::NotifyChanging();
}

void TBitmapCanvas::NotifyChanged() {
    bitmap_.NotifyChanged();
    TCanvas::NotifyChanged();
}

void TBitmapCanvas::CreateHandle() {
    TCanvasLock lock(*this);
    bitmap_.MakeStorageReady();
    GdiBitmap* storage = bitmap_.image_->handle.get();
    // A platform bitmap is selected into one context at a time.
    if (storage != nullptr)
        ReleaseCanvasesUsing(storage);
    bitmap_.MakePaletteReady();
    HDC dc = NewMemoryDC();
    if (storage != nullptr) {
        previousBitmap_ = platform::SelectObject(*dc, *storage);
        if (!previousBitmap_)
            RaiseOutOfResources();
        selected_ = storage;
    }
    if (GdiPalette* palette = bitmap_.image_->Palette()) {
        previousPalette_ = platform::SelectPalette(*dc, *palette, true);
        platform::RealizePalette(*dc);
    }
    memoryDc_ = std::move(dc);
    {
        std::lock_guard registryLock(Registry().lock);
        Registry().canvases.push_back(this);
    }
    SetDeviceContext(memoryDc_.get());
}

void TBitmapCanvas::ReleaseHandle() {
    if (!memoryDc_)
        return;
    TCanvasLock lock(*this);
    SetDeviceContext(nullptr);
    if (previousBitmap_)
        platform::SelectObject(*memoryDc_, *previousBitmap_);
    if (previousPalette_)
        platform::SelectPalette(*memoryDc_, *previousPalette_, true);
    previousBitmap_.reset();
    previousPalette_.reset();
    memoryDc_.reset();
    // Other threads read selected_ of registered canvases under the registry's lock.
    std::lock_guard registryLock(Registry().lock);
    selected_ = nullptr;
    std::erase(Registry().canvases, this);
}

void TBitmapCanvas::ReleaseCanvasesUsing(const GdiBitmap* storage) {
    if (storage == nullptr)
        return;
    std::vector<TBitmapCanvas*> holders;
    {
        std::lock_guard registryLock(Registry().lock);
        for (TBitmapCanvas* c : Registry().canvases) {
            if (c->selected_ == storage)
                holders.push_back(c);
        }
    }
    for (TBitmapCanvas* c : holders)
        c->ReleaseHandle();
}

} // namespace graphics
